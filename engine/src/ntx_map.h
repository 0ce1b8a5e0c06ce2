// A shared memory mapping of an index file, so that reading and writing index
// pages costs no system call: stores land in the operating system's page
// cache at once, exactly as a write would, and survive the process.  The
// mapping covers a window at least as long as the file; the owner grows the
// file itself (through its File) before touching bytes beyond the old end.
#ifndef SDE61_NTX_MAP_H
#define SDE61_NTX_MAP_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "status.h"

namespace sde {

class NtxMapping {
public:
    // Maps the file at path (already open elsewhere in this process) for at
    // least `length` bytes.  The mapping keeps a descriptor of its own until
    // it is destroyed; no lock is ever taken or dropped through it.
    static Result<std::unique_ptr<NtxMapping>> Open(const std::string& path, bool writable,
                                                    uint64_t length);
    ~NtxMapping();
    NtxMapping(const NtxMapping&) = delete;
    NtxMapping& operator=(const NtxMapping&) = delete;

    uint8_t* data() const { return data_; }
    uint64_t length() const { return length_; }
    // Makes the window at least `length` bytes long (its address may move).
    Status Grow(uint64_t length);

private:
    NtxMapping(int fd, bool writable) : fd_(fd), writable_(writable) {}
    int fd_;
    bool writable_;
    uint8_t* data_ = nullptr;
    uint64_t length_ = 0;
};

}  // namespace sde

#endif  // SDE61_NTX_MAP_H
