// An NTX index as an order of a table: computes each record's key (and FOR
// condition) with the index's expressions, keeps the index in step with the
// table's appends, changes and zaps, and moves through it for the table.
// Also builds new index files from all records of a table.
#ifndef SDE61_NTX_NTX_ORDER_H
#define SDE61_NTX_NTX_ORDER_H

#include <functional>
#include <memory>
#include <string>

#include "expr/expr.h"
#include "expr/record_view.h"
#include "ntx/ntx_index.h"
#include "ntx/order.h"

namespace sde {

// Progress of a build in percent, 0..100.
using NtxProgress = std::function<void(int percent)>;

class NtxOrder : public Order {
  public:
    // Opens the index file at path for the table of host, in the table's mode.
    static Result<std::unique_ptr<NtxOrder>> Open(OrderHost* host, const std::string& path);
    // Builds an index of every record of host's table (deleted ones included)
    // into path, then opens it.  An existing file is replaced only when the
    // new one is complete and nobody else has the old one open.
    static Result<std::unique_ptr<NtxOrder>> Build(OrderHost* host, const std::string& path,
                                                   const std::string& expression,
                                                   const std::string& condition, bool unique,
                                                   bool descend, const NtxProgress& progress);
    ~NtxOrder() override;

    const std::string& path() const override { return index_->path(); }
    const std::string& key_expression() const override { return header().key_expression; }
    const NtxHeader& header() const { return index_->header(); }
    NtxIndex* index() { return index_.get(); }

    Status OnAppend(uint32_t recno, const std::string& record) override;
    Status OnUpdate(uint32_t recno, const std::string& old_record,
                    const std::string& new_record) override;
    Status OnZap() override;
    Status Flush(bool sync) override;

    Result<uint32_t> First() override;
    Result<uint32_t> Last() override;
    Result<uint32_t> Next(uint32_t recno, const std::string& record) override;
    Result<uint32_t> Prev(uint32_t recno, const std::string& record) override;
    Result<SeekResult> Seek(std::string_view key) override;

    // The key bytes of a record; *included is false when the FOR condition
    // leaves the record out.
    Status KeyOf(uint32_t recno, std::string_view record, std::string* key, bool* included);

  private:
    NtxOrder(OrderHost* host, std::unique_ptr<NtxIndex> index);
    Status Compile();
    Result<uint32_t> Position(uint32_t recno, const std::string& record);
    uint32_t Current() const { return cursor_.eof() ? 0 : cursor_.recno(); }

    std::unique_ptr<NtxIndex> index_;
    NtxCursor cursor_;
    RecordView source_;
    std::unique_ptr<Expression> key_;
    std::unique_ptr<Expression> condition_;
    std::string key_buffer_, old_key_buffer_;
};

}  // namespace sde

#endif  // SDE61_NTX_NTX_ORDER_H
