// Index orders as the table sees them.  A table keeps a list of open orders
// (numbered from 1 in the order they were added) and at most one current
// order.  The table tells every open order about each change of its records,
// and moves through the current order when one is set.
//
// Record bytes handed to an order are the record as stored (flag byte first,
// record_length() bytes, text in the table's stored code page), after
// decryption; the keys are built from these bytes.
#ifndef SDE61_NTX_ORDER_H
#define SDE61_NTX_ORDER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "dbf/dbf_format.h"
#include "platform/file.h"

namespace sde {

// What the table offers its orders.
class OrderHost {
  public:
    virtual ~OrderHost() = default;

    virtual const std::string& path() const = 0;
    virtual const std::vector<FieldDesc>& fields() const = 0;
    virtual uint32_t record_length() const = 0;
    // Current record count, read again from the file in shared mode.
    virtual Result<uint32_t> CurrentRecordCount() = 0;
    // The record `recno` as stored (decrypted), for building an index; any
    // pending change of the table's current record is written first.
    virtual Status ReadStoredRecord(uint32_t recno, std::string* record) = 0;
    // Open mode of the table; orders open their files the same way.
    virtual bool is_shared() const = 0;
    virtual bool is_read_only() const = 0;
    virtual bool commit_full() const = 0;
    // Env through which every file is opened.
    virtual Env* env() const = 0;
};

// Result of a seek: the record it found or stopped at (0: end of the order).
struct SeekResult {
    bool found = false;
    uint32_t recno = 0;
};

// One open index order.
class Order {
  public:
    virtual ~Order() = default;

    virtual const std::string& path() const = 0;
    virtual const std::string& key_expression() const = 0;

    // ---- keeping the index up to date ----
    // A record was added at `recno` with the given bytes.
    virtual Status OnAppend(uint32_t recno, const std::string& record) = 0;
    // The record `recno` changed from `old_record` to `new_record`.
    virtual Status OnUpdate(uint32_t recno, const std::string& old_record,
                            const std::string& new_record) = 0;
    // Every record was removed.
    virtual Status OnZap() = 0;
    // Hands the index's changes to the file system (and to the disk when sync).
    virtual Status Flush(bool sync) = 0;

    // ---- moving in key order; 0 means "none" (end or beginning passed) ----
    virtual Result<uint32_t> First() = 0;
    virtual Result<uint32_t> Last() = 0;
    // The record after / before the record `recno` whose bytes are `record`.
    virtual Result<uint32_t> Next(uint32_t recno, const std::string& record) = 0;
    virtual Result<uint32_t> Prev(uint32_t recno, const std::string& record) = 0;
    // The first record whose key starts with `key` (stored code page); when
    // none does, found is false and recno is the record with the next greater
    // key, 0 when there is none.
    virtual Result<SeekResult> Seek(std::string_view key) = 0;
};

}  // namespace sde

#endif  // SDE61_NTX_ORDER_H
