// A table: opening and closing, reading, navigation, its encryption settings
// and orders.  Writing records lives in table_write.cc, bulk appends and
// copies in table_append.cc and table_copy.cc.
#include "dbf/table.h"

#include <algorithm>
#include <cstring>

#include "base/codepage.h"
#include "base/coding.h"
#include "dbf/create.h"
#include "dbf/field_value.h"

namespace sde {

namespace {

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
