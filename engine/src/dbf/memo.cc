#include "dbf/memo.h"

#include <cctype>
#include <cstring>

#include "base/coding.h"

namespace sde {

namespace {

// Largest memo we read; anything longer is taken for damage.
constexpr uint64_t kMaxMemoSize = 64u << 20;
constexpr uint64_t kDbtLockByte = 0;

}  // namespace

std::string MemoPathFor(const std::string& table_path) {
    std::string base = BaseName(table_path);
    size_t dot = base.rfind('.');
    bool lower = dot != std::string::npos && dot + 1 < base.size() &&
                 std::islower(static_cast<unsigned char>(base[dot + 1]));
    std::string stem = dot == std::string::npos ? base : base.substr(0, dot);
    return DirName(table_path) + stem + (lower ? ".dbt" : ".DBT");
}

Result<std::unique_ptr<MemoFile>> MemoFile::Open(Env* env, const std::string& path,
                                                 FileAccess access, OpenLock lock, bool shared) {
    auto file = env->Open(path, access);
    if (!file.ok()) {
        if (file.status().code() == Status::Code::kNotFound) {
            return Status::NotFound("memo file " + path + " does not exist");
        }
        return file.status();
    }
    if (lock != OpenLock::kNone) {
        Status s = (*file)->SetOpenLock(lock);
        if (!s.ok()) return s;
    }
    return std::unique_ptr<MemoFile>(new MemoFile(std::move(file.value()), shared));
}

Status MemoFile::CreateEmpty(Env* env, const std::string& path) {
    auto file = env->Create(path);
    if (!file.ok()) return file.status();
    uint8_t header[kMemoBlockSize] = {};
    PutU32(header, 1);
    return (*file)->WriteAt(0, header, sizeof header);
}

Result<std::string> MemoFile::Read(uint32_t block) {
    auto size = file_->Size();
    if (!size.ok()) return size.status();
    uint64_t start = uint64_t(block) * kMemoBlockSize;
    if (block == 0 || start >= *size) {
        return Status::Corruption(file_->path(), "memo block " + std::to_string(block) +
                                                     " lies past the end of the file");
    }
    std::string text;
    char chunk[4096];
    uint64_t pos = start;
    for (;;) {
        size_t got = 0;
        SDE_RETURN_IF_ERROR(file_->ReadAt(pos, chunk, sizeof chunk, &got));
        const void* end = std::memchr(chunk, kMemoEnd, got);
        if (end != nullptr) {
            text.append(chunk, static_cast<const char*>(end) - chunk);
            return text;
        }
        if (got == 0) {
            return Status::Corruption(
                file_->path(), "the memo at block " + std::to_string(block) + " has no end mark");
        }
        text.append(chunk, got);
        pos += got;
        if (text.size() > kMaxMemoSize) {
            return Status::Corruption(
                file_->path(), "the memo at block " + std::to_string(block) + " has no end mark");
        }
    }
}

Result<uint32_t> MemoFile::Append(const std::string& text,
                                  const std::function<void(uint32_t, std::string*)>& encode) {
    bool locked = false;
    if (shared_) {
        SDE_RETURN_IF_ERROR(file_->LockRange(kDbtLockByte, 1, RangeLock::kWrite, LockWait::kWait));
        locked = true;
    }
    auto result = [&]() -> Result<uint32_t> {
        uint8_t header[4];
        SDE_RETURN_IF_ERROR(file_->ReadExact(0, header, sizeof header));
        auto size = file_->Size();
        if (!size.ok()) return size.status();
        // Never write over existing data, even when the header lags behind.
        uint64_t next = GetU32(header);
        uint64_t end_block = (*size + kMemoBlockSize - 1) / kMemoBlockSize;
        if (next > end_block + 1) {
            return Status::Corruption(file_->path(), "the next free block " + std::to_string(next) +
                                                         " lies past the end of the file");
        }
        if (next < end_block) next = end_block;
        if (next == 0) next = 1;
        if (next >= UINT32_MAX) return Status::Corruption(file_->path(), "the memo file is full");
        std::string bytes = text;
        if (encode) encode(uint32_t(next), &bytes);
        // The text and its two end marks lie wholly inside the memo's blocks:
        // a text of 511 bytes past a block border takes one block more, so
        // the next memo starts right after its end marks, where the header
        // points, and other readers find both marks before the next memo.
        uint64_t blocks = (bytes.size() + 2 + kMemoBlockSize - 1) / kMemoBlockSize;
        if (next + blocks > UINT32_MAX)
            return Status::Corruption(file_->path(), "the memo file is full");
        bytes.push_back(char(kMemoEnd));
        bytes.push_back(char(kMemoEnd));
        if (bytes.size() < blocks * kMemoBlockSize) bytes.resize(blocks * kMemoBlockSize, '\0');
        SDE_RETURN_IF_ERROR(file_->WriteAt(next * kMemoBlockSize, bytes.data(), bytes.size()));
        PutU32(header, uint32_t(next + blocks));
        SDE_RETURN_IF_ERROR(file_->WriteAt(0, header, sizeof header));
        return uint32_t(next);
    }();
    if (locked) file_->UnlockRange(kDbtLockByte, 1);
    return result;
}

Status MemoFile::Zap() {
    SDE_RETURN_IF_ERROR(file_->Truncate(kMemoBlockSize));
    uint8_t header[kMemoBlockSize] = {};
    PutU32(header, 1);
    return file_->WriteAt(0, header, sizeof header);
}

}  // namespace sde
