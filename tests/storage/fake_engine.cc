#include "fake_engine.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace zer1::fake {

namespace {

Engine g_engine;

void log(const std::string& call) {
    g_engine.calls.push_back(call);
}

int copyOut(const std::string& value, char* buf, int size) {
    if (size > 0) {
        int n = std::min<int>(size - 1, static_cast<int>(value.size()));
        std::memcpy(buf, value.data(), n);
        buf[n] = '\0';
    }
    return static_cast<int>(value.size());
}

int recordSize(const Area& a) {
    int size = 1;
    for (const auto& f : a.fields) size += f.width;
    return size;
}

bool atEnd(const Area& a) {
    return a.recno > static_cast<long>(a.records.size());
}

int fieldOffset(const Area& a, const std::string& name, int* width) {
    int offset = 1;
    for (const auto& f : a.fields) {
        if (strcasecmp(f.name.c_str(), name.c_str()) == 0) {
            *width = f.width;
            return offset;
        }
        offset += f.width;
    }
    return -1;
}

std::string currentRecord(const Area& a) {
    if (atEnd(a)) return std::string(recordSize(a), ' ');
    return a.pending ? *a.pending : a.records[a.recno - 1];
}

void fail(int code, const std::string& text) {
    g_engine.errorCode = code;
    g_engine.error = text;
}

void succeed() {
    g_engine.errorCode = SX_ERR_NONE;
    g_engine.error.clear();
}

// Writes the pending change as the engine does at a commit or a move; a
// refused one is dropped (an exclusive append with it) and false returned.
// A commit is refused on request even with nothing pending (a failing sync).
bool flush(Area& a, bool commit = false) {
    bool appended = a.pendingAppend;
    if (!commit && !a.pending && a.pendingMemos.empty() && !appended) return true;
    a.pendingAppend = false;
    if (g_engine.refuseCommit != SX_ERR_NONE) {
        fail(g_engine.refuseCommit,
             "record " + std::to_string(a.recno) + " of " + a.file +
                 (g_engine.refuseCommit == SX_ERR_LOCKED ? " is locked by another user"
                                                         : " cannot be written"));
        a.pending.reset();
        a.pendingMemos.clear();
        if (appended) {
            a.records.pop_back();
            a.recno = static_cast<long>(a.records.size()) + 1;
        }
        return false;
    }
    if (a.pending) a.records[a.recno - 1] = *a.pending;
    for (const auto& [field, text] : a.pendingMemos) a.memos[{a.recno, field}] = text;
    a.pending.reset();
    a.pendingMemos.clear();
    return true;
}

EngineApi makeApi() {
    EngineApi api;
    api.ErrorLevel = [](int level) { log("ErrorLevel(" + std::to_string(level) + ")"); };
    api.ErrorText = []() { return g_engine.error.c_str(); };
    api.WorkArea = [](const char* alias) {
        for (auto& [n, a] : g_engine.areas) {
            if (strcasecmp(a.alias.c_str(), alias) == 0) return n;
        }
        return 0;
    };
    api.UseEx = [](const char* file, const char* alias, int mode, int type, int commit) {
        log("UseEx(" + std::string(alias) + "," + std::to_string(mode) + "," +
            std::to_string(type) + "," + std::to_string(commit) + ")");
        if (g_engine.refuseOpen) {
            g_engine.error = "refused";
            return 0;
        }
        // Like the engine: a file that is not there does not open.
        if (!std::filesystem::is_regular_file(file)) {
            fail(SX_ERR_NOT_FOUND, std::string("file does not exist: ") + file);
            return 0;
        }
        Area a;
        a.file = file;
        a.alias = alias;
        a.mode = mode;
        a.commit = commit;
        a.fields = g_engine.nextFields;
        a.records = g_engine.nextRecords;
        int n = g_engine.nextArea++;
        g_engine.areas[n] = a;
        g_engine.current = n;
        return n;
    };
    api.Select = [](int area) {
        log("Select(" + std::to_string(area) + ")");
        int previous = g_engine.current;
        g_engine.current = area;
        return previous;
    };
    api.Close = []() {
        log("Close");
        flush(g_engine.cur());
        g_engine.areas.erase(g_engine.current);
        return 1;
    };
    api.Alias = []() { return g_engine.cur().alias.c_str(); };
    api.SetTranslate = [](int on) {
        log("SetTranslate(" + std::to_string(on) + ")");
        bool old = g_engine.cur().translate;
        g_engine.cur().translate = on != 0;
        return old ? 1 : 0;
    };
    api.SetPassword = [](const char* password) {
        log("SetPassword(" + std::string(password) + ")");
        g_engine.cur().password = password;
        return 1;
    };
    api.FieldCount = []() { return static_cast<int>(g_engine.cur().fields.size()); };
    api.FieldName = [](int pos, char* buf, int size) {
        return copyOut(g_engine.cur().fields.at(pos - 1).name, buf, size);
    };
    api.FieldType = [](int pos) { return g_engine.cur().fields.at(pos - 1).type; };
    api.FieldWidth = [](int pos) { return g_engine.cur().fields.at(pos - 1).width; };
    api.FieldDecimals = [](int pos) { return g_engine.cur().fields.at(pos - 1).decimals; };
    api.FieldInfo = [](sx_FieldDesc* out, int size) {
        const auto& fields = g_engine.cur().fields;
        for (int i = 0; i < size && i < static_cast<int>(fields.size()); ++i) {
            const auto& f = fields[static_cast<std::size_t>(i)];
            std::snprintf(out[i].name, sizeof out[i].name, "%s", f.name.c_str());
            out[i].type = f.type;
            out[i].width = f.width;
            out[i].decimals = f.decimals;
        }
        return static_cast<int>(fields.size());
    };
    api.FieldPos = [](const char*) { return 0; };
    api.RecSize = []() { return recordSize(g_engine.cur()); };
    api.GoTop = []() {
        log("GoTop");
        if (!flush(g_engine.cur())) return 0;
        g_engine.cur().recno = 1;
        return 1;
    };
    api.GoBottom = []() {
        log("GoBottom");
        Area& a = g_engine.cur();
        if (!flush(a)) return 0;
        a.recno = a.records.empty() ? 1 : static_cast<long>(a.records.size());
        return 1;
    };
    api.Go = [](long n) {
        log("Go(" + std::to_string(n) + ")");
        if (!flush(g_engine.cur())) return 0;
        g_engine.cur().recno = n;
        return 1;
    };
    api.Skip = [](long n) {
        log("Skip(" + std::to_string(n) + ")");
        Area& a = g_engine.cur();
        if (!flush(a)) return 0;
        a.recno = std::min<long>(a.recno + n, static_cast<long>(a.records.size()) + 1);
        return 1;
    };
    api.Eof = []() { return atEnd(g_engine.cur()) ? 1 : 0; };
    api.Bof = []() { return 0; };
    api.RecNo = []() { return g_engine.cur().recno; };
    api.RecCount = []() { return static_cast<long>(g_engine.cur().records.size()); };
    api.GetRecord = [](char* buf, int size) {
        std::string record = currentRecord(g_engine.cur());
        if (size < static_cast<int>(record.size())) return -1;
        std::memcpy(buf, record.data(), record.size());
        return static_cast<int>(record.size());
    };
    api.GetString = [](const char* field, char* buf, int size) {
        log("GetString(" + std::string(field) + ")");
        int width = 0;
        int offset = fieldOffset(g_engine.cur(), field, &width);
        if (offset < 0) return -1;
        return copyOut(currentRecord(g_engine.cur()).substr(offset, width), buf, size);
    };
    api.Empty = [](const char* field) {
        int width = 0;
        int offset = fieldOffset(g_engine.cur(), field, &width);
        if (offset < 0) return -1;
        std::string bytes = currentRecord(g_engine.cur()).substr(offset, width);
        return bytes.find_first_not_of(' ') == std::string::npos ? 1 : 0;
    };
    api.GetMemo = [](const char* field, char* buf, int size) {
        Area& a = g_engine.cur();
        if (auto p = a.pendingMemos.find(field); p != a.pendingMemos.end()) {
            return copyOut(p->second, buf, size);
        }
        auto it = a.memos.find({a.recno, field});
        return copyOut(it == a.memos.end() ? std::string() : it->second, buf, size);
    };
    api.Deleted = []() { return 0; };
    api.AppendRecord = [](const char* buf, int size) {
        log("AppendRecord");
        Area& a = g_engine.cur();
        if (!flush(a)) return 0;
        if (g_engine.failAppend || size != recordSize(a)) {
            fail(SX_ERR_INVALID, "append refused");
            return 0;
        }
        succeed();
        // Shared use writes the new record at once, exclusive use at the commit.
        a.records.push_back(std::string(buf, size));
        a.recno = static_cast<long>(a.records.size());
        a.pendingAppend = a.mode == SX_EXCLUSIVE;
        return 1;
    };
    api.PutRecord = [](const char* buf, int size) {
        log("PutRecord");
        Area& a = g_engine.cur();
        if (atEnd(a) || size != recordSize(a)) return 0;
        a.pending.emplace(buf, size);
        return 1;
    };
    api.Replace = [](const char*, const char*) { return 0; };
    api.PutMemo = [](const char* field, const char* text, int length) {
        log("PutMemo(" + std::string(field) + ")");
        Area& a = g_engine.cur();
        if (g_engine.failMemo) {
            fail(SX_ERR_IO, "memo " + std::string(field) + " cannot be written");
            return 0;
        }
        if (!a.pending) a.pending = currentRecord(a);
        a.pendingMemos[field] = std::string(text, length);
        return 1;
    };
    api.Delete = []() { return 0; };
    api.Recall = []() { return 0; };
    api.Commit = []() {
        log("Commit");
        succeed();
        return flush(g_engine.cur(), /*commit=*/true) ? 1 : 0;
    };
    api.Unlock = [](long n) {
        log("Unlock(" + std::to_string(n) + ")");
        return 1;
    };
    api.Discard = []() {
        log("Discard");
        Area& a = g_engine.cur();
        a.pending.reset();
        a.pendingMemos.clear();
        if (a.pendingAppend) {
            a.records.pop_back();
            a.recno = static_cast<long>(a.records.size()) + 1;
        }
        a.pendingAppend = false;
        return 1;
    };
    api.Rlock = [](long n) {
        log("Rlock(" + std::to_string(n) + ")");
        return 1;
    };
    api.ErrorCode = []() { return g_engine.errorCode; };
    api.Zap = []() {
        log("Zap");
        g_engine.cur().pending.reset();
        g_engine.cur().pendingMemos.clear();
        g_engine.cur().pendingAppend = false;
        g_engine.cur().records.clear();
        return 1;
    };
    api.CreateNew = [](const char* file, const char* alias, int type, int count) {
        log("CreateNew(" + std::string(alias) + "," + std::to_string(type) + "," +
            std::to_string(count) + ")");
        g_engine.createFile = file;
        g_engine.createFields.clear();
        return 1;
    };
    api.CreateField = [](const char* name, const char* type, int width, int decimals) {
        log("CreateField(" + std::string(name) + "," + type + "," + std::to_string(width) + "," +
            std::to_string(decimals) + ")");
        g_engine.createFields.push_back({name, type[0], width, decimals});
        return 1;
    };
    api.CreateExec = []() {
        log("CreateExec");
        ++g_engine.createdCount;
        Area a;
        a.file = g_engine.createFile;
        a.fields = g_engine.createFields;
        int n = g_engine.nextArea++;
        g_engine.areas[n] = a;
        g_engine.current = n;
        return 1;
    };
    api.CreatePassword = [](const char*) { return 1; };
    api.CopyStructure = [](const char*, const char* alias) {
        log("CopyStructure(" + std::string(alias) + ")");
        return 1;
    };
    api.CopyFile = [](const char*) {
        log("CopyFile");
        return 1;
    };
    api.AppendFrom = [](const char*, int type, const char* scope) {
        log("AppendFrom(" + std::to_string(type) + "," + (scope ? "scope" : "null") + ")");
        return 1;
    };
    api.EvalString = [](const char* expression, char* buf, int size) {
        log("EvalString(" + std::string(expression) + ")");
        return copyOut(std::string("<") + expression + ">", buf, size);
    };
    api.EvalTest = [](const char* expression) {
        log("EvalTest(" + std::string(expression) + ")");
        return g_engine.evalTest;
    };
    api.EvalType = [](const char*) { return 'C'; };
    api.IndexOpen = [](const char*) {
        log("IndexOpen");
        return ++g_engine.cur().order;
    };
    api.SetOrder = [](int order) {
        log("SetOrder(" + std::to_string(order) + ")");
        return 0;
    };
    api.Index = [](const char*, const char* expression, const char* condition, int, int) {
        log("Index(" + std::string(expression) + "," + (condition ? condition : "null") + ")");
        for (int percent : {0, 50, 100}) {
            if (g_engine.gauge) g_engine.gauge(g_engine.gaugeContext, percent);
            ++g_engine.gaugeCallsReturned;
        }
        return ++g_engine.cur().order;
    };
    api.IndexClose = []() { return 1; };
    api.IndexKey = [](int, char* buf, int size) { return copyOut("", buf, size); };
    api.Seek = [](const char* key) {
        log("Seek(" + std::string(key) + ")");
        Area& a = g_engine.cur();
        if (!flush(a)) return 0;
        auto it = a.keys.find(key);
        a.found = it != a.keys.end();
        if (a.found) {
            a.recno = it->second;
        } else if (!g_engine.seekMissLeavesPosition) {
            a.recno = static_cast<long>(a.records.size()) + 1;
        }
        return a.found ? 1 : 0;
    };
    api.Found = []() { return g_engine.cur().found ? 1 : 0; };
    api.SetGaugeHook = [](sx_ProgressFn fn, void* context) {
        log(fn ? "SetGaugeHook(set)" : "SetGaugeHook(none)");
        g_engine.gauge = fn;
        g_engine.gaugeContext = context;
    };
    return api;
}

const EngineApi g_api = makeApi();
size_t g_mark = 0;

}  // namespace

std::vector<std::string> Engine::takeCalls() {
    std::vector<std::string> result(calls.begin() + g_mark, calls.end());
    g_mark = calls.size();
    return result;
}

Engine& state() {
    return g_engine;
}

void reset() {
    g_engine = Engine{};
    g_mark = 0;
}

const EngineApi& api() {
    return g_api;
}

}  // namespace zer1::fake
