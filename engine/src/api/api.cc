// The sx_ functions of sde61.h over work areas and tables: tables, records,
// fields, creation and copies.  Every body runs inside Guarded so that no C++
// exception leaves the library; every failure leaves its text for sx_ErrorText.
#include "sde61.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>

#include "api/workarea.h"
#include "dbf/create.h"
#include "dbf/table.h"

using sde::Fail;
using sde::Guarded;
using sde::Status;
using sde::Table;
using sde::Text;
using sde::WithTable;
using sde::WorkAreas;

namespace {

int g_error_level = 1;
std::optional<sde::TableDefinition> g_definition;
std::string g_create_password;

// A record number argument as a table takes it: 0 (no record) for one below
// zero or beyond what a table can number.
uint32_t RecordNumberArgument(long recordNumber) {
    return recordNumber < 0 || recordNumber > long(UINT32_MAX) ? 0 : uint32_t(recordNumber);
}

// Default alias of a table file: its name without extension, upper case, at most 8 characters.
std::string AliasFromFile(const std::string& file) {
    std::string base = sde::BaseName(file);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    std::string alias;
    for (char c : base) {
        if (alias.size() == 8) break;
        alias += std::isalnum(static_cast<unsigned char>(c))
                     ? char(std::toupper(static_cast<unsigned char>(c)))
                     : '_';
    }
    return alias.empty() ? std::string("AREA") : alias;
}

// An alias not in use yet, starting from `wanted`.
std::string FreeAlias(const std::string& wanted) {
    if (WorkAreas::Instance().Find(wanted) == 0) return wanted;
    for (int n = 1;; ++n) {
        std::string candidate = wanted + std::to_string(n);
        if (WorkAreas::Instance().Find(candidate) == 0) return candidate;
    }
}

// Runs an operation that returns a Status: 1 on success, 0 with the error text otherwise.
template <typename Fn>
int StatusCall(Fn&& fn) {
    return WithTable<int>(0, [&](Table* table) -> int {
        Status s = fn(table);
        return s.ok() ? 1 : Fail(s, 0);
    });
}

const sde::FieldDesc* FieldAt(Table* table, int position) {
    if (position < 1 || size_t(position) > table->fields().size()) {
        sde::SetLastError("there is no field " + std::to_string(position) + " in " + table->path());
        return nullptr;
    }
    return &table->fields()[size_t(position - 1)];
}

int FieldByName(Table* table, const char* name) {
    int index = table->FieldIndex(Text(name));
    if (index < 0) sde::SetLastError("there is no field " + Text(name) + " in " + table->path());
    return index;
}

}  // namespace

extern "C" {

// ---- errors ---------------------------------------------------------------

void sx_ErrorLevel(int level) {
    g_error_level = level;
}

const char* sx_ErrorText(void) {
    return sde::LastError().c_str();
}

int sx_ErrorCode(void) {
    return sde::LastErrorCode();
}

// ---- work areas ------------------------------------------------------------

int sx_WorkArea(const char* alias) {
    return Guarded<int>(0, [&] { return WorkAreas::Instance().Find(Text(alias)); });
}

int sx_UseEx(const char* file, const char* alias, int openMode, int tableType, int commitLevel) {
    return Guarded<int>(0, [&]() -> int {
        sde::ClearLastError();
        if (file == nullptr || *file == '\0')
            return Fail(Status::InvalidArgument("no table file given"), 0);
        if (tableType != SX_SDENTX) {
            return Fail(Status::NotSupported("table type " + std::to_string(tableType) +
                                             " is not supported"),
                        0);
        }
        sde::OpenMode mode;
        switch (openMode) {
            case SX_SHARED:
                mode = sde::OpenMode::kShared;
                break;
            case SX_READONLY:
                mode = sde::OpenMode::kReadOnly;
                break;
            case SX_EXCLUSIVE:
                mode = sde::OpenMode::kExclusive;
                break;
            default:
                return Fail(
                    Status::InvalidArgument("unknown open mode " + std::to_string(openMode)), 0);
        }
        std::string name = alias && *alias ? std::string(alias) : AliasFromFile(file);
        if (WorkAreas::Instance().Find(name) != 0) {
            return Fail(Status::InvalidArgument("alias " + name + " is already in use"), 0);
        }
        auto table = Table::Open(file, mode, commitLevel == SX_COMMIT_FULL);
        if (!table.ok()) return Fail(table.status(), 0);
        return WorkAreas::Instance().Add(std::move(table.value()), name);
    });
}

int sx_Select(int workArea) {
    return Guarded<int>(0, [&] { return WorkAreas::Instance().Select(workArea); });
}

int sx_Close(void) {
    return Guarded<int>(0, [&]() -> int {
        sde::ClearLastError();
        int current = WorkAreas::Instance().current();
        if (WorkAreas::Instance().Get(current) == nullptr) {
            return Fail(Status::InvalidArgument("no table is selected"), 0);
        }
        Status s = WorkAreas::Instance().Remove(current);
        return s.ok() ? 1 : Fail(s, 0);
    });
}

const char* sx_Alias(void) {
    return Guarded<const char*>(
        "", [&] { return WorkAreas::Instance().Alias(WorkAreas::Instance().current()).c_str(); });
}

int sx_SetTranslate(int on) {
    return WithTable<int>(0, [&](Table* table) { return table->SetTranslate(on != 0) ? 1 : 0; });
}

int sx_SetPassword(const char* password) {
    return WithTable<int>(0, [&](Table* table) -> int {
        Status s = table->SetPassword(Text(password));
        return s.ok() ? 1 : Fail(s, 0);
    });
}

// ---- structure -------------------------------------------------------------

int sx_FieldCount(void) {
    return WithTable<int>(0, [&](Table* table) { return int(table->fields().size()); });
}

int sx_FieldName(int position, char* buf, int size) {
    return WithTable<int>(-1, [&](Table* table) -> int {
        const sde::FieldDesc* f = FieldAt(table, position);
        return f ? sde::CopyOut(f->name, buf, size) : -1;
    });
}

char sx_FieldType(int position) {
    return WithTable<char>(0, [&](Table* table) -> char {
        const sde::FieldDesc* f = FieldAt(table, position);
        return f ? f->type : 0;
    });
}

int sx_FieldWidth(int position) {
    return WithTable<int>(0, [&](Table* table) -> int {
        const sde::FieldDesc* f = FieldAt(table, position);
        return f ? int(f->width) : 0;
    });
}

int sx_FieldDecimals(int position) {
    return WithTable<int>(0, [&](Table* table) -> int {
        const sde::FieldDesc* f = FieldAt(table, position);
        return f ? int(f->decimals) : 0;
    });
}

int sx_FieldInfo(sx_FieldDesc* out, int size) {
    return WithTable<int>(-1, [&](Table* table) -> int {
        const auto& fields = table->fields();
        const size_t n = out == nullptr || size <= 0 ? 0 : std::min(fields.size(), size_t(size));
        for (size_t i = 0; i < n; ++i) {
            const sde::FieldDesc& f = fields[i];
            sx_FieldDesc& d = out[i];
            const size_t length = std::min(f.name.size(), sizeof d.name - 1);
            std::memcpy(d.name, f.name.data(), length);
            d.name[length] = '\0';
            d.type = f.type;
            d.width = int(f.width);
            d.decimals = int(f.decimals);
        }
        return int(fields.size());
    });
}

int sx_FieldPos(const char* name) {
    return WithTable<int>(0, [&](Table* table) { return table->FieldIndex(Text(name)) + 1; });
}

int sx_RecSize(void) {
    return WithTable<int>(0, [&](Table* table) { return int(table->record_length()); });
}

// ---- navigation ------------------------------------------------------------

int sx_GoTop(void) {
    return StatusCall([](Table* t) { return t->GoTop(); });
}
int sx_GoBottom(void) {
    return StatusCall([](Table* t) { return t->GoBottom(); });
}

int sx_Go(long recordNumber) {
    return StatusCall([&](Table* t) { return t->Go(RecordNumberArgument(recordNumber)); });
}

int sx_Skip(long count) {
    return StatusCall([&](Table* t) { return t->Skip(count); });
}

int sx_Eof(void) {
    return WithTable<int>(1, [](Table* t) { return t->eof() ? 1 : 0; });
}

int sx_Bof(void) {
    return WithTable<int>(1, [](Table* t) { return t->bof() ? 1 : 0; });
}

long sx_RecNo(void) {
    return WithTable<long>(0, [](Table* t) { return long(t->recno()); });
}

long sx_RecCount(void) {
    return WithTable<long>(0, [](Table* t) -> long {
        auto count = t->RecordCount();
        return count.ok() ? long(*count) : Fail(count.status(), 0L);
    });
}

// ---- reading ---------------------------------------------------------------

int sx_GetRecord(char* buf, int size) {
    return WithTable<int>(-1, [&](Table* t) -> int {
        if (buf == nullptr || size <= 0) return int(t->CopyRecordForCaller(nullptr, 0));
        size_t length = t->CopyRecordForCaller(buf, size_t(size));
        if (size_t(size) > length) buf[length] = '\0';
        return int(length);
    });
}

int sx_GetString(const char* field, char* buf, int size) {
    return WithTable<int>(-1, [&](Table* t) -> int {
        int index = FieldByName(t, field);
        if (index < 0) return -1;
        auto text = t->FieldText(index);
        return text.ok() ? sde::CopyOut(*text, buf, size) : Fail(text.status(), -1);
    });
}

int sx_Empty(const char* field) {
    return WithTable<int>(-1, [&](Table* t) -> int {
        int index = FieldByName(t, field);
        if (index < 0) return -1;
        auto empty = t->FieldEmpty(index);
        return empty.ok() ? (*empty ? 1 : 0) : Fail(empty.status(), -1);
    });
}

int sx_GetMemo(const char* field, char* buf, int size) {
    return WithTable<int>(-1, [&](Table* t) -> int {
        int index = FieldByName(t, field);
        if (index < 0) return -1;
        auto text = t->MemoText(index);
        return text.ok() ? sde::CopyOut(*text, buf, size) : Fail(text.status(), -1);
    });
}

int sx_Deleted(void) {
    return WithTable<int>(0, [](Table* t) { return t->deleted() ? 1 : 0; });
}

// ---- writing ---------------------------------------------------------------

int sx_AppendBlank(void) {
    return StatusCall([](Table* t) { return t->AppendBlank(); });
}

int sx_AppendRecord(const char* buf, int size) {
    return StatusCall([&](Table* t) {
        if (buf == nullptr || size < 0) return Status::InvalidArgument("no record given");
        return t->AppendRecord(reinterpret_cast<const uint8_t*>(buf), size_t(size));
    });
}

int sx_PutRecord(const char* buf, int size) {
    return StatusCall([&](Table* t) {
        if (buf == nullptr || size < 0) return Status::InvalidArgument("no record given");
        return t->PutRecord(reinterpret_cast<const uint8_t*>(buf), size_t(size));
    });
}

int sx_Replace(const char* field, const char* text) {
    return StatusCall([&](Table* t) {
        int index = t->FieldIndex(Text(field));
        if (index < 0)
            return Status::InvalidArgument("there is no field " + Text(field) + " in " + t->path());
        return t->Replace(index, Text(text));
    });
}

int sx_PutMemo(const char* field, const char* text, int length) {
    return StatusCall([&](Table* t) {
        int index = t->FieldIndex(Text(field));
        if (index < 0)
            return Status::InvalidArgument("there is no field " + Text(field) + " in " + t->path());
        if (length < 0 || (text == nullptr && length > 0))
            return Status::InvalidArgument("no memo text given");
        return t->PutMemo(index, std::string_view(text ? text : "", size_t(length)));
    });
}

int sx_Delete(void) {
    return StatusCall([](Table* t) { return t->SetDeleted(true); });
}
int sx_Recall(void) {
    return StatusCall([](Table* t) { return t->SetDeleted(false); });
}
int sx_Commit(void) {
    return StatusCall([](Table* t) { return t->Commit(); });
}

int sx_Discard(void) {
    return StatusCall([](Table* t) { return t->DiscardPending(); });
}

int sx_Unlock(long recordNumber) {
    return StatusCall([&](Table* t) { return t->Unlock(RecordNumberArgument(recordNumber)); });
}

int sx_Rlock(long recordNumber) {
    return StatusCall(
        [&](Table* t) { return t->LockForWrite(RecordNumberArgument(recordNumber)); });
}

int sx_Zap(void) {
    return StatusCall([](Table* t) { return t->Zap(); });
}

// ---- creating and copying ---------------------------------------------------

int sx_CreateNew(const char* file, const char* alias, int tableType, int fieldCount) {
    return Guarded<int>(0, [&]() -> int {
        sde::ClearLastError();
        g_definition.reset();
        if (file == nullptr || *file == '\0')
            return Fail(Status::InvalidArgument("no table file given"), 0);
        if (tableType != SX_SDENTX) {
            return Fail(Status::NotSupported("table type " + std::to_string(tableType) +
                                             " is not supported"),
                        0);
        }
        if (fieldCount < 1) {
            return Fail(Status::InvalidArgument("a table needs at least one field"), 0);
        }
        g_definition.emplace(file, alias && *alias ? std::string(alias) : AliasFromFile(file),
                             fieldCount);
        return 1;
    });
}

int sx_CreateField(const char* name, const char* type, int width, int decimals) {
    return Guarded<int>(0, [&]() -> int {
        sde::ClearLastError();
        if (!g_definition) {
            return Fail(Status::InvalidArgument("Must call CreateNew before CreateField"), 0);
        }
        Status s = g_definition->AddField(Text(name), Text(type), width, decimals);
        return s.ok() ? 1 : Fail(s, 0);
    });
}

int sx_CreatePassword(const char* password) {
    return Guarded<int>(0, [&]() -> int {
        sde::ClearLastError();
        g_create_password = Text(password);
        return 1;
    });
}

int sx_CreateExec(void) {
    return Guarded<int>(0, [&]() -> int {
        sde::ClearLastError();
        if (!g_definition) {
            return Fail(Status::InvalidArgument("Must call CreateNew before CreateExec"), 0);
        }
        sde::TableDefinition definition = std::move(*g_definition);
        g_definition.reset();
        std::string password = std::move(g_create_password);
        g_create_password.clear();
        Status s = definition.CheckComplete();
        if (!s.ok()) return Fail(s, 0);
        // With a password the header carries the encryption mark of a new key.
        uint8_t prefix[sde::kDbfPrefixSize] = {};
        std::optional<sde::TableEncryption> encryption;
        if (!password.empty()) {
            auto created = sde::TableEncryption::Create(password, prefix);
            if (!created.ok()) return Fail(created.status(), 0);
            encryption = *created;
        }
        s = sde::CreateTableFiles(sde::CurrentEnv(), definition.path(), definition.fields(),
                                  encryption ? prefix + sde::kEngineMarkOffset : nullptr);
        if (!s.ok()) return Fail(s, 0);
        auto table = Table::Open(sde::WithTableExtension(definition.path()),
                                 sde::OpenMode::kExclusive, false);
        if (!table.ok()) return Fail(table.status(), 0);
        if (encryption) {
            s = (*table)->SetEncryption(*encryption);
            if (!s.ok()) return Fail(s, 0);
        }
        WorkAreas::Instance().Add(std::move(table.value()), FreeAlias(definition.alias()));
        return 1;
    });
}

int sx_CopyStructure(const char* target, const char* alias) {
    (void)alias;  // the copy is written and left closed
    return StatusCall([&](Table* t) {
        if (target == nullptr || *target == '\0')
            return Status::InvalidArgument("no target file given");
        return t->CopyStructureTo(target);
    });
}

int sx_CopyFile(const char* target) {
    return StatusCall([&](Table* t) {
        if (target == nullptr || *target == '\0')
            return Status::InvalidArgument("no target file given");
        return t->CopyTo(target);
    });
}

int sx_AppendFrom(const char* source, int fileType, const char* scope) {
    return StatusCall([&](Table* t) {
        if (source == nullptr || *source == '\0')
            return Status::InvalidArgument("no source file given");
        if (fileType != SX_SDF_FILE) {
            return Status::NotSupported("source file type " + std::to_string(fileType) +
                                        " is not supported");
        }
        if (scope != nullptr && *scope != '\0') {
            return Status::NotSupported("a scope condition for appending is not supported");
        }
        return t->AppendSdf(source);
    });
}

}  // extern "C"
