#include "storage/apollo_table.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

#include "common/file_names.h"
#include "common/text_encoding.h"
#include "common/ui_services.h"
#include "storage/engine_loader.h"
#include "storage/table_helpers.h"

namespace zer1 {

using table_detail::fetchText;
using table_detail::fileNamePart;

namespace {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

std::string fieldNotFound(std::string_view name) {
    return "Field '" + std::string(name) + "' not found";
}

// Pause between two tries of a write whose record another program holds:
// longer than the message pump's interval, so that every pause pumps.
constexpr std::chrono::milliseconds kLockRetryPause{50};

}  // namespace

std::string MakeTableAlias(const std::string& tableName,
                           const std::function<bool(const std::string&)>& taken) {
    std::string base = fileNamePart(tableName);
    if (auto dot = base.rfind('.'); dot != std::string::npos) base.erase(dot);
    std::string alias;
    for (size_t pos = 0; pos < base.size() && alias.size() < 8;) {
        char32_t c = NextCodePoint(base, pos);
        if (c >= 'a' && c <= 'z') c = c - 'a' + 'A';
        alias += (c >= 'A' && c <= 'Z') ? static_cast<char>(c) : '_';
    }
    for (int n = 1; taken(alias); ++n) {
        std::string digits = std::to_string(n);
        alias = alias.substr(0, 8 - digits.size()) + digits;
    }
    return alias;
}

TApolloTable::TApolloTable() = default;

TApolloTable::~TApolloTable() {
    try {
        Close();
        if (gaugeOwner_ == this) SetProgressWindow({});
    } catch (...) {
        // A destructor must not throw; the engine keeps nothing of ours now.
    }
}

// ---- Properties ------------------------------------------------------------

void TApolloTable::SetDatabaseName(const std::string& directory) {
    requireClosed();
    databaseName_ = directory;
}

void TApolloTable::SetTableName(const std::string& name) {
    requireClosed();
    tableName_ = name;
}

void TApolloTable::SetTableType(TTableType type) {
    requireClosed();
    tableType_ = type;
}

void TApolloTable::SetExclusive(bool on) {
    requireClosed();
    exclusive_ = on;
}

void TApolloTable::SetReadOnly(bool on) {
    requireClosed();
    readOnly_ = on;
}

void TApolloTable::SetCommitLevel(TCommitLevel level) {
    requireClosed();
    commitLevel_ = level;
}

void TApolloTable::SetPassword(const std::string& password) {
    if (!Active()) {
        password_ = password;
        return;
    }
    checkBrowseMode();
    const EngineApi& api = selected();
    // A refused password leaves the table as it was: the object keeps the
    // password the table accepted before.
    if (api.SetPassword(Utf8ToWindows1252(password).c_str()) == 0) {
        throw EApolloError(apollo_text::kPasswordRefused + FullFileName());
    }
    password_ = password;
    rereadAtCurrentPosition(api);
}

void TApolloTable::SetOEMTranslate(bool on) {
    oemTranslate_ = on;
    if (!Active()) return;
    checkBrowseMode();
    const EngineApi& api = selected();
    api.SetTranslate(on ? 1 : 0);
    rereadAtCurrentPosition(api);
}

std::string TApolloTable::FullFileName() const {
    std::string name = fileNamePart(tableName_);
    if (name.find('.') == std::string::npos) name += ".DBF";
    return WithTrailingSeparator(databaseName_) + name;
}

// ---- Checks ----------------------------------------------------------------

const EngineApi& TApolloTable::selected() const {
    const EngineApi& api = engine();
    api.Select(workArea_);
    return api;
}

void TApolloTable::requireActive() const {
    if (!Active()) throw EApolloError(apollo_text::kClosedTable);
}

void TApolloTable::requireClosed() const {
    if (Active()) throw EApolloError(apollo_text::kOpenTable);
}

void TApolloTable::requireWritable() const {
    requireActive();
    if (readOnly_) throw EApolloError(apollo_text::kReadOnly);
}

void TApolloTable::requireEditing() const {
    requireActive();
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        throw EApolloError(apollo_text::kNotEditing);
    }
}

// Before moving or indexing: a modified pending record is written, an
// unmodified one dropped.
void TApolloTable::checkBrowseMode() {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        if (modified_) {
            Post();
        } else {
            Cancel();
        }
    }
}

std::string TApolloTable::engineErrorText() const {
    const char* text = engine().ErrorText();
    return text != nullptr ? Windows1252ToUtf8(text) : std::string();
}

std::string TApolloTable::tableFileName() const {
    return fileNamePart(FullFileName());
}

// Tries `attempt` again while it fails because another program holds a lock,
// for up to kRecordLockWait; the window messages are processed meanwhile.
// True once it succeeds; false with the engine's last failure otherwise.
template <typename Attempt>
bool TApolloTable::retryWhileLocked(const EngineApi& api, Attempt attempt) {
    const auto deadline = std::chrono::steady_clock::now() + kRecordLockWait;
    while (!attempt()) {
        if (api.ErrorCode() != SX_ERR_LOCKED || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLockRetryPause);
        ProcessPendingMessages();
        api.Select(workArea_);  // whatever ran meanwhile may have selected another table
    }
    return true;
}

// A write the engine refused: what of it the engine still holds is dropped,
// the record is read again to show what the file holds, and the failure is
// raised in the words of the engine's reason.  `record` 0: an insert that was
// not appended, which stays pending.
void TApolloTable::failWrite(const EngineApi& api, long record) {
    const bool locked = api.ErrorCode() == SX_ERR_LOCKED;
    const std::string why = engineErrorText();
    api.Discard();
    api.Unlock(0);
    if (record == 0) {
        throw EApolloError(locked ? newRecordLockedText(tableFileName())
                                  : newRecordNotWrittenText(tableFileName(), why));
    }
    state_ = TDataSetState::dsBrowse;
    rereadAtCurrentPosition(api);
    throw EApolloError(locked ? recordLockedText(record, tableFileName())
                              : recordNotWrittenText(record, tableFileName(), why));
}

// A move the engine could not make: it stands at the end of the table now.
void TApolloTable::failMove(const EngineApi& api) {
    const std::string why = engineErrorText();
    readCurrentRecord(api);
    throw EApolloError(tableNotReadText(tableFileName(), why));
}

// ---- Open and close ---------------------------------------------------------

void TApolloTable::Open() {
    if (Active()) return;
    const EngineApi& api = engine();
    if (tableType_ != ttSXNTX) throw EApolloError(apollo_text::kTableTypeNotSupported);
    const std::string full = FullFileName();
    std::string alias = MakeTableAlias(
        tableName_, [&](const std::string& a) { return api.WorkArea(a.c_str()) != 0; });
    int mode = exclusive_ ? SX_EXCLUSIVE : (readOnly_ ? SX_READONLY : SX_SHARED);
    int commit = commitLevel_ == clFull ? SX_COMMIT_FULL : SX_COMMIT_NORMAL;
    auto use = [&](const std::string& file) {
        api.ErrorLevel(0);
        int opened = api.UseEx(file.c_str(), alias.c_str(), mode, kTableTypeNtx, commit);
        api.ErrorLevel(1);
        return opened;
    };
    // The engine is handed the name as it stands (it matches the last part
    // without regard to case, as we do); only when that fails is the file
    // system asked, for the spelling of the whole path on disk or for why.
    int area = use(full);
    if (area < 1) {
        const std::optional<std::string> onDisk = ResolveExistingFile(full);
        if (!onDisk) throw EApolloError(missingFileText(apollo_text::kTableMissing, full));
        if (*onDisk != full) area = use(*onDisk);
    }
    if (area < 1) throw EApolloError(apollo_text::kUnableToOpen + full);

    workArea_ = area;
    alias_ = alias;
    order_ = 0;
    try {
        api.Select(workArea_);
        api.SetTranslate(oemTranslate_ ? 1 : 0);
        if (!password_.empty() && api.SetPassword(Utf8ToWindows1252(password_).c_str()) == 0) {
            throw EApolloError(apollo_text::kPasswordRefused + full);
        }
        loadFields(api);
        // The engine opens the table on its first record.
        state_ = TDataSetState::dsBrowse;
        readCurrentRecord(api);
    } catch (...) {
        Close();
        throw;
    }
}

void TApolloTable::Close() {
    if (!Active()) return;
    // A pending insert or edit that was not written is dropped.
    const EngineApi& api = selected();
    api.Close();
    workArea_ = 0;
    alias_.clear();
    state_ = TDataSetState::dsInactive;
    modified_ = false;
    eof_ = true;
    order_ = 0;
    record_.clear();
    pendingMemos_.clear();
    closedFields_.swap(fields_);
    fields_.clear();
    lookupsWithoutIndex_ = 0;
}

bool TApolloTable::reuseClosedFields(const sx_FieldDesc* info, int count) {
    if (closedFields_.size() != static_cast<std::size_t>(count)) return false;
    for (int i = 0; i < count; ++i) {
        const sx_FieldDesc& desc = info[i];
        const TApolloField& field = closedFields_[static_cast<std::size_t>(i)];
        const std::string& name = field.FieldName();
        if (desc.type != field.TypeLetter() || desc.width != field.Size() ||
            desc.decimals != field.Decimals() || name.size() >= sizeof desc.name ||
            std::memcmp(desc.name, name.c_str(), name.size() + 1) != 0) {
            return false;
        }
    }
    fields_.swap(closedFields_);
    closedFields_.clear();
    return true;
}

void TApolloTable::loadFields(const EngineApi& api) {
    fields_.clear();
    // The whole structure comes in one call: tables of the host have close
    // to a hundred fields, and some are opened for every record written.
    // A buffer on the stack serves every usual table; a wider one gets its own.
    constexpr int kUsualFieldCount = 128;
    sx_FieldDesc usual[kUsualFieldCount];
    std::vector<sx_FieldDesc> wide;
    const sx_FieldDesc* info = usual;
    int count = api.FieldInfo(usual, kUsualFieldCount);
    if (count > kUsualFieldCount) {
        wide.resize(static_cast<std::size_t>(count));
        if (api.FieldInfo(wide.data(), count) != count) count = -1;
        info = wide.data();
    }
    if (count < 0) throw EApolloError("Unable to read the structure of table: " + FullFileName());
    int offset = 1;
    if (reuseClosedFields(info, count)) {
        // The same names at the same places: the name index still holds.
        for (const auto& field : fields_) offset += field.Size();
    } else {
        nameIndex_.clear();
        lookupsWithoutIndex_ = 0;
        static unsigned long lastStamp = 0;
        fieldsStamp_ = ++lastStamp;
        fields_.reserve(static_cast<std::size_t>(count));
    }
    for (int i = static_cast<int>(fields_.size()); i < count; ++i) {
        const sx_FieldDesc& desc = info[i];
        const std::size_t nameLength = ::strnlen(desc.name, sizeof desc.name);
        if (nameLength == 0 || nameLength == sizeof desc.name || desc.type == 0 ||
            desc.width <= 0) {
            throw EApolloError("Unable to read the structure of table: " + FullFileName());
        }
        fields_.emplace_back(*this, i, std::string(desc.name, nameLength), desc.type, desc.width,
                             desc.decimals, offset);
        offset += desc.width;
    }
    int recordSize = api.RecSize();
    record_.assign(recordSize > offset ? recordSize : offset, ' ');
    // The engine keeps text fields byte for byte and memo pointers as it has
    // them (ours are copies of its own); other kinds it may reformat.
    keptAsWritten_ = recordSize == offset;
    for (const auto& field : fields_) {
        if (field.TypeLetter() != 'C' && field.TypeLetter() != 'M') keptAsWritten_ = false;
    }
}

void TApolloTable::readCurrentRecord(const EngineApi& api) {
    eof_ = api.Eof() != 0;
    // Read into a blanked spare buffer and swap, so that no record is
    // allocated per read and a failed read leaves a blank record.
    readBuffer_.assign(record_.size(), ' ');
    int size = api.GetRecord(readBuffer_.data(), static_cast<int>(readBuffer_.size()));
    if (size < 0) readBuffer_.assign(record_.size(), ' ');
    record_.swap(readBuffer_);
    pendingMemos_.clear();
    modified_ = false;
}

void TApolloTable::rereadAtCurrentPosition(const EngineApi& api) {
    if (!api.Eof()) api.Go(api.RecNo());
    readCurrentRecord(api);
}

// ---- Navigation --------------------------------------------------------------

void TApolloTable::Refresh() {
    requireActive();
    checkBrowseMode();
    rereadAtCurrentPosition(selected());
}

void TApolloTable::First() {
    requireActive();
    checkBrowseMode();
    const EngineApi& api = selected();
    if (!api.GoTop()) failMove(api);
    readCurrentRecord(api);
}

void TApolloTable::Next() {
    requireActive();
    checkBrowseMode();
    const EngineApi& api = selected();
    if (!api.Skip(1)) failMove(api);
    readCurrentRecord(api);
}

bool TApolloTable::Eof() const {
    requireActive();
    if (state_ == TDataSetState::dsInsert) return false;
    return selected().Eof() != 0;
}

long TApolloTable::RecNo() const {
    requireActive();
    return selected().RecNo();
}

long TApolloTable::RecordCount() const {
    if (!Active()) return 0;
    return selected().RecCount();
}

// ---- Changing records ----------------------------------------------------------

void TApolloTable::startInsert() {
    record_.assign(record_.size(), ' ');
    for (auto& field : fields_) {
        if (field.Kind() == TFieldKind::Integer) {
            record_.replace(field.offset_, field.Size(), std::string(field.Size(), '\0'));
        }
    }
    pendingMemos_.clear();
    state_ = TDataSetState::dsInsert;
    try {
        if (onNewRecord_) onNewRecord_(*this);
    } catch (...) {
        state_ = TDataSetState::dsBrowse;
        readCurrentRecord(selected());
        throw;
    }
    // Defaults of the new-record handler do not count as changes.
    modified_ = false;
}

void TApolloTable::Append() {
    requireWritable();
    checkBrowseMode();
    startInsert();
}

void TApolloTable::Edit() {
    requireWritable();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
    const EngineApi& api = selected();
    if (api.Eof()) {
        if (api.RecCount() == 0) {
            startInsert();
            return;
        }
        throw EApolloError(apollo_text::kNoCurrentRecord);
    }
    // The record buffer holds what the last move read; the change starts
    // from it without reading the record again.
    state_ = TDataSetState::dsEdit;
    modified_ = false;
}

void TApolloTable::Post() {
    requireActive();
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
    requireWritable();
    const EngineApi& api = selected();
    long record = 0;
    if (state_ == TDataSetState::dsInsert) {
        // The new record goes to the file with its data in one step.
        if (!retryWhileLocked(api, [&] {
                return api.AppendRecord(record_.data(), static_cast<int>(record_.size())) != 0;
            })) {
            failWrite(api, 0);
        }
        record = api.RecNo();
    } else {
        record = api.RecNo();
        // In shared use the record's lock is waited for before anything changes.
        if (!exclusive_ && !retryWhileLocked(api, [&] { return api.Rlock(record) != 0; })) {
            failWrite(api, record);
        }
        if (!api.PutRecord(record_.data(), static_cast<int>(record_.size()))) {
            failWrite(api, record);
        }
    }
    for (const auto& [index, bytes] : pendingMemos_) {
        const std::string& name = fields_[index].FieldName();
        if (!api.PutMemo(name.c_str(), bytes.data(), static_cast<int>(bytes.size()))) {
            failWrite(api, record);
        }
    }
    if (!api.Commit()) failWrite(api, record);
    api.Unlock(0);
    state_ = TDataSetState::dsBrowse;
    if (exclusive_ && keptAsWritten_ && !oemTranslate_ && password_.empty() &&
        pendingMemos_.empty()) {
        // The record holds what was written, the flag byte as the engine
        // stores it; no need to read it back.  (In shared use the commit
        // keeps what others changed in other fields: it is read back.)
        record_[0] = record_[0] == '*' ? '*' : ' ';
        eof_ = false;
        modified_ = false;
        return;
    }
    readCurrentRecord(api);
}

void TApolloTable::Cancel() {
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
    state_ = TDataSetState::dsBrowse;
    readCurrentRecord(selected());
}

// ---- Fields ---------------------------------------------------------------------

TApolloField& TApolloTable::Fields(int index) {
    requireActive();
    if (index < 0 || index >= FieldCount()) {
        throw EApolloError("Field index out of range: " + std::to_string(index));
    }
    return fields_[index];
}

TApolloField* TApolloTable::findIndexed(std::string_view name) {
    constexpr std::size_t kLongestName = 16;
    if (name.size() > kLongestName) return nullptr;
    if (nameIndex_.empty()) {
        nameIndex_.reserve(fields_.size());
        for (const auto& field : fields_) {
            std::string upper = field.FieldName();
            for (char& c : upper) {
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            }
            nameIndex_.emplace_back(std::move(upper), field.Index());
        }
        std::sort(nameIndex_.begin(), nameIndex_.end());
    }
    char upper[kLongestName];
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const std::string_view wanted(upper, name.size());
    // Of names equal but for case the first field wins, as in the plain search.
    auto at = std::lower_bound(nameIndex_.begin(), nameIndex_.end(), wanted,
                               [](const std::pair<std::string, int>& entry, std::string_view key) {
                                   return std::string_view(entry.first) < key;
                               });
    if (at == nameIndex_.end() || at->first != wanted) return nullptr;
    return &fields_[static_cast<std::size_t>(at->second)];
}

TApolloField* TApolloTable::FindField(std::string_view name) {
    constexpr int kLookupsBeforeIndex = 8;
    if (fields_.empty()) return nullptr;
    if (!nameIndex_.empty() || ++lookupsWithoutIndex_ > kLookupsBeforeIndex) {
        if (TApolloField* field = findIndexed(name)) return field;
        // Only names too long for the index are searched for one by one.
        if (name.size() <= 16) return nullptr;
    }
    for (auto& field : fields_) {
        if (equalsIgnoringAsciiCase(field.FieldName(), name)) return &field;
    }
    return nullptr;
}

TApolloField& TApolloTable::FieldByName(std::string_view name) {
    requireActive();
    TApolloField* field = FindField(name);
    if (field == nullptr) throw EApolloError(fieldNotFound(name));
    return *field;
}

std::string TApolloTable::GetString(std::string_view fieldName) {
    if (!Active()) return {};
    TApolloField& field = FieldByName(fieldName);
    if (state_ == TDataSetState::dsBrowse) {
        const EngineApi& api = selected();
        std::string name = field.FieldName();
        auto text =
            fetchText([&](char* buf, int size) { return api.GetString(name.c_str(), buf, size); });
        if (!text) throw EApolloError("Unable to read field " + name + ": " + engineErrorText());
        return Windows1252ToUtf8(*text);
    }
    // A pending record is not in the file yet: read it from the copy.
    if (field.Kind() == TFieldKind::Memo) return field.AsString();
    return Windows1252ToUtf8(record_.substr(field.offset_, field.Size()));
}

bool TApolloTable::FieldIsEmpty(std::string_view fieldName) {
    requireActive();
    TApolloField& field = FieldByName(fieldName);
    if (state_ != TDataSetState::dsBrowse) return field.IsNull();
    std::string name = field.FieldName();
    int result = selected().Empty(name.c_str());
    if (result < 0) throw EApolloError("Unable to read field " + name + ": " + engineErrorText());
    return result == 1;
}

std::string TApolloTable::memoText(const TApolloField& field) const {
    if (auto pending = pendingMemos_.find(field.Index()); pending != pendingMemos_.end()) {
        return pending->second;
    }
    if (!Active() || state_ == TDataSetState::dsInsert || eof_) return {};
    const EngineApi& api = selected();
    const std::string& name = field.FieldName();
    auto text =
        fetchText([&](char* buf, int size) { return api.GetMemo(name.c_str(), buf, size); });
    if (!text) throw EApolloError("Unable to read memo " + name + ": " + engineErrorText());
    return *text;
}

void TApolloTable::setPendingMemo(const TApolloField& field, std::string bytes) {
    requireEditing();
    pendingMemos_[field.Index()] = std::move(bytes);
    modified_ = true;
}

}  // namespace zer1
