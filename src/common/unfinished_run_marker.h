// UnfinishedRunMarker: a small file beside a host table that says "an update
// of this table is running".  Every process that updates the table holds a
// shared lock on the file while it writes and removes the file when it ends
// as the last one; a process killed in the middle leaves the file behind
// with no lock on it, which tells the next run that the table and its
// indexes may hold the half-done work of that process.
#ifndef ZER1_COMMON_UNFINISHED_RUN_MARKER_H
#define ZER1_COMMON_UNFINISHED_RUN_MARKER_H

#include <string>

namespace zer1 {

class UnfinishedRunMarker {
  public:
    // `path` names the marker file; nothing is touched yet.
    explicit UnfinishedRunMarker(std::string path);
    // Leaves the marker in place when Finish was not called (an update that
    // ends by an exception is as unfinished as one that was killed).
    ~UnfinishedRunMarker();
    UnfinishedRunMarker(const UnfinishedRunMarker&) = delete;
    UnfinishedRunMarker& operator=(const UnfinishedRunMarker&) = delete;

    // True when a marker is there that no running process holds: an earlier
    // update of the table did not end.
    bool LeftByAnEarlierRun() const;

    // Creates the marker (or joins one that another running update holds)
    // and holds it; false when it cannot be created, for example in a
    // directory this process may not write to.
    bool Begin();

    // The update ended: the marker goes unless another update still holds it.
    void Finish();

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace zer1

#endif  // ZER1_COMMON_UNFINISHED_RUN_MARKER_H
