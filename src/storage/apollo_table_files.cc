// Operations on whole table files and on indexes: creating, copying, emptying
// and filling tables, expressions, index orders, seeks and index builds.
#include "common/file_names.h"
#include "common/text_encoding.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"
#include "storage/table_helpers.h"

namespace zer1 {

using table_detail::fetchText;
using table_detail::nullIfEmpty;

TApolloTable* TApolloTable::gaugeOwner_ = nullptr;

// ---- Creating and copying ----------------------------------------------------------

bool TApolloTable::CreateNew(const std::string& fileName, int tableType, int fieldCount) {
    const EngineApi& api = engine();
    std::string alias = MakeTableAlias(
        fileName, [&](const std::string& a) { return api.WorkArea(a.c_str()) != 0; });
    defining_ =
        api.CreateNew(ResolveFileName(fileName).c_str(), alias.c_str(), tableType, fieldCount) != 0;
    return defining_;
}

void TApolloTable::CreateField(const std::string& name, const std::string& type, int width,
                               int decimals) {
    if (!defining_) throw EApolloError(apollo_text::kFieldBeforeCreateNew);
    char first = name.empty() ? '\0' : name[0];
    bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (!letter) throw EApolloError(apollo_text::kInvalidFieldName);
    if (type.empty() || type.find_first_not_of(" ") == std::string::npos) {
        throw EApolloError(apollo_text::kInvalidFieldType);
    }
    char letterType = type[0];
    if (letterType >= 'a' && letterType <= 'z') letterType = static_cast<char>(letterType - 32);
    if (type.size() != 1 || std::string_view("CNDLM").find(letterType) == std::string_view::npos) {
        throw EApolloError(apollo_text::kInvalidFieldType);
    }
    if (width <= 0) throw EApolloError(apollo_text::kInvalidFieldLength);
    const EngineApi& api = engine();
    std::string upperType(1, letterType);
    if (!api.CreateField(name.c_str(), upperType.c_str(), width, decimals)) {
        throw EApolloError("Unable to define field " + name + ": " + engineErrorText());
    }
}

bool TApolloTable::CreateExec() {
    if (!defining_) throw EApolloError(apollo_text::kExecBeforeCreateNew);
    defining_ = false;
    const EngineApi& api = engine();
    if (!api.CreateExec()) return false;
    // The engine leaves the new table open and current; this object does not keep it.
    api.Close();
    if (Active()) api.Select(workArea_);
    return true;
}

// Opens the table for a copy when it is closed; false when that fails (the
// copies report failure through their result).
bool TApolloTable::openForCopy() {
    if (Active()) return true;
    try {
        Open();
    } catch (const EApolloError&) {
        return false;
    }
    return true;
}

bool TApolloTable::CopyStructure(const std::string& targetFile) {
    bool wasOpen = Active();
    if (!openForCopy()) return false;
    checkBrowseMode();
    std::string alias = MakeTableAlias(targetFile, [](const std::string&) { return false; });
    bool ok = selected().CopyStructure(ResolveFileName(targetFile).c_str(), alias.c_str()) != 0;
    if (!wasOpen) Close();
    return ok;
}

bool TApolloTable::CopyTable(const std::string& targetFile) {
    bool wasOpen = Active();
    if (!openForCopy()) return false;
    checkBrowseMode();
    bool ok = selected().CopyFile(ResolveFileName(targetFile).c_str()) != 0;
    if (!wasOpen) Close();
    return ok;
}

void TApolloTable::Zap() {
    requireWritable();
    if (!exclusive_) throw EApolloError(apollo_text::kNeedsExclusive);
    Cancel();
    const EngineApi& api = selected();
    if (!api.Zap())
        throw EApolloError("Unable to empty " + FullFileName() + ": " + engineErrorText());
    api.GoTop();
    readCurrentRecord(api);
}

bool TApolloTable::AppendFrom(const std::string& sourceFile, int fileType,
                              const std::string& scope) {
    requireWritable();
    checkBrowseMode();
    const EngineApi& api = selected();
    std::string scope1252 = Utf8ToWindows1252(scope);
    bool ok =
        api.AppendFrom(ResolveFileName(sourceFile).c_str(), fileType, nullIfEmpty(scope1252)) != 0;
    if (ok) ok = api.Commit() != 0;
    readCurrentRecord(api);
    return ok;
}

// ---- Expressions and indexes --------------------------------------------------------

std::string TApolloTable::EvalString(const std::string& expression) {
    requireActive();
    const EngineApi& api = selected();
    std::string expr = Utf8ToWindows1252(expression);
    auto text =
        fetchText([&](char* buf, int size) { return api.EvalString(expr.c_str(), buf, size); });
    if (!text) {
        throw EApolloError("Unable to evaluate expression [" + expression +
                           "]: " + engineErrorText());
    }
    return Windows1252ToUtf8(*text);
}

std::string TApolloTable::IndexKey(int order) {
    requireActive();
    const EngineApi& api = selected();
    auto text = fetchText([&](char* buf, int size) { return api.IndexKey(order, buf, size); });
    if (!text) throw EApolloError("Unable to read the key of order " + std::to_string(order));
    return Windows1252ToUtf8(*text);
}

int TApolloTable::IndexOpen(const std::string& indexFile) {
    requireActive();
    checkBrowseMode();
    std::string onDisk = ResolveFileName(indexFile);
    if (!FileExists(onDisk)) {
        throw EApolloError(missingFileText(apollo_text::kIndexMissing, indexFile));
    }
    const EngineApi& api = selected();
    int order = api.IndexOpen(onDisk.c_str());
    if (order < 1) {
        throw EApolloError("Unable to open index: " + indexFile + ": " + engineErrorText());
    }
    api.SetOrder(order);
    order_ = order;
    readCurrentRecord(api);
    return order;
}

void TApolloTable::SetOrder(int order) {
    requireActive();
    checkBrowseMode();
    const EngineApi& api = selected();
    bool atEnd = api.Eof() != 0;
    long record = api.RecNo();
    api.SetOrder(order);
    order_ = order;
    if (!atEnd) api.Go(record);
    readCurrentRecord(api);
}

int TApolloTable::Index(const std::string& indexFile, const std::string& expression,
                        const std::string& condition, int option1, int option2) {
    requireActive();
    if (indexFile.empty()) throw EApolloError(apollo_text::kIndexNoFile);
    if (expression.empty()) throw EApolloError(apollo_text::kIndexNoExpression);
    checkBrowseMode();
    const EngineApi& api = selected();
    std::string expr = Utf8ToWindows1252(expression);
    if (api.EvalTest(expr.c_str()) < 0) {
        throw EApolloError("Invalid index expression [" + expression + "]");
    }
    std::string cond = Utf8ToWindows1252(condition);
    progressFailure_ = nullptr;
    int order = api.Index(ResolveFileName(indexFile).c_str(), expr.c_str(), nullIfEmpty(cond),
                          option1, option2);
    std::string why = order < 1 ? engineErrorText() : std::string();
    api.Select(workArea_);
    if (order >= 1) order_ = order;
    readCurrentRecord(api);
    rethrowProgressFailure();
    if (order < 1) throw EApolloError("Unable to create index " + indexFile + ": " + why);
    return order;
}

bool TApolloTable::Seek(const std::string& key) {
    requireActive();
    if (order_ < 1) throw EApolloError(apollo_text::kNeedsOrder);
    checkBrowseMode();
    const EngineApi& api = selected();
    bool found = api.Seek(Utf8ToWindows1252(key).c_str()) == 1;
    if (!found && !api.Eof()) {
        // Not found leaves the table at its end.
        api.GoBottom();
        if (!api.Eof()) api.Skip(1);
    }
    readCurrentRecord(api);
    return found;
}

bool TApolloTable::Found() {
    requireActive();
    return selected().Found() != 0;
}

void TApolloTable::progressTrampoline(void* context, int percent) {
    auto* table = static_cast<TApolloTable*>(context);
    if (!table->progress_ || table->progressFailure_) return;
    // Nothing may be thrown through the engine: keep the failure for later.
    try {
        table->progress_(percent);
    } catch (...) {
        table->progressFailure_ = std::current_exception();
    }
}

void TApolloTable::rethrowProgressFailure() {
    if (progressFailure_) {
        std::exception_ptr failure = progressFailure_;
        progressFailure_ = nullptr;
        std::rethrow_exception(failure);
    }
}

void TApolloTable::SetProgressWindow(ProgressCallback progress) {
    const EngineApi& api = engine();
    progress_ = std::move(progress);
    if (progress_) {
        api.SetGaugeHook(&TApolloTable::progressTrampoline, this);
        gaugeOwner_ = this;
    } else if (gaugeOwner_ == this || gaugeOwner_ == nullptr) {
        // Another table's hook stays in place.
        api.SetGaugeHook(nullptr, nullptr);
        gaugeOwner_ = nullptr;
    }
}

// ---- Algorithms ----------------------------------------------------------------------

bool FindRecordByKey(TApolloTable& table, int order, const std::string& fullWidthKey) {
    table.SetOrder(order);
    return table.Seek(fullWidthKey);
}

void RebuildIndex(TApolloTable& table, const std::string& indexFile, const std::string& expression,
                  const TApolloTable::ProgressCallback& progress) {
    table.Open();
    try {
        table.SetProgressWindow(progress);
        table.Index(indexFile, expression);
    } catch (...) {
        table.SetProgressWindow({});
        table.Close();
        throw;
    }
    table.SetProgressWindow({});
    table.Close();
}

}  // namespace zer1
