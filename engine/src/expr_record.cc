#include "expr_record.h"

#include <algorithm>

namespace sde {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 32);
        if (y >= 'a' && y <= 'z') y = char(y - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

RecordBytes::RecordBytes(std::vector<FieldInfo> fields, std::string alias)
    : fields_(std::move(fields)), alias_(std::move(alias)) {
    size_t widest = 0;
    for (const FieldInfo& f : fields_) {
        size_t width = size_t(std::max(f.width, 0));
        offsets_.push_back(record_length_);
        record_length_ += width;
        widest = std::max(widest, width);
    }
    blank_.assign(widest, ' ');
}

Status RecordBytes::SetRecord(std::string_view record, uint32_t recno) {
    if (record.size() != record_length_) {
        return Status::InvalidArgument("Record of " + std::to_string(record.size()) +
                                       " bytes where the table's records have " +
                                       std::to_string(record_length_));
    }
    record_ = record;
    recno_ = recno;
    return Status::OK();
}

int RecordBytes::FieldIndex(std::string_view alias, std::string_view name) const {
    if (!alias.empty() && !EqualNoCase(alias, alias_)) return -1;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (EqualNoCase(fields_[i].name, name)) return int(i);
    }
    return -1;
}

std::string_view RecordBytes::RawField(int index) const {
    size_t width = size_t(std::max(fields_[size_t(index)].width, 0));
    if (record_.empty()) return std::string_view(blank_).substr(0, width);
    return record_.substr(offsets_[size_t(index)], width);
}

Status RecordBytes::ReadMemo(int index, std::string* text) const {
    std::string_view stored = RawField(index);
    if (stored.find_first_not_of(' ') == std::string_view::npos) {
        text->clear();  // no memo
        return Status::OK();
    }
    if (!memo_reader_) return RecordSource::ReadMemo(index, text);
    return memo_reader_(index, stored, text);
}

}  // namespace sde
