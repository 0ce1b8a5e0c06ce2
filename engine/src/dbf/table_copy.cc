// Copies of a table: its structure alone, or structure and records with
// their memos, into a new table file.
#include "dbf/table.h"

#include <algorithm>
#include <cstring>

#include "base/codepage.h"
#include "base/coding.h"
#include "dbf/create.h"
#include "dbf/field_value.h"

namespace sde {

Status Table::CopyStructureTo(const std::string& target) {
    if (env_->Resolve(target) == path_) {
        return Status::InvalidArgument("cannot copy " + path_ + " onto itself");
    }
    std::vector<FieldDesc> fields = header_.fields;
    return CreateTableFiles(env_, target, fields);
}

Status Table::CopyTo(const std::string& target) {
    SDE_RETURN_IF_ERROR(FlushPending());
    SDE_RETURN_IF_ERROR(RefreshCount());
    std::string target_path = env_->Resolve(WithTableExtension(target));
    if (target_path == path_)
        return Status::InvalidArgument("cannot copy " + path_ + " onto itself");
    if (memo_ && encrypted() && !cipher_) {
        return Status::InvalidArgument("table " + path_ + " is encrypted: it needs its password");
    }
    std::string table_tmp = TemporaryNameBeside(target_path);
    std::string memo_path = env_->Resolve(MemoPathFor(target_path));
    std::string memo_tmp = TemporaryNameBeside(memo_path);

    Status s = [&]() -> Status {
        auto out = env_->Create(table_tmp);
        if (!out.ok()) return out.status();
        std::unique_ptr<MemoFile> out_memo;
        if (memo_) {
            SDE_RETURN_IF_ERROR(MemoFile::CreateEmpty(env_, memo_tmp));
            auto opened =
                MemoFile::Open(env_, memo_tmp, FileAccess::kReadWrite, OpenLock::kNone, false);
            if (!opened.ok()) return opened.status();
            out_memo = std::move(opened.value());
        }
        DbfHeader header = header_;
        std::string header_bytes = BuildDbfHeader(header);
        // Keep the source's own header bytes (descriptor details other programs wrote).
        std::string original(header_.header_length, '\0');
        SDE_RETURN_IF_ERROR(file_->ReadExact(0, original.data(), original.size()));
        std::copy(header_bytes.begin(), header_bytes.begin() + 8, original.begin());
        SDE_RETURN_IF_ERROR((*out)->WriteAt(0, original.data(), original.size()));

        const uint32_t count = header_.record_count;
        const uint32_t length = header_.record_length;
        std::string chunk;
        uint64_t out_offset = header_.header_length;
        for (uint32_t done = 0; done < count;) {
            uint32_t n = std::min<uint32_t>(kBulkRecords, count - done);
            chunk.resize(size_t(n) * length);
            SDE_RETURN_IF_ERROR(
                file_->ReadExact(header_.RecordOffset(done + 1), chunk.data(), chunk.size()));
            if (memo_) {
                for (uint32_t i = 0; i < n; ++i) {
                    uint32_t recno = done + i + 1;
                    char* raw = chunk.data() + size_t(i) * length;
                    std::string plain(raw, length);
                    if (cipher_) {
                        cipher_->CryptFields(recno, reinterpret_cast<uint8_t*>(plain.data()) + 1,
                                             length - 1);
                    }
                    bool changed = false;
                    for (const FieldDesc& f : header_.fields) {
                        if (f.type != 'M') continue;
                        int64_t block = ParseMemoPointer(plain.data() + f.offset, f.width);
                        if (block < 0) {
                            return Status::Corruption(
                                path_, "the memo pointer of field " + f.name + " in record " +
                                           std::to_string(recno) + " is not a block number");
                        }
                        if (block == 0) continue;
                        auto text = memo_->Read(uint32_t(block));
                        if (!text.ok()) return text.status();
                        if (cipher_)
                            SDE_RETURN_IF_ERROR(cipher_->DecryptMemo(uint32_t(block), &*text));
                        const TableEncryption* cipher = cipher_ ? &*cipher_ : nullptr;
                        auto new_block =
                            out_memo->Append(*text, [cipher](uint32_t b, std::string* t) {
                                if (cipher) cipher->EncryptMemo(b, t);
                            });
                        if (!new_block.ok()) return new_block.status();
                        plain.replace(f.offset, f.width, FormatMemoPointer(*new_block, f.width));
                        changed = true;
                    }
                    if (changed) {
                        if (cipher_) {
                            cipher_->CryptFields(
                                recno, reinterpret_cast<uint8_t*>(plain.data()) + 1, length - 1);
                        }
                        std::copy(plain.begin(), plain.end(), raw);
                    }
                }
            }
            SDE_RETURN_IF_ERROR((*out)->WriteAt(out_offset, chunk.data(), chunk.size()));
            out_offset += chunk.size();
            done += n;
        }
        uint8_t eof_mark = kEndOfFile;
        SDE_RETURN_IF_ERROR((*out)->WriteAt(out_offset, &eof_mark, 1));
        if (commit_full_) {
            SDE_RETURN_IF_ERROR((*out)->Sync());
            if (out_memo) SDE_RETURN_IF_ERROR(out_memo->Sync());
        }
        return Status::OK();
    }();
    if (s.ok() && memo_) s = env_->Rename(memo_tmp, memo_path);
    if (s.ok()) s = env_->Rename(table_tmp, target_path);
    if (!s.ok()) {
        env_->Delete(table_tmp);
        if (memo_) env_->Delete(memo_tmp);
    }
    return s;
}

}  // namespace sde
