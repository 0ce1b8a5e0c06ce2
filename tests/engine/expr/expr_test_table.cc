#include "expr_test_table.h"

#include <algorithm>

namespace sde {

namespace {
std::string Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    }
    return r;
}
}  // namespace

void MemoryTable::AddField(std::string name, char type, int width, int decimals) {
    fields_.push_back(FieldInfo{Upper(name), type, width, decimals});
    values_.push_back(std::string(size_t(width), ' '));
}

void MemoryTable::Set(const std::string& name, std::string stored) {
    int index = FieldIndex("", name);
    const FieldInfo& f = fields_[size_t(index)];
    size_t width = size_t(f.width);
    if (stored.size() > width) stored.resize(width);
    if (f.type == 'N' || f.type == 'F') {
        stored.insert(0, width - stored.size(), ' ');
    } else {
        stored.resize(width, ' ');
    }
    values_[size_t(index)] = stored;
}

int MemoryTable::FieldIndex(std::string_view alias, std::string_view name) const {
    if (!alias.empty() && Upper(alias) != alias_) return -1;
    std::string wanted = Upper(name);
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].name == wanted) return int(i);
    }
    return -1;
}

Status MemoryTable::ReadMemo(int index, std::string* text) const {
    auto it = memos_.find(index);
    if (it == memos_.end()) return Status::NotFound("no memo");
    *text = it->second;
    return Status::OK();
}

}  // namespace sde
