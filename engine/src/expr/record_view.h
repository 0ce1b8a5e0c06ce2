// RecordView: one record of a table as the expression engine reads it (the
// RecordSource of expr.h) - the table's fields, the record's bytes, its
// number and deletion flag, and its memos through the table.  Index keys use
// a view over the stored bytes; sx_EvalString one over the caller's (ANSI) bytes.
#ifndef SDE61_EXPR_RECORD_VIEW_H
#define SDE61_EXPR_RECORD_VIEW_H

#include <string>
#include <string_view>
#include <vector>

#include "dbf/dbf_format.h"
#include "expr/expr.h"

namespace sde {

class Table;

class RecordView : public RecordSource {
  public:
    // fields and record must outlive the view; record holds the flag byte
    // first.  alias: the work area's alias accepted before "->" (empty: any
    // alias other than FIELD is refused).  table: for memo texts (may be null).
    RecordView(const std::vector<FieldDesc>& fields, std::string_view record, uint32_t recno,
               std::string alias = std::string(), Table* table = nullptr)
        : fields_(fields),
          record_(record),
          recno_(recno),
          alias_(std::move(alias)),
          table_(table) {}

    // Points the view at another record of the same table.
    void Reset(std::string_view record, uint32_t recno) {
        record_ = record;
        recno_ = recno;
    }

    int FieldIndex(std::string_view alias, std::string_view name) const override;
    FieldInfo Field(int index) const override;
    std::string_view RawField(int index) const override;
    Status ReadMemo(int index, std::string* text) const override;
    uint32_t RecNo() const override { return recno_; }
    bool Deleted() const override { return !record_.empty() && record_[0] == char(kDeletedFlag); }

  private:
    const std::vector<FieldDesc>& fields_;
    std::string_view record_;
    uint32_t recno_;
    std::string alias_;
    Table* table_;
};

}  // namespace sde

#endif  // SDE61_EXPR_RECORD_VIEW_H
