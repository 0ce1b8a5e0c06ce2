// A table's writing: record locks, replacing fields and memos, appends one
// record at a time, the pending-change buffer and its commit, deletion marks
// and emptying the table.
#include "dbf/table.h"

#include <algorithm>
#include <cstring>

#include "base/codepage.h"
#include "base/coding.h"
#include "dbf/field_value.h"

namespace sde {

namespace {

constexpr const char kReadOnlyText[] = "Cannot modify a read-only data set";

}  // namespace

// ---- writing -------------------------------------------------------------

Status Table::CheckWritable() {
    if (mode_ == OpenMode::kReadOnly) return Status::InvalidArgument(kReadOnlyText);
    if (encrypted() && !cipher_) {
        return Status::InvalidArgument("table " + path_ + " is encrypted: it needs its password");
    }
    return Status::OK();
}

Status Table::LockRecord(uint32_t recno) {
    if (!is_shared()) return Status::OK();
    auto place = std::lower_bound(locked_records_.begin(), locked_records_.end(), recno);
    if (place != locked_records_.end() && *place == recno) return Status::OK();
    Status s = file_->LockRange(kLockBase + recno, 1, RangeLock::kWrite, LockWait::kNoWait);
    if (!s.ok()) {
        if (s.code() == Status::Code::kLocked) {
            return Status::Locked("record " + std::to_string(recno) + " of " + path_ +
                                  " is locked by another user");
        }
        return s;
    }
    locked_records_.insert(place, recno);
    return Status::OK();
}

Status Table::LockForWrite(uint32_t recno) {
    SDE_RETURN_IF_ERROR(CheckWritable());
    if (recno > header_.record_count) SDE_RETURN_IF_ERROR(RefreshCount());
    if (recno == 0 || recno > header_.record_count) {
        return Status::InvalidArgument("there is no record " + std::to_string(recno) + " in " +
                                       path_);
    }
    return LockRecord(recno);
}

Status Table::Unlock(uint32_t recno) {
    if (!file_) return Status::OK();
    Status result;
    for (auto it = locked_records_.begin(); it != locked_records_.end();) {
        if (recno == 0 || *it == recno) {
            Status s = file_->UnlockRange(kLockBase + *it, 1);
            if (result.ok()) result = s;
            it = locked_records_.erase(it);
        } else {
            ++it;
        }
    }
    return result;
}

Status Table::WriteRecordBytes(uint32_t recno, const std::string& record, bool with_eof_mark) {
    std::string& bytes = write_buffer_;
    bytes.assign(record);
    if (cipher_) {
        cipher_->CryptFields(recno, reinterpret_cast<uint8_t*>(bytes.data()) + 1, bytes.size() - 1);
    }
    if (with_eof_mark) bytes.push_back(char(kEndOfFile));
    Status s = file_->WriteAt(header_.RecordOffset(recno), bytes.data(), bytes.size());
    if (is_shared()) return s;
    // The cache follows the file; after a failed write nobody knows what the file holds.
    if (s.ok()) {
        record_cache_.Written(recno, bytes.data());
    } else {
        DropRecordCache();
    }
    return s;
}

Status Table::WriteCountToHeader(uint32_t count) {
    uint8_t bytes[7];
    EncodeDateAndCount(count, bytes);
    date_written_ = true;
    if (uint8_t* map = CountMap()) {
        std::memcpy(map + 1, bytes, sizeof bytes);
        return Status::OK();
    }
    return file_->WriteAt(1, bytes, sizeof bytes);
}

// A changed record changes the table: its date of last update follows at
// the first write after the open, as it does at every append.  The count is
// left alone, since another program may have appended in shared use.
Status Table::WriteDateToHeaderOnce() {
    if (date_written_) return Status::OK();
    uint8_t bytes[7];
    EncodeDateAndCount(0, bytes);
    if (uint8_t* map = CountMap()) {
        std::memcpy(map + 1, bytes, 3);
    } else {
        SDE_RETURN_IF_ERROR(file_->WriteAt(1, bytes, 3));
    }
    date_written_ = true;
    return Status::OK();
}

Status Table::AppendBlank() {
    SDE_RETURN_IF_ERROR(CheckWritable());
    SDE_RETURN_IF_ERROR(FlushPending());
    bof_ = false;
    if (!is_shared()) {
        // Exclusive: the record reaches the file when it is committed or left.
        header_.record_count++;
        recno_ = header_.record_count;
        record_.assign(header_.record_length, ' ');
        disk_record_ = record_;
        eof_ = false;
        dirty_ = true;
        append_pending_ = true;
        append_unindexed_ = true;
        return Status::OK();
    }
    return AppendShared(BlankRecord());
}

Status Table::AppendRecord(const uint8_t* data, size_t size) {
    SDE_RETURN_IF_ERROR(CheckWritable());
    SDE_RETURN_IF_ERROR(CheckRecordBuffer(size));
    SDE_RETURN_IF_ERROR(FlushPending());
    // Built and checked first: a refused field appends nothing.
    std::string& record = scratch_record_;
    record.assign(header_.record_length, ' ');
    SDE_RETURN_IF_ERROR(MergeIncoming(data, &record));
    if (is_shared()) return AppendShared(record);
    SDE_RETURN_IF_ERROR(AppendBlank());
    record_.swap(record);
    return Status::OK();
}

// The shared append: under the header lock the new record is locked and
// written, with the data it already has, and the count raised; other
// programs never see the record other than complete.
Status Table::AppendShared(const std::string& record) {
    bof_ = false;
    SDE_RETURN_IF_ERROR(file_->LockRange(kLockBase, 1, RangeLock::kWrite, LockWait::kWait));
    Status s = [&]() -> Status {
        SDE_RETURN_IF_ERROR(RefreshCount());
        uint32_t recno = header_.record_count + 1;
        SDE_RETURN_IF_ERROR(LockRecord(recno));
        Status w = WriteRecordBytes(recno, record, true);
        if (w.ok()) w = WriteCountToHeader(recno);
        if (!w.ok()) {
            Unlock(recno);
            return w;
        }
        header_.record_count = recno;
        recno_ = recno;
        record_ = record;
        disk_record_ = record;
        eof_ = false;
        append_unindexed_ = true;
        return Status::OK();
    }();
    Status u = file_->UnlockRange(kLockBase, 1);
    return s.ok() ? u : s;
}

Status Table::FlushPending() {
    if (!dirty_ && !append_unindexed_) return Status::OK();
    Status s;
    if (append_pending_) {
        s = WriteRecordBytes(recno_, record_, true);
        if (s.ok()) s = WriteCountToHeader(header_.record_count);
        if (!s.ok()) header_.record_count--;
    } else if (dirty_) {
        s = LockRecord(recno_);
        if (s.ok() && is_shared()) s = MergeStoredChanges();
        // The date first: when it cannot be written, the record stays as it was.
        if (s.ok()) s = WriteDateToHeaderOnce();
        if (s.ok()) s = WriteRecordBytes(recno_, record_, false);
    }
    if (!s.ok()) {
        // The change is dropped; the file keeps what it had.
        bool was_append = append_pending_;
        dirty_ = append_pending_ = append_unindexed_ = false;
        if (was_append) {
            SetEof();
        } else {
            record_ = disk_record_;
        }
        return s;
    }
    bool appended = append_unindexed_;
    dirty_ = append_pending_ = append_unindexed_ = false;
    Status result;
    for (auto& order : orders_) {
        Status o = appended ? order->OnAppend(recno_, record_)
                            : order->OnUpdate(recno_, disk_record_, record_);
        if (!o.ok() && result.ok()) result = o;
    }
    disk_record_ = record_;
    return result;
}

Status Table::DiscardPending() {
    if (append_pending_) {
        header_.record_count--;
        dirty_ = append_pending_ = append_unindexed_ = false;
        SetEof();
        return Status::OK();
    }
    // A shared append is in the file already: the orders still learn of it.
    if (dirty_) record_ = disk_record_;
    dirty_ = false;
    return Status::OK();
}

// Another program may have written the record since this table read it.
// Under the record lock it is read again (one read); every field this table
// left as it read it takes the file's current bytes, so that the write
// carries only this table's own changes (where both changed a field, ours
// wins).  The orders then replace the keys of what the file held.
Status Table::MergeStoredChanges() {
    std::string& current = scratch_record_;
    SDE_RETURN_IF_ERROR(ReadRecord(recno_, &current));
    if (current == disk_record_) return Status::OK();  // nobody else wrote it
    if (record_[0] == disk_record_[0]) record_[0] = current[0];
    for (const FieldDesc& f : header_.fields) {
        if (std::memcmp(record_.data() + f.offset, disk_record_.data() + f.offset, f.width) == 0) {
            std::memcpy(record_.data() + f.offset, current.data() + f.offset, f.width);
        }
    }
    disk_record_.swap(current);
    return Status::OK();
}

Status Table::Commit() {
    if (mode_ == OpenMode::kReadOnly) return Status::OK();
    SDE_RETURN_IF_ERROR(FlushPending());
    for (auto& order : orders_) SDE_RETURN_IF_ERROR(order->Flush(commit_full_));
    if (commit_full_) {
        SDE_RETURN_IF_ERROR(file_->Sync());
        if (memo_) SDE_RETURN_IF_ERROR(memo_->Sync());
    }
    return Status::OK();
}

Status Table::StoreField(const FieldDesc& f, std::string_view text, std::string* record) {
    return StoreFieldAt(f, text, record, 0);
}

Status Table::StoreFieldAt(const FieldDesc& f, std::string_view text, std::string* buffer,
                           size_t record_start) {
    if (f.type == 'C') {
        size_t n = std::min<size_t>(text.size(), f.width);
        char* out = buffer->data() + record_start + f.offset;
        if (n > 0) std::memcpy(out, text.data(), n);
        std::memset(out + n, ' ', f.width - n);
        if (translate_) AnsiToOemInPlace(reinterpret_cast<uint8_t*>(out), n);
        return Status::OK();
    }
    if ((f.type == 'N' || f.type == 'F') && IsStoredNumberForm(text, f)) {
        // Already in its stored form (as this engine and the table layer
        // write numbers): no detour through the number's digits.
        std::memcpy(buffer->data() + record_start + f.offset, text.data(), f.width);
        return Status::OK();
    }
    auto formatted = FormatFieldValue(text, f);
    if (!formatted.ok()) return formatted.status();
    std::memcpy(buffer->data() + record_start + f.offset, formatted->data(), f.width);
    return Status::OK();
}

Status Table::CheckRecordBuffer(size_t size) const {
    if (size < header_.record_length) {
        return Status::InvalidArgument("record buffer of " + std::to_string(size) +
                                       " bytes is shorter than the record length " +
                                       std::to_string(header_.record_length));
    }
    return Status::OK();
}

Status Table::MergeIncoming(const uint8_t* data, std::string* record) {
    const char* incoming = reinterpret_cast<const char*>(data);
    (*record)[0] = incoming[0] == char(kDeletedFlag) ? char(kDeletedFlag) : char(kLiveFlag);
    for (const FieldDesc& f : header_.fields) {
        const char* text = incoming + f.offset;
        switch (f.type) {
            case 'M':
                break;  // memos change only through PutMemo
            case 'C':
                std::memcpy(record->data() + f.offset, text, f.width);
                if (translate_) {
                    AnsiToOemInPlace(reinterpret_cast<uint8_t*>(record->data()) + f.offset,
                                     f.width);
                }
                break;
            case 'N':
            case 'F':
            case 'D':
            case 'L':
                // An unchanged value is kept as stored, even one another program wrote oddly.
                if (std::memcmp(text, record->data() + f.offset, f.width) == 0) break;
                SDE_RETURN_IF_ERROR(StoreField(f, std::string_view(text, f.width), record));
                break;
            default:
                std::memcpy(record->data() + f.offset, text, f.width);
                break;
        }
    }
    return Status::OK();
}

Status Table::PutRecord(const uint8_t* data, size_t size) {
    SDE_RETURN_IF_ERROR(CheckWritable());
    if (eof_) return Status::InvalidArgument("there is no current record in " + path_);
    SDE_RETURN_IF_ERROR(CheckRecordBuffer(size));
    // Built in a scratch buffer so that a refused field leaves the record as it was.
    std::string& record = scratch_record_;
    record.assign(record_);
    SDE_RETURN_IF_ERROR(MergeIncoming(data, &record));
    record_.swap(record);
    dirty_ = true;
    return Status::OK();
}

Status Table::Replace(int index, std::string_view text) {
    SDE_RETURN_IF_ERROR(CheckWritable());
    if (index < 0 || size_t(index) >= header_.fields.size()) {
        return Status::InvalidArgument("no such field in " + path_);
    }
    const FieldDesc& f = header_.fields[size_t(index)];
    if (f.type == 'M') return PutMemo(index, text);
    if (eof_) return Status::InvalidArgument("there is no current record in " + path_);
    std::string record = record_;
    SDE_RETURN_IF_ERROR(StoreField(f, text, &record));
    record_ = std::move(record);
    dirty_ = true;
    return Status::OK();
}

Status Table::StoreMemoPointer(const FieldDesc& f, uint32_t block) {
    record_.replace(f.offset, f.width, FormatMemoPointer(block, f.width));
    dirty_ = true;
    return Status::OK();
}

Status Table::PutMemo(int index, std::string_view text) {
    SDE_RETURN_IF_ERROR(CheckWritable());
    if (index < 0 || size_t(index) >= header_.fields.size()) {
        return Status::InvalidArgument("no such field in " + path_);
    }
    const FieldDesc& f = header_.fields[size_t(index)];
    if (f.type != 'M') return Status::InvalidArgument("field " + f.name + " is not a memo field");
    if (!memo_) return Status::NotFound("table " + path_ + " has no memo file");
    if (eof_) return Status::InvalidArgument("there is no current record in " + path_);
    if (text.empty()) return StoreMemoPointer(f, 0);
    std::string stored(text);
    if (translate_) AnsiToOemInPlace(reinterpret_cast<uint8_t*>(stored.data()), stored.size());
    const TableEncryption* cipher = cipher_ ? &*cipher_ : nullptr;
    auto block = memo_->Append(stored, [cipher](uint32_t b, std::string* t) {
        if (cipher) cipher->EncryptMemo(b, t);
    });
    if (!block.ok()) return block.status();
    return StoreMemoPointer(f, *block);
}

Status Table::SetDeleted(bool deleted) {
    SDE_RETURN_IF_ERROR(CheckWritable());
    if (eof_) return Status::InvalidArgument("there is no current record in " + path_);
    record_[0] = deleted ? char(kDeletedFlag) : char(kLiveFlag);
    dirty_ = true;
    return Status::OK();
}

Status Table::Zap() {
    if (mode_ != OpenMode::kExclusive) {
        return Status::InvalidArgument(
            "Table must be opened in Exclusive mode to perform this operation");
    }
    SDE_RETURN_IF_ERROR(CheckWritable());
    if (append_pending_) header_.record_count--;
    dirty_ = append_pending_ = append_unindexed_ = false;
    DropRecordCache();
    SDE_RETURN_IF_ERROR(WriteCountToHeader(0));
    header_.record_count = 0;
    SDE_RETURN_IF_ERROR(file_->Truncate(header_.header_length));
    uint8_t eof_mark = kEndOfFile;
    SDE_RETURN_IF_ERROR(file_->WriteAt(header_.header_length, &eof_mark, 1));
    if (memo_) SDE_RETURN_IF_ERROR(memo_->Zap());
    for (auto& order : orders_) SDE_RETURN_IF_ERROR(order->OnZap());
    // The records are gone before the salt changes: a failure in between
    // leaves an empty table under its old key, never old records under a new one.
    if (cipher_) SDE_RETURN_IF_ERROR(RenewEncryption());
    SetEof();
    bof_ = true;
    if (commit_full_) {
        SDE_RETURN_IF_ERROR(file_->Sync());
        if (memo_) SDE_RETURN_IF_ERROR(memo_->Sync());
    }
    return Status::OK();
}

}  // namespace sde
