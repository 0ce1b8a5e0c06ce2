// Appending many records at once to a table: the bulk append and the SDF
// (fixed-width text) import.
#include "dbf/table.h"

#include <algorithm>
#include <cstring>

#include "base/codepage.h"
#include "base/coding.h"
#include "dbf/create.h"
#include "dbf/field_value.h"

namespace sde {

Status Table::AppendRecords(std::string* records, uint32_t n) {
    if (n == 0) return Status::OK();
    DropRecordCache();
    const uint32_t length = header_.record_length;
    bool shared = is_shared();
    if (shared) {
        SDE_RETURN_IF_ERROR(file_->LockRange(kLockBase, 1, RangeLock::kWrite, LockWait::kWait));
    }
    uint32_t first = 0;
    Status s = [&]() -> Status {
        SDE_RETURN_IF_ERROR(RefreshCount());
        first = header_.record_count + 1;
        if (uint64_t(first) + n > UINT32_MAX) {
            return Status::InvalidArgument("table " + path_ + " cannot hold more records");
        }
        std::string* bytes = records;
        std::string encrypted;
        if (cipher_) {
            encrypted = *records;
            for (uint32_t i = 0; i < n; ++i) {
                cipher_->CryptFields(
                    first + i,
                    reinterpret_cast<uint8_t*>(encrypted.data()) + size_t(i) * length + 1,
                    length - 1);
            }
            bytes = &encrypted;
        }
        bytes->push_back(char(kEndOfFile));
        Status w = file_->WriteAt(header_.RecordOffset(first), bytes->data(), bytes->size());
        bytes->pop_back();
        SDE_RETURN_IF_ERROR(w);
        uint32_t count = first - 1 + n;
        SDE_RETURN_IF_ERROR(WriteCountToHeader(count));
        header_.record_count = count;
        return Status::OK();
    }();
    if (shared) {
        Status u = file_->UnlockRange(kLockBase, 1);
        if (s.ok()) s = u;
    }
    if (!s.ok()) return s;
    if (!orders_.empty()) {
        std::string record;
        for (uint32_t i = 0; i < n; ++i) {
            record.assign(*records, size_t(i) * length, length);
            for (auto& order : orders_) SDE_RETURN_IF_ERROR(order->OnAppend(first + i, record));
        }
    }
    return Status::OK();
}

Status Table::AppendSdf(const std::string& source) {
    SDE_RETURN_IF_ERROR(CheckWritable());
    SDE_RETURN_IF_ERROR(FlushPending());
    auto file = env_->Open(source, FileAccess::kReadOnly);
    if (!file.ok()) {
        if (file.status().code() == Status::Code::kNotFound) {
            return Status::NotFound("text file " + source + " does not exist");
        }
        return file.status();
    }
    auto size = (*file)->Size();
    if (!size.ok()) return size.status();
    std::string text(*size, '\0');
    SDE_RETURN_IF_ERROR((*file)->ReadExact(0, text.data(), text.size()));

    // Every record is built and checked before the first is written: a line
    // with a value the table cannot store appends nothing at all.
    const uint32_t length = header_.record_length;
    std::string records;
    uint32_t count = 0;
    size_t pos = 0;
    size_t line_number = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        pos = next;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // A DOS end-of-file mark ends the text.
        size_t eof_mark = line.find(char(kEndOfFile));
        if (eof_mark != std::string_view::npos) {
            line = line.substr(0, eof_mark);
            if (line.empty()) break;
            pos = text.size();
        }
        if (count == UINT32_MAX) {
            return Status::InvalidArgument("table " + path_ + " cannot hold more records");
        }
        records.resize(records.size() + length, ' ');
        size_t record_start = records.size() - length;
        size_t column = 0;
        for (const FieldDesc& f : header_.fields) {
            std::string_view value;
            if (column < line.size()) value = line.substr(column, f.width);
            column += f.width;
            if (f.type == 'M') continue;
            Status s = StoreFieldAt(f, value, &records, record_start);
            if (!s.ok()) {
                return Status::InvalidArgument("line " + std::to_string(line_number) + " of " +
                                               source + ": " + s.message() +
                                               "; nothing was appended");
            }
        }
        ++count;
    }
    text.clear();
    text.shrink_to_fit();
    SDE_RETURN_IF_ERROR(AppendRecords(&records, count));
    if (header_.record_count == 0) {
        SetEof();
        return Status::OK();
    }
    return LoadRecord(header_.record_count);
}

}  // namespace sde
