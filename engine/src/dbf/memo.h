// The dBASE III memo file (.DBT) of a table.
//
// The file is a row of 512-byte blocks (numbers little-endian).
//
// | offset      | size | meaning                                              |
// |-------------|------|------------------------------------------------------|
// | 0           | 4    | number of the next free block                        |
// | 4           | 508  | zero                                                 |
// | 512 x block | n+2  | a memo of n bytes, ended by 0x1A 0x1A; readers take  |
// |             |      | the text up to the first 0x1A                        |
//
// A memo of n bytes occupies (n + 2) / 512 rounded up blocks, its end marks
// included (n / 512 + 1 blocks, one more when n leaves a single byte in its
// last block).  Blocks are never reused: a changed memo is written at the
// end of the file.
//
// In shared mode a write takes a POSIX write lock on byte 0 (waiting), reads
// the next free block again, writes the memo and the new header, and releases
// the lock.
#ifndef SDE61_DBF_MEMO_H
#define SDE61_DBF_MEMO_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/status.h"
#include "platform/file.h"

namespace sde {

constexpr uint32_t kMemoBlockSize = 512;
constexpr char kMemoEnd = 0x1A;

class MemoFile {
  public:
    // Opens an existing memo file with the table's open mode already decided
    // by the caller (lock is the flock to take).
    static Result<std::unique_ptr<MemoFile>> Open(Env* env, const std::string& path,
                                                  FileAccess access, OpenLock lock, bool shared);
    // Writes an empty memo file (header block only).
    static Status CreateEmpty(Env* env, const std::string& path);

    // Text of the memo starting at `block`.
    Result<std::string> Read(uint32_t block);
    // Writes `text` at the end of the file; returns its first block.  `encode`,
    // when given, transforms the text once its block number is known.
    Result<uint32_t> Append(const std::string& text,
                            const std::function<void(uint32_t, std::string*)>& encode = {});
    // Removes every memo.
    Status Zap();
    Status Sync() { return file_->Sync(); }
    File* file() { return file_.get(); }

  private:
    MemoFile(std::unique_ptr<File> file, bool shared) : file_(std::move(file)), shared_(shared) {}

    std::unique_ptr<File> file_;
    bool shared_;
};

// Name of a table's memo file: the table name with its extension replaced by
// ".DBT" (in the case of the existing extension's first letter).
std::string MemoPathFor(const std::string& table_path);

}  // namespace sde

#endif  // SDE61_DBF_MEMO_H
