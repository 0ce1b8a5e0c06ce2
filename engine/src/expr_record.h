// RecordBytes: a RecordSource over one stored record (flag byte first, then
// the fields in their stored order and widths), for the table code and the
// index code, which both hold records as plain bytes.
#ifndef SDE61_EXPR_RECORD_H
#define SDE61_EXPR_RECORD_H

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "expr.h"

namespace sde {

class RecordBytes : public RecordSource {
  public:
    // Reads the text of a memo field from its stored block-number bytes.
    using MemoReader = std::function<Status(int index, std::string_view stored, std::string* text)>;

    // fields in stored order; alias is the work area's alias that
    // "ALIAS->FIELD" may name (compared without regard to case).
    RecordBytes(std::vector<FieldInfo> fields, std::string alias);

    // Length of a record: the flag byte and the field widths.
    size_t record_length() const { return record_length_; }

    // Makes record (not copied: it must outlive the evaluations) the current
    // record with number recno.  InvalidArgument when its length is not
    // record_length().
    Status SetRecord(std::string_view record, uint32_t recno);
    void SetMemoReader(MemoReader reader) { memo_reader_ = std::move(reader); }

    int FieldIndex(std::string_view alias, std::string_view name) const override;
    FieldInfo Field(int index) const override { return fields_[size_t(index)]; }
    std::string_view RawField(int index) const override;
    Status ReadMemo(int index, std::string* text) const override;
    uint32_t RecNo() const override { return recno_; }
    bool Deleted() const override { return !record_.empty() && record_[0] == '*'; }

  private:
    std::vector<FieldInfo> fields_;
    std::vector<size_t> offsets_;  // of each field inside the record
    std::string alias_;
    size_t record_length_ = 1;
    std::string blank_;  // field bytes while there is no record
    std::string_view record_;
    uint32_t recno_ = 0;
    MemoReader memo_reader_;
};

}  // namespace sde

#endif  // SDE61_EXPR_RECORD_H
