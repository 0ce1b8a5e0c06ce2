// A small in-memory table for the expression tests and benchmark: fields with
// dBASE types and widths, one current record held as stored field bytes.
#ifndef SDE61_TESTS_EXPR_TEST_TABLE_H
#define SDE61_TESTS_EXPR_TEST_TABLE_H

#include <map>
#include <string>
#include <vector>

#include "expr/expr.h"

namespace sde {

class MemoryTable : public RecordSource {
  public:
    // alias: the name "ALIAS->FIELD" accepts (upper case).
    explicit MemoryTable(std::string alias = "ARTIKEL") : alias_(std::move(alias)) {}

    void AddField(std::string name, char type, int width, int decimals = 0);
    // Sets a field of the current record from its stored text, padded or cut
    // to the field width as a table writer would store it ('C' padded right,
    // 'N' right-aligned).
    void Set(const std::string& name, std::string stored);
    void SetMemo(const std::string& name, std::string text) { memos_[FieldIndex("", name)] = text; }
    void SetRecNo(uint32_t recno) { recno_ = recno; }
    void SetDeleted(bool deleted) { deleted_ = deleted; }

    int FieldIndex(std::string_view alias, std::string_view name) const override;
    FieldInfo Field(int index) const override { return fields_[size_t(index)]; }
    std::string_view RawField(int index) const override { return values_[size_t(index)]; }
    Status ReadMemo(int index, std::string* text) const override;
    uint32_t RecNo() const override { return recno_; }
    bool Deleted() const override { return deleted_; }

  private:
    std::string alias_;
    std::vector<FieldInfo> fields_;
    std::vector<std::string> values_;
    std::map<int, std::string> memos_;
    uint32_t recno_ = 1;
    bool deleted_ = false;
};

}  // namespace sde

#endif  // SDE61_TESTS_EXPR_TEST_TABLE_H
