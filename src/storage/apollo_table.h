// TApolloTable, the table object through which every table
// of the system is created, opened, indexed, read and written.
//
// A table object names one dBASE table file and, while open, owns an engine
// work area, the current record (a copy of its bytes), the current index order
// and one TApolloField per field.  Inserts and edits change that copy; Post
// writes it.  Misuse and engine failures raise EApolloError; the copy, create
// and append-from operations and Seek report an engine failure through their
// results (misuse, such as a seek without an index order, still raises).
//
// A write is reported as done only when the engine committed it.  A record
// that another program holds locked is waited for up to kRecordLockWait
// (pending window messages are processed meanwhile); a write that still
// cannot happen raises an error naming table and record, after the record
// has been read again, so that the object shows what the file holds.
#ifndef ZER1_STORAGE_APOLLO_TABLE_H
#define ZER1_STORAGE_APOLLO_TABLE_H

#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "storage/apollo_error.h"
#include "storage/apollo_field.h"
#include "storage/engine_api.h"

namespace zer1 {

enum TTableType { ttSXNONE, ttSXNTX, ttSXFOX, ttSXNSX, ttSXNSX_DBT };
enum TCommitLevel { clFull, clNormal };
enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// How long a write waits for a record that another program holds locked.
inline constexpr std::chrono::seconds kRecordLockWait{3};

// Engine code of the only table type used: dBASE table, .DBT memos, .NTX indexes.
inline constexpr int kTableTypeNtx = 1;
// Source type of AppendFrom: fixed-width SDF text.
inline constexpr int kSdfFile = 22;

class TApolloTable {
  public:
    using NewRecordHandler = std::function<void(TApolloTable&)>;
    // Progress of an index build in percent (0..100).
    using ProgressCallback = std::function<void(int percent)>;

    TApolloTable();
    ~TApolloTable();
    TApolloTable(const TApolloTable&) = delete;
    TApolloTable& operator=(const TApolloTable&) = delete;

    // ---- Properties ----
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& directory);
    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& name);
    TTableType TableType() const { return tableType_; }
    void SetTableType(TTableType type);
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool on);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on);
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& password);
    bool OEMTranslate() const { return oemTranslate_; }
    void SetOEMTranslate(bool on);
    TCommitLevel CommitLevel() const { return commitLevel_; }
    void SetCommitLevel(TCommitLevel level);

    // DatabaseName + "/" (when missing) + file-name part of TableName, with
    // ".DBF" appended when that has no extension.
    std::string FullFileName() const;
    // Engine alias and work area of the open table ("" and 0 when closed).
    const std::string& Alias() const { return alias_; }
    int WorkArea() const { return workArea_; }
    // Changes whenever the open table's field objects are built anew (never
    // the same for two builds, of this table or any other); stays while the
    // same field objects serve, also across a close and an open with the
    // same structure.  Lets a caller keep what it worked out from the fields.
    unsigned long FieldsStamp() const { return fieldsStamp_; }

    // Fills the defaults of a record that Append has just started.
    void SetOnNewRecord(NewRecordHandler handler) { onNewRecord_ = std::move(handler); }

    // ---- Open state ----
    void Open();
    void Close();
    bool Active() const { return workArea_ > 0; }
    TDataSetState State() const { return state_; }
    // Only visual controls care; kept for callers that bracket long loops.
    void DisableControls() { ++controlsDisabled_; }
    void EnableControls() {
        if (controlsDisabled_ > 0) --controlsDisabled_;
    }
    bool ControlsDisabled() const { return controlsDisabled_ > 0; }

    // ---- Navigation (a pending change is written first when modified) ----
    void Refresh();
    // Both raise when the engine cannot move; the table then stands at its end.
    void First();
    void Next();
    bool Eof() const;
    long RecNo() const;
    // Records in the file, deleted ones included; 0 when closed.
    long RecordCount() const;

    // ---- Changing records ----
    void Append();
    void Edit();
    void Post();
    void Cancel();
    bool Modified() const { return modified_; }

    // ---- Fields ----
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TApolloField& Fields(int index);
    TApolloField& FieldByName(std::string_view name);
    TApolloField* FindField(std::string_view name);
    // The field's text at its full width; "" when closed.
    std::string GetString(std::string_view fieldName);
    // True when the field holds only blanks.
    bool FieldIsEmpty(std::string_view fieldName);

    // ---- Creating and copying ----
    bool CreateNew(const std::string& fileName, int tableType, int fieldCount);
    void CreateField(const std::string& name, const std::string& type, int width, int decimals);
    bool CreateExec();
    // Both open and close the table themselves when it is closed.
    bool CopyStructure(const std::string& targetFile);
    bool CopyTable(const std::string& targetFile);
    void Zap();
    bool AppendFrom(const std::string& sourceFile, int fileType, const std::string& scope);

    // ---- Expressions and indexes ----
    std::string EvalString(const std::string& expression);
    int IndexOpen(const std::string& indexFile);
    // The key expression of an open order.
    std::string IndexKey(int order);
    void SetOrder(int order);
    int Order() const { return order_; }
    int Index(const std::string& indexFile, const std::string& expression,
              const std::string& condition = "", int option1 = 0, int option2 = 0);
    bool Seek(const std::string& key);
    bool Found();
    // Where the engine reports index-building progress; an empty callback clears it.
    void SetProgressWindow(ProgressCallback progress);

  private:
    friend class TApolloField;

    const EngineApi& selected() const;
    void requireActive() const;
    void requireClosed() const;
    void requireWritable() const;
    void requireEditing() const;
    void checkBrowseMode();
    void loadFields(const EngineApi& api);
    void readCurrentRecord(const EngineApi& api);
    void rereadAtCurrentPosition(const EngineApi& api);
    void startInsert();
    bool openForCopy();
    std::string memoText(const TApolloField& field) const;
    void setPendingMemo(const TApolloField& field, std::string bytes);
    std::string engineErrorText() const;
    std::string tableFileName() const;
    template <typename Attempt>
    bool retryWhileLocked(const EngineApi& api, Attempt attempt);
    [[noreturn]] void failWrite(const EngineApi& api, long record);
    [[noreturn]] void failMove(const EngineApi& api);
    void rethrowProgressFailure();
    static void progressTrampoline(void* context, int percent);

    std::string databaseName_;
    std::string tableName_;
    TTableType tableType_ = ttSXNTX;
    bool exclusive_ = false;
    bool readOnly_ = false;
    std::string password_;
    bool oemTranslate_ = false;
    TCommitLevel commitLevel_ = clNormal;
    NewRecordHandler onNewRecord_;

    int workArea_ = 0;
    std::string alias_;
    TDataSetState state_ = TDataSetState::dsInactive;
    bool modified_ = false;
    bool eof_ = true;
    int order_ = 0;
    int controlsDisabled_ = 0;
    std::string record_;                       // current record, flag byte first
    std::string readBuffer_;                   // spare buffer the next read fills
    bool keptAsWritten_ = false;               // only "C" and "M" fields, nothing past them
    std::map<int, std::string> pendingMemos_;  // field index -> stored bytes
    std::vector<TApolloField> fields_;  // reserved whole on open: addresses stay
    // The fields of the last open, kept after Close: when the table is opened
    // again with the same structure (a journal opened for every record), they
    // serve again instead of being built anew.
    std::vector<TApolloField> closedFields_;
    bool reuseClosedFields(const sx_FieldDesc* info, int count);
    // Field names in upper case with their index, sorted, for FindField: made
    // once a table has been asked for several fields by name (the stock
    // master is asked for some twenty on every new item).
    std::vector<std::pair<std::string, int>> nameIndex_;
    int lookupsWithoutIndex_ = 0;
    unsigned long fieldsStamp_ = 0;
    TApolloField* findIndexed(std::string_view name);

    bool defining_ = false;  // between CreateNew and CreateExec

    ProgressCallback progress_;
    // The table whose callback the engine's progress hook points at, if any.
    static TApolloTable* gaugeOwner_;
    std::exception_ptr progressFailure_;
};

// Work-area alias for a table file: file-name part without extension, upper
// case, cut to 8 characters, every character outside A-Z replaced by "_";
// while `taken` says the alias is in use, it is cut to 8 - digits(n)
// characters and n appended, n = 1, 2, ..., each try starting from the last.
std::string MakeTableAlias(const std::string& tableName,
                           const std::function<bool(const std::string&)>& taken);

// Find a record by key: makes `order` current and seeks the full-width key
// (as GetString gives it); true when a record with that key is current.
bool FindRecordByKey(TApolloTable& table, int order, const std::string& fullWidthKey);

// Rebuild an index: opens the table, hands the progress callback to the
// engine, builds `indexFile` on `expression`, clears the callback and closes
// the table again, also when the build fails.
void RebuildIndex(TApolloTable& table, const std::string& indexFile, const std::string& expression,
                  const TApolloTable::ProgressCallback& progress);

}  // namespace zer1

#endif  // ZER1_STORAGE_APOLLO_TABLE_H
