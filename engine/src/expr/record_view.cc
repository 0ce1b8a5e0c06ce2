#include "expr/record_view.h"

#include "dbf/table.h"

namespace sde {

int RecordView::FieldIndex(std::string_view alias, std::string_view name) const {
    if (!alias.empty() && !FieldNameEquals(alias, "FIELD") && !FieldNameEquals(alias, alias_)) {
        return -1;
    }
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (FieldNameEquals(fields_[i].name, name)) return int(i);
    }
    return -1;
}

FieldInfo RecordView::Field(int index) const {
    const FieldDesc& f = fields_[size_t(index)];
    FieldInfo info;
    info.name = f.name;
    info.type = f.type;
    info.width = int(f.width);
    info.decimals = int(f.decimals);
    return info;
}

std::string_view RecordView::RawField(int index) const {
    const FieldDesc& f = fields_[size_t(index)];
    if (f.offset + f.width > record_.size()) return std::string_view();
    return record_.substr(f.offset, f.width);
}

Status RecordView::ReadMemo(int index, std::string* text) const {
    if (table_ == nullptr) return RecordSource::ReadMemo(index, text);
    auto memo = table_->MemoText(index);
    if (!memo.ok()) return memo.status();
    *text = std::move(*memo);
    return Status::OK();
}

}  // namespace sde
