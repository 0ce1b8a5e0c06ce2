// File access for the engine: the only place that talks to the operating
// system about files.  A File is one user's handle on a table, memo or index
// file; all handles of one file (same device and inode) inside this process
// share a single descriptor, because POSIX record locks of a process vanish
// as soon as any descriptor of that file is closed.
//
// Two kinds of locks:
//   - open-mode locks: flock() on the whole file, shared or exclusive, never
//     waiting.  Inside the process the shared descriptor carries the strongest
//     mode any handle wants; a handle asking for exclusive use while another
//     handle of this process has the file open is refused here.
//   - range locks: POSIX fcntl() read/write locks on byte ranges, waiting or
//     not.  Handles of this process see each other's range locks as conflicts
//     too (the kernel would not), so two work areas on one table behave like
//     two programs.
//
// Every name handed to the Env is resolved inside its directory without regard
// to case (an exact match wins), because the tables come from a file system
// that ignores case.
#ifndef SDE61_PLATFORM_FILE_H
#define SDE61_PLATFORM_FILE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/status.h"

namespace sde {

enum class OpenLock { kNone, kShared, kExclusive };
enum class RangeLock { kRead, kWrite };
enum class LockWait { kNoWait, kWait };

class File {
  public:
    virtual ~File() = default;

    // Reads up to n bytes at offset; *read receives how many were there
    // (fewer only at the end of the file).
    virtual Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* read) = 0;
    // Writes all n bytes at offset.
    virtual Status WriteAt(uint64_t offset, const void* buf, size_t n) = 0;
    virtual Result<uint64_t> Size() = 0;
    virtual Status Truncate(uint64_t size) = 0;
    // Hands written data to the disk (fdatasync).
    virtual Status Sync() = 0;

    // Open-mode lock of this handle; kNone gives it up.  Never waits: a
    // conflict gives a kLocked status.
    virtual Status SetOpenLock(OpenLock mode) = 0;
    // Range lock of length len at offset (len 0: to the end of all files).
    virtual Status LockRange(uint64_t offset, uint64_t len, RangeLock kind, LockWait wait) = 0;
    // Gives up this handle's range locks inside [offset, offset + len).
    virtual Status UnlockRange(uint64_t offset, uint64_t len) = 0;

    // The first n bytes of the file mapped for writing: stores into it reach
    // the OS page cache at once, like a write, without a system call.  Null
    // when the file cannot be mapped (or must not be, as in tests that count
    // writes); callers then use WriteAt.  Valid while this handle lives.
    virtual uint8_t* MapPrefix(size_t n) {
        (void)n;
        return nullptr;
    }

    // Maps the first `length` bytes of the file, shared with the operating
    // system's copy (stores reach it at once, like writes) and writable when
    // this handle is, through the descriptor the process already holds: a
    // second open by name would be a second descriptor, whose close drops
    // the process's record locks, and could reach a file put in its place.
    // The caller owns the mapping (munmap/mremap); it outlives the handle.
    // NotSupported for files that cannot be mapped.
    virtual Result<void*> MapShared(uint64_t length) {
        (void)length;
        return Status::NotSupported("file cannot be mapped: " + path());
    }

    // Name as it was opened (after resolving its case).
    virtual const std::string& path() const = 0;
    virtual bool writable() const = 0;

    // Reads exactly n bytes or fails with a corruption status naming the file.
    Status ReadExact(uint64_t offset, void* buf, size_t n);
};

// How a file is opened.
enum class FileAccess { kReadOnly, kReadWrite };

class Env {
  public:
    virtual ~Env() = default;

    // Opens an existing file.
    virtual Result<std::unique_ptr<File>> Open(const std::string& path, FileAccess access) = 0;
    // Creates a file (emptied when it exists, under the existing name's case).
    virtual Result<std::unique_ptr<File>> Create(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
    virtual Status Delete(const std::string& path) = 0;
    // Replaces `to` with `from` (atomic when both are in one directory).
    virtual Status Rename(const std::string& from, const std::string& to) = 0;
    // The path with its last part matched to an existing directory entry
    // without regard to case (an exact match first); unchanged when none matches.
    virtual std::string Resolve(const std::string& path) = 0;
};

// Whether a file is in use, found out without opening it: true when a handle
// of this process has it open, or when any program (this one included)
// holds a lock on it: an open-mode flock, which every program of the
// sharing scheme takes at open, or a range lock.  Opening the file to try a
// lock, as one might, would make a second descriptor of it, and closing that
// drops every POSIX lock this process holds on the file.  False for a file
// that does not exist; IOError when the system's lock table is unreadable.
Result<bool> FileInUse(const std::string& path);

// The process-wide Env over POSIX files.
Env* DefaultEnv();

// The Env the engine uses; tests may install another (nullptr restores the default).
Env* CurrentEnv();
void SetCurrentEnv(Env* env);
// Frees the file layer's process-wide state when the library is unloaded;
// called after every table has been closed.
void ReleaseFileLayerState();

// Directory part of a path including its trailing "/" ("" when none) and the name part.
std::string DirName(const std::string& path);
std::string BaseName(const std::string& path);

// The id of this process, for names of temporary files that no other process picks.
unsigned long CurrentProcessId();

}  // namespace sde

#endif  // SDE61_PLATFORM_FILE_H
