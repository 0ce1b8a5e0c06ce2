// A table: opening and closing, reading, navigation, writing records, its
// encryption settings and orders.  Bulk appends and copies live in
// table_append.cc and table_copy.cc.
#include "dbf/table.h"

#include <algorithm>
#include <cstring>

#include "base/codepage.h"
#include "base/coding.h"
#include "dbf/create.h"
#include "dbf/field_value.h"

namespace sde {

namespace {

constexpr const char kReadOnlyText[] = "Cannot modify a read-only data set";

// The first 32 header bytes as the encryption code reads them.
void HeaderPrefix(const DbfHeader& header, uint8_t out[kDbfPrefixSize]) {
    std::fill(out, out + kDbfPrefixSize, 0);
    out[0] = header.version;
    std::copy(header.engine_mark, header.engine_mark + kEngineMarkSize, out + kEngineMarkOffset);
}

}  // namespace

Table::~Table() {
    Close();
}

Result<std::unique_ptr<Table>> Table::Open(const std::string& path, OpenMode mode, bool commit_full,
                                           Env* env) {
    std::unique_ptr<Table> table(new Table());
    table->env_ = env;
    table->mode_ = mode;
    table->commit_full_ = commit_full;
    FileAccess access =
        mode == OpenMode::kReadOnly ? FileAccess::kReadOnly : FileAccess::kReadWrite;
    // Opening looks the name up without regard to case when it has to; the
    // file then carries the name found on disk.
    const std::string wanted = WithTableExtension(path);
    auto file = env->Open(wanted, access);
    if (!file.ok()) {
        if (file.status().code() == Status::Code::kNotFound) {
            return Status::NotFound("table file " + env->Resolve(wanted) + " does not exist");
        }
        return file.status();
    }
    table->file_ = std::move(file.value());
    table->path_ = table->file_->path();
    OpenLock lock = mode == OpenMode::kExclusive ? OpenLock::kExclusive : OpenLock::kShared;
    if (!table->file_->SetOpenLock(lock).ok()) {
        return Status::Locked("table " + table->path_ + " is in use by another user");
    }
    std::string first_record;
    SDE_RETURN_IF_ERROR(ReadDbfHeader(table->file_.get(), &table->header_, &first_record));
    table->record_cache_.Reset(table->header_.record_length, table->header_.RecordOffset(1));
    {
        uint8_t prefix[kDbfPrefixSize];
        HeaderPrefix(table->header_, prefix);
        table->encrypted_ = HasEncryptionMark(prefix);
    }
    if (table->header_.has_memo()) {
        std::string memo_path = env->Resolve(MemoPathFor(table->path_));
        auto memo = MemoFile::Open(env, memo_path, access, lock, table->is_shared());
        if (!memo.ok()) {
            if (memo.status().code() == Status::Code::kLocked) {
                return Status::Locked("memo file " + memo_path + " is in use by another user");
            }
            return memo.status();
        }
        table->memo_ = std::move(memo.value());
    }
    // The table opens on its first record.  No order is open yet and the
    // count was read with the header a moment ago: record 1 is the first,
    // mostly read with the header already.
    if (table->header_.record_count == 0) {
        table->SetEof();
    } else if (!first_record.empty()) {
        table->record_ = std::move(first_record);
        table->DecodeRecord(1, &table->record_);
        table->TakeLoadedRecord(1);
    } else {
        SDE_RETURN_IF_ERROR(table->LoadRecord(1));
    }
    table->bof_ = table->eof_;
    return table;
}

Status Table::Close() {
    if (!file_) return Status::OK();
    Status result = FlushPending();
    Status s = CloseOrders();
    if (result.ok()) result = s;
    if (result.ok() && commit_full_ && mode_ != OpenMode::kReadOnly) result = file_->Sync();
    Unlock(0);
    memo_.reset();
    header_map_ = nullptr;
    file_.reset();
    return result;
}

int Table::FieldIndex(std::string_view name) const {
    size_t arrow = name.find("->");
    if (arrow != std::string_view::npos) name.remove_prefix(arrow + 2);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    for (size_t i = 0; i < header_.fields.size(); ++i) {
        if (FieldNameEquals(header_.fields[i].name, name)) return int(i);
    }
    return -1;
}

// ---- reading -------------------------------------------------------------

std::string Table::BlankRecord() const {
    std::string record(header_.record_length, ' ');
    return record;
}

void Table::MaskForMissingPassword(std::string* record) const {
    for (const FieldDesc& f : header_.fields) {
        std::string masked = MaskedValue(f);
        record->replace(f.offset, f.width, masked);
    }
}

Status Table::ReadRecord(uint32_t recno, std::string* record) {
    const uint32_t length = header_.record_length;
    record->resize(length);
    if (is_shared()) {
        SDE_RETURN_IF_ERROR(file_->ReadExact(header_.RecordOffset(recno), record->data(), length));
    } else {
        // Nobody else writes the file: records are kept in memory.  A record
        // behind the count (never on disk yet) is not cached.
        if (recno == 0 || recno > header_.record_count) {
            SDE_RETURN_IF_ERROR(
                file_->ReadExact(header_.RecordOffset(recno), record->data(), length));
        } else {
            SDE_RETURN_IF_ERROR(
                record_cache_.Read(file_.get(), recno, header_.record_count, record->data()));
        }
    }
    DecodeRecord(recno, record);
    return Status::OK();
}

void Table::DecodeRecord(uint32_t recno, std::string* record) {
    if (cipher_) {
        cipher_->CryptFields(recno, reinterpret_cast<uint8_t*>(record->data()) + 1,
                             record->size() - 1);
    } else if (encrypted()) {
        MaskForMissingPassword(record);
    }
}

Status Table::ReadStoredRecord(uint32_t recno, std::string* record) {
    SDE_RETURN_IF_ERROR(FlushPending());
    return ReadRecord(recno, record);
}

Status Table::LoadRecord(uint32_t recno) {
    Status s = ReadRecord(recno, &record_);
    if (!s.ok()) {
        SetEof();
        return s;
    }
    TakeLoadedRecord(recno);
    return Status::OK();
}

void Table::TakeLoadedRecord(uint32_t recno) {
    disk_record_ = record_;
    recno_ = recno;
    eof_ = false;
}

void Table::SetEof() {
    recno_ = header_.record_count + 1;
    record_.assign(header_.record_length, ' ');
    disk_record_ = record_;
    eof_ = true;
}

// Commit level full syncs every commit anyway; there the count goes through WriteAt.
// The mapping shares the operating system's copy of the file with every
// other program: in shared use a store into it is seen at once, as a write
// would be, and a load from it reads what others last wrote.
uint8_t* Table::CountMap() {
    if (header_map_ == nullptr && mode_ != OpenMode::kReadOnly && !commit_full_ &&
        ++count_accesses_ >= kCountAccessesBeforeMap) {
        header_map_ = file_->MapPrefix(8);
    }
    return header_map_;
}

Status Table::RefreshCount() {
    if (!is_shared()) return Status::OK();
    uint8_t bytes[4];
    if (uint8_t* map = CountMap()) {
        std::memcpy(bytes, map + 4, sizeof bytes);
    } else {
        SDE_RETURN_IF_ERROR(file_->ReadExact(4, bytes, sizeof bytes));
    }
    uint32_t count = GetU32(bytes);
    if (count == header_.record_count) return Status::OK();
    auto size = file_->Size();
    if (!size.ok()) return size.status();
    SDE_RETURN_IF_ERROR(CheckRecordCount(file_.get(), header_, count, *size));
    if (eof_ && recno_ == header_.record_count + 1) recno_ = count + 1;
    header_.record_count = count;
    return Status::OK();
}

Result<uint32_t> Table::RecordCount() {
    SDE_RETURN_IF_ERROR(RefreshCount());
    return header_.record_count;
}

std::string Table::RecordForCaller() const {
    std::string out(record_.size(), '\0');
    CopyRecordForCaller(out.data(), out.size());
    return out;
}

size_t Table::CopyRecordForCaller(char* buf, size_t size) const {
    const size_t n = std::min(record_.size(), size);
    if (n == 0) return record_.size();
    std::memcpy(buf, record_.data(), n);
    if (translate_) {
        for (const FieldDesc& f : header_.fields) {
            if (f.type != 'C' || f.offset >= n) continue;
            OemToAnsiInPlace(reinterpret_cast<uint8_t*>(buf) + f.offset,
                             std::min<size_t>(f.width, n - f.offset));
        }
    }
    return record_.size();
}

Result<uint32_t> Table::MemoBlock(const FieldDesc& f) const {
    int64_t block = ParseMemoPointer(record_.data() + f.offset, f.width);
    if (block < 0) {
        return Status::Corruption(path_, "the memo pointer of field " + f.name + " in record " +
                                             std::to_string(recno_) + " is not a block number");
    }
    return uint32_t(block);
}

Result<std::string> Table::MemoText(int index) {
    if (index < 0 || size_t(index) >= header_.fields.size()) {
        return Status::InvalidArgument("no such field in " + path_);
    }
    const FieldDesc& f = header_.fields[size_t(index)];
    if (f.type != 'M') return Status::InvalidArgument("field " + f.name + " is not a memo field");
    if (!memo_) return Status::NotFound("table " + path_ + " has no memo file");
    if (encrypted() && !cipher_) return std::string();
    auto block = MemoBlock(f);
    if (!block.ok()) return block.status();
    if (*block == 0) return std::string();
    auto text = memo_->Read(*block);
    if (!text.ok()) return text.status();
    if (cipher_) SDE_RETURN_IF_ERROR(cipher_->DecryptMemo(*block, &*text));
    if (translate_) OemToAnsiInPlace(reinterpret_cast<uint8_t*>(text->data()), text->size());
    return text;
}

Result<std::string> Table::FieldText(int index) {
    if (index < 0 || size_t(index) >= header_.fields.size()) {
        return Status::InvalidArgument("no such field in " + path_);
    }
    const FieldDesc& f = header_.fields[size_t(index)];
    if (f.type == 'M') return MemoText(index);
    std::string text = record_.substr(f.offset, f.width);
    if (translate_ && f.type == 'C') {
        OemToAnsiInPlace(reinterpret_cast<uint8_t*>(text.data()), text.size());
    }
    return text;
}

Result<bool> Table::FieldEmpty(int index) {
    if (index < 0 || size_t(index) >= header_.fields.size()) {
        return Status::InvalidArgument("no such field in " + path_);
    }
    const FieldDesc& f = header_.fields[size_t(index)];
    if (f.type == 'M') {
        auto text = MemoText(index);
        if (!text.ok()) return text.status();
        return text->find_first_not_of(" \r\n\t") == std::string::npos;
    }
    for (uint32_t i = 0; i < f.width; ++i) {
        if (record_[f.offset + i] != ' ') return false;
    }
    return true;
}

// ---- navigation ----------------------------------------------------------

Status Table::MoveTo(uint32_t recno) {
    if (recno == 0) {
        SetEof();
        return Status::OK();
    }
    if (recno > header_.record_count) SDE_RETURN_IF_ERROR(RefreshCount());
    if (recno > header_.record_count) {
        return Status::Corruption(
            current_order_ ? orders_[size_t(current_order_ - 1)]->path() : path_,
            "it points at record " + std::to_string(recno) + " beyond the end of " + path_);
    }
    return LoadRecord(recno);
}

Status Table::EndOnFailure(Status s) {
    if (!s.ok()) SetEof();
    return s;
}

Status Table::GoTop() {
    return EndOnFailure(MoveToTop());
}
Status Table::GoBottom() {
    return EndOnFailure(MoveToBottom());
}
Status Table::Skip(long count) {
    return EndOnFailure(MoveBy(count));
}

Status Table::MoveToTop() {
    SDE_RETURN_IF_ERROR(FlushPending());
    SDE_RETURN_IF_ERROR(RefreshCount());
    bof_ = false;
    if (current_order_ > 0) {
        auto first = orders_[size_t(current_order_ - 1)]->First();
        if (!first.ok()) return first.status();
        SDE_RETURN_IF_ERROR(MoveTo(*first));
    } else if (header_.record_count == 0) {
        SetEof();
    } else {
        SDE_RETURN_IF_ERROR(LoadRecord(1));
    }
    bof_ = eof_;
    return Status::OK();
}

Status Table::MoveToBottom() {
    SDE_RETURN_IF_ERROR(FlushPending());
    SDE_RETURN_IF_ERROR(RefreshCount());
    bof_ = false;
    if (current_order_ > 0) {
        auto last = orders_[size_t(current_order_ - 1)]->Last();
        if (!last.ok()) return last.status();
        SDE_RETURN_IF_ERROR(MoveTo(*last));
    } else if (header_.record_count == 0) {
        SetEof();
    } else {
        SDE_RETURN_IF_ERROR(LoadRecord(header_.record_count));
    }
    bof_ = eof_;
    return Status::OK();
}

Status Table::Go(uint32_t recno) {
    SDE_RETURN_IF_ERROR(EndOnFailure(FlushPending()));
    bof_ = false;
    if (recno > header_.record_count) SDE_RETURN_IF_ERROR(EndOnFailure(RefreshCount()));
    if (recno == 0 || recno > header_.record_count) {
        SetEof();
        return Status::OK();
    }
    return LoadRecord(recno);
}

Status Table::MoveBy(long count) {
    // No table holds more records than this; it keeps the arithmetic below in range.
    count = std::clamp<long>(count, -long(UINT32_MAX), long(UINT32_MAX));
    SDE_RETURN_IF_ERROR(FlushPending());
    bof_ = false;
    if (count == 0) {
        if (eof_) return Status::OK();
        return LoadRecord(recno_);
    }
    if (current_order_ > 0) {
        Order* order = orders_[size_t(current_order_ - 1)].get();
        for (long i = 0; i < (count < 0 ? -count : count); ++i) {
            Result<uint32_t> next = uint32_t(0);
            if (count > 0) {
                if (eof_) break;
                next = order->Next(recno_, record_);
            } else {
                next = eof_ ? order->Last() : order->Prev(recno_, record_);
            }
            if (!next.ok()) return next.status();
            if (*next == 0) {
                if (count > 0) {
                    SetEof();
                } else {
                    bof_ = true;
                    auto first = order->First();
                    if (!first.ok()) return first.status();
                    SDE_RETURN_IF_ERROR(MoveTo(*first));
                    bof_ = true;
                }
                break;
            }
            SDE_RETURN_IF_ERROR(MoveTo(*next));
        }
        return Status::OK();
    }
    int64_t target = int64_t(recno_) + count;
    if (target > int64_t(header_.record_count)) SDE_RETURN_IF_ERROR(RefreshCount());
    if (target > int64_t(header_.record_count)) {
        SetEof();
        return Status::OK();
    }
    if (target < 1) {
        if (header_.record_count == 0) {
            SetEof();
        } else {
            SDE_RETURN_IF_ERROR(LoadRecord(1));
        }
        bof_ = true;
        return Status::OK();
    }
    return LoadRecord(uint32_t(target));
}

Result<bool> Table::Seek(std::string_view key) {
    // Found tells of this seek only: a failed one leaves it false.
    found_ = false;
    if (current_order_ == 0) {
        return Status::InvalidArgument("This operation requires an active index order");
    }
    SDE_RETURN_IF_ERROR(EndOnFailure(FlushPending()));
    std::string stored_key;
    if (translate_) {
        stored_key.assign(key);
        AnsiToOemInPlace(reinterpret_cast<uint8_t*>(stored_key.data()), stored_key.size());
        key = stored_key;
    }
    auto result = orders_[size_t(current_order_ - 1)]->Seek(key);
    if (!result.ok()) return EndOnFailure(result.status());
    bof_ = false;
    if (result->found) {
        SDE_RETURN_IF_ERROR(EndOnFailure(MoveTo(result->recno)));
    } else {
        SDE_RETURN_IF_ERROR(EndOnFailure(RefreshCount()));
        SetEof();
    }
    found_ = result->found;
    return found_;
}

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
    if (uint8_t* map = CountMap()) {
        std::memcpy(map + 1, bytes, sizeof bytes);
        return Status::OK();
    }
    return file_->WriteAt(1, bytes, sizeof bytes);
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

// ---- settings, orders ----------------------------------------------------

bool Table::encrypted() const {
    return encrypted_;
}

Status Table::SetPassword(std::string_view password) {
    if (!encrypted()) return Status::OK();
    SDE_RETURN_IF_ERROR(FlushPending());
    uint8_t prefix[kDbfPrefixSize];
    HeaderPrefix(header_, prefix);
    auto encryption = TableEncryption::Open(prefix, password, path_);
    if (!encryption.ok()) return encryption.status();
    return SetEncryption(*encryption);
}

Status Table::RenewEncryption() {
    uint8_t prefix[kDbfPrefixSize];
    HeaderPrefix(header_, prefix);
    TableEncryption renewed = *cipher_;
    SDE_RETURN_IF_ERROR(renewed.Renew(prefix));
    SDE_RETURN_IF_ERROR(
        file_->WriteAt(kEngineMarkOffset, prefix + kEngineMarkOffset, kEngineMarkSize));
    std::copy(prefix + kEngineMarkOffset, prefix + kEngineMarkOffset + kEngineMarkSize,
              header_.engine_mark);
    cipher_ = renewed;
    return Status::OK();
}

Status Table::SetEncryption(const TableEncryption& encryption) {
    SDE_RETURN_IF_ERROR(FlushPending());
    cipher_ = encryption;
    if (eof_) return Status::OK();
    return LoadRecord(recno_);
}

int Table::AddOrder(std::unique_ptr<Order> order) {
    orders_.push_back(std::move(order));
    return int(orders_.size());
}

Status Table::SetOrder(int number) {
    if (number < 0 || number > int(orders_.size())) {
        return Status::InvalidArgument("there is no order " + std::to_string(number) + " on " +
                                       path_);
    }
    SDE_RETURN_IF_ERROR(FlushPending());
    current_order_ = number;
    return Status::OK();
}

Order* Table::order(int number) const {
    if (number < 1 || number > int(orders_.size())) return nullptr;
    return orders_[size_t(number - 1)].get();
}

Status Table::CloseOrders() {
    Status result = FlushPending();
    for (auto& order : orders_) {
        Status s = order->Flush(commit_full_);
        if (result.ok()) result = s;
    }
    orders_.clear();
    current_order_ = 0;
    return result;
}

}  // namespace sde
