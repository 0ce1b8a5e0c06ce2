// Building a whole NTX index at once: the keys of all records are collected
// in memory, sorted, and written bottom-up into balanced pages of a temporary
// file beside the target, which replaces the target only when it is complete.
#ifndef SDE61_NTX_NTX_BUILD_H
#define SDE61_NTX_NTX_BUILD_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/status.h"
#include "ntx/ntx_format.h"
#include "platform/file.h"
#include "platform/mapping.h"

namespace sde {

class NtxBuilder {
  public:
    // header gives key expression, FOR expression, key size, decimals and
    // the unique and descend flags of the new index.
    explicit NtxBuilder(const NtxHeader& header);

    void Reserve(size_t records);
    // Adds the key (key size bytes) of one record.  Records are added in
    // record-number order, so that equal keys keep that order.
    void Add(uint32_t recno, const uint8_t* key);
    size_t size() const { return recnos_.size(); }

    // Sorts the keys and writes the index to path through env.  progress,
    // when set, is told the share done (0.0 .. 1.0) while pages are written;
    // sync hands the new file to the disk before it replaces the old one.
    // An existing file at path is replaced only once the new one is complete,
    // and only when no other program has it open; otherwise it stays as it is.
    Status WriteFile(Env* env, const std::string& path,
                     const std::function<void(double)>& progress = nullptr, bool sync = true);

    // Sorts the keys (done by WriteFile).
    void Sort();

  private:
    class PageSink;

    const uint8_t* key(uint32_t i) const { return keys_.data() + size_t(i) * key_size_; }
    bool Less(uint32_t a, uint32_t b, size_t depth) const;
    uint32_t EmitTree(PageSink* sink, size_t first, size_t count, int height);

    NtxHeader header_;
    size_t key_size_;
    LargeArray<uint8_t> keys_;
    LargeArray<uint32_t> recnos_;
    LargeArray<uint32_t> order_;  // sorted positions into keys_ and recnos_
    bool sorted_ = false;

    // Writing state.
    std::vector<uint64_t> capacity_;  // keys a tree of height h + 1 holds
    size_t emitted_ = 0;
    int reported_percent_ = -1;
    const std::function<void(double)>* progress_ = nullptr;
};

// Name of the temporary file a build of path writes first.
std::string NtxTempName(const std::string& path);

}  // namespace sde

#endif  // SDE61_NTX_NTX_BUILD_H
