// Table: one open dBASE III table (.DBF with its .DBT memo file) in one work
// area.  It owns the open files and their locks, the current record and its
// pending changes, the table's open index orders and the translation and
// encryption settings.
//
// Writing model: changes go into the current record buffer; they are written
// (pwrite, no caching of dirty data) when the record is committed, when the
// table moves to another record, appends or closes.  Commit level full syncs
// the files after each commit.
//
// Sharing (see file.h for the primitives):
//   open modes: flock on .DBF and .DBT, shared for shared and read-only opens,
//   exclusive for exclusive opens.  In shared mode:
//     record lock:  1 byte at 1,000,000,000 + record number, not waiting,
//                   taken before a record is written, kept until Unlock;
//                   under it a changed record is read again and only the
//                   fields this table changed are written over it;
//     header lock:  1 byte at 1,000,000,000, waiting, held while an append
//                   writes the blank record and the new record count;
//     memo lock:    byte 0 of the .DBT while a memo is written.
#ifndef SDE61_DBF_TABLE_H
#define SDE61_DBF_TABLE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "dbf/crypto.h"
#include "dbf/dbf_format.h"
#include "dbf/memo.h"
#include "dbf/record_cache.h"
#include "ntx/order.h"
#include "platform/file.h"

namespace sde {

// Records written per call when many are appended or copied at once.
constexpr size_t kBulkRecords = 4096;

enum class OpenMode { kShared, kReadOnly, kExclusive };

constexpr uint64_t kLockBase = 1000000000ull;

class Table : public OrderHost {
  public:
    ~Table() override;

    static Result<std::unique_ptr<Table>> Open(const std::string& path, OpenMode mode,
                                               bool commit_full, Env* env = CurrentEnv());
    // Writes any pending change and closes the files (also done by the destructor).
    Status Close();

    // ---- OrderHost ----
    const std::string& path() const override { return path_; }
    const std::vector<FieldDesc>& fields() const override { return header_.fields; }
    uint32_t record_length() const override { return header_.record_length; }
    Result<uint32_t> CurrentRecordCount() override { return RecordCount(); }
    Status ReadStoredRecord(uint32_t recno, std::string* record) override;
    bool is_shared() const override { return mode_ != OpenMode::kExclusive; }
    bool is_read_only() const override { return mode_ == OpenMode::kReadOnly; }
    bool commit_full() const override { return commit_full_; }
    Env* env() const override { return env_; }

    // ---- structure ----
    const DbfHeader& header() const { return header_; }
    OpenMode mode() const { return mode_; }
    // Position (0-based) of a field by name, case-insensitive, "ALIAS->" prefix
    // allowed; -1 when absent.
    int FieldIndex(std::string_view name) const;

    // ---- navigation (current order when set, physical order otherwise) ----
    Status GoTop();
    Status GoBottom();
    Status Go(uint32_t recno);
    Status Skip(long count);
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    uint32_t recno() const { return recno_; }
    // Records in the file, deleted ones included (read again in shared mode).
    Result<uint32_t> RecordCount();
    // Positions on a key of the current order; at the end when not found.
    Result<bool> Seek(std::string_view key);
    bool found() const { return found_; }

    // ---- reading the current record ----
    // The record as stored (decrypted, stored code page).
    const std::string& stored_record() const { return record_; }
    // The record as callers see it: character fields in the ANSI code page.
    std::string RecordForCaller() const;
    // The same into buf, at most size bytes (a text cut by the end of buf is
    // translated as far as it goes); returns the record's length.
    size_t CopyRecordForCaller(char* buf, size_t size) const;
    // Text of a field at full width as callers see it; memo fields give their text.
    Result<std::string> FieldText(int index);
    Result<bool> FieldEmpty(int index);
    Result<std::string> MemoText(int index);
    bool deleted() const { return !record_.empty() && uint8_t(record_[0]) == kDeletedFlag; }

    // ---- writing ----
    Status AppendBlank();
    // Appends a record built from caller bytes as PutRecord takes them; in
    // shared use the record reaches the file complete in the same step.
    Status AppendRecord(const uint8_t* data, size_t size);
    // Replaces the current record from caller bytes (memo pointers are kept).
    Status PutRecord(const uint8_t* data, size_t size);
    // Sets a field from text as callers see it.
    Status Replace(int index, std::string_view text);
    Status PutMemo(int index, std::string_view text);
    Status SetDeleted(bool deleted);
    // Writes the pending change and hands it to the OS (synced at commit level full).
    Status Commit();
    // Drops the pending change; an exclusive append not written yet goes too.
    Status DiscardPending();
    // Releases a record lock (0: all record locks).
    Status Unlock(uint32_t recno);
    // Takes the record lock a write of record recno needs (shared use; not
    // waiting), kept until Unlock; nothing to do in exclusive use.
    Status LockForWrite(uint32_t recno);
    // Removes every record; exclusive use only.  An encrypted table gets a
    // new salt and key.
    Status Zap();
    // Appends the lines of an SDF text file, one record per line.
    Status AppendSdf(const std::string& source);
    // Writes a copy of the table with all records and memos to target (replaced).
    Status CopyTo(const std::string& target);
    // Writes an empty table with this table's fields to target.
    Status CopyStructureTo(const std::string& target);

    // ---- settings ----
    bool translate() const { return translate_; }
    // OEM translation of character and memo fields; returns the old setting.
    bool SetTranslate(bool on) {
        bool old = translate_;
        translate_ = on;
        return old;
    }
    // True when the header carries the encryption mark.
    bool encrypted() const;
    // Opens the encryption with the table password and re-reads the current
    // record; a wrong password is refused and changes nothing.  Any password
    // is accepted by a plain table.
    Status SetPassword(std::string_view password);
    // Uses an encryption already opened (a table just created with a password).
    Status SetEncryption(const TableEncryption& encryption);
    bool has_cipher() const { return cipher_.has_value(); }

    // ---- index orders ----
    // Adds an order; returns its number (>= 1).  It does not become current.
    int AddOrder(std::unique_ptr<Order> order);
    // 0: physical order.  The current record is kept.
    Status SetOrder(int number);
    int current_order() const { return current_order_; }
    Order* order(int number) const;
    int order_count() const { return int(orders_.size()); }
    // Closes every order (pending changes are written first).
    Status CloseOrders();
    // Writes the pending change of the current record (used before index builds).
    Status FlushPending();

  private:
    Table() = default;

    Status ReadRecord(uint32_t recno, std::string* record);
    // Decrypts (or masks, without the password) a record as read from disk.
    void DecodeRecord(uint32_t recno, std::string* record);
    Status LoadRecord(uint32_t recno);
    // Makes `record_`, read for record `recno`, the current record.
    void TakeLoadedRecord(uint32_t recno);
    void SetEof();
    Status RefreshCount();
    Status WriteCountToHeader(uint32_t count);
    // Writes today's date into the header (bytes 1-3 only, never the count)
    // when no write since the open has done so yet.
    Status WriteDateToHeaderOnce();
    Status CheckWritable();
    Status LockRecord(uint32_t recno);
    // Under the record lock: lays what the file holds now under this
    // table's changes (see FlushPending).
    Status MergeStoredChanges();
    // A failed move leaves the table at its end.
    Status EndOnFailure(Status s);
    Status MoveToTop();
    Status MoveToBottom();
    Status MoveBy(long count);
    Status AppendShared(const std::string& record);
    Status CheckRecordBuffer(size_t size) const;
    // Lays caller bytes over *record field by field (memos kept, values checked).
    Status MergeIncoming(const uint8_t* data, std::string* record);
    Status WriteRecordBytes(uint32_t recno, const std::string& record, bool with_eof_mark);
    Status MoveTo(uint32_t recno);  // 0 means end
    std::string BlankRecord() const;
    Status StoreNumeric(const FieldDesc& f, std::string_view text, std::string* record);
    Status StoreField(const FieldDesc& f, std::string_view text, std::string* record);
    // The same for a record starting at record_start inside buffer.
    Status StoreFieldAt(const FieldDesc& f, std::string_view text, std::string* buffer,
                        size_t record_start);
    Status StoreMemoPointer(const FieldDesc& f, uint32_t block);
    Result<uint32_t> MemoBlock(const FieldDesc& f) const;
    void MaskForMissingPassword(std::string* record) const;
    // A new salt and key for an emptied table, written into its header.
    Status RenewEncryption();
    // Appends n records lying side by side in *records (left as it was).
    Status AppendRecords(std::string* records, uint32_t n);

    Env* env_ = nullptr;
    std::string path_;
    OpenMode mode_ = OpenMode::kShared;
    bool commit_full_ = false;
    std::unique_ptr<File> file_;
    // Bytes 0-7 of the table mapped (writable opens below commit level full),
    // so that the record count of each append reaches the OS, and in shared
    // use is read again, without a system call of its own.  The mapping is
    // made at the kCountAccessesBeforeMap-th access of the count: a table
    // opened for a record or two (a journal entry) is cheaper without it.
    uint8_t* CountMap();
    static constexpr uint32_t kCountAccessesBeforeMap = 16;
    uint8_t* header_map_ = nullptr;
    uint32_t count_accesses_ = 0;
    std::unique_ptr<MemoFile> memo_;
    DbfHeader header_;

    uint32_t recno_ = 0;  // current record; record_count + 1 at the end
    bool eof_ = true;
    bool bof_ = false;
    bool found_ = false;
    std::string record_;          // current record, stored form (decrypted)
    std::string disk_record_;     // the current record as last read or written
    std::string scratch_record_;  // reused buffers: no allocation per record
    std::string write_buffer_;
    // Records kept in memory in exclusive use (as stored, before decryption).
    RecordCache record_cache_;
    void DropRecordCache() { record_cache_.Clear(); }
    bool dirty_ = false;
    bool append_pending_ = false;    // exclusive append not yet on disk
    bool append_unindexed_ = false;  // appended record the orders have not seen yet
    // Record numbers this table holds locks on, in ascending order (a
    // few at most, usually one).
    std::vector<uint32_t> locked_records_;

    bool translate_ = false;
    bool encrypted_ = false;  // the header carries the encryption mark
    bool date_written_ = false;  // a write since the open set the header date
    std::optional<TableEncryption> cipher_;

    std::vector<std::unique_ptr<Order>> orders_;
    int current_order_ = 0;
};

}  // namespace sde

#endif  // SDE61_DBF_TABLE_H
