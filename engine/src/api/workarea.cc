#include "api/workarea.h"

#include <algorithm>

#include "dbf/dbf_format.h"

namespace sde {

static_assert(int(Status::Code::kNotFound) == SX_ERR_NOT_FOUND &&
              int(Status::Code::kCorruption) == SX_ERR_CORRUPTION &&
              int(Status::Code::kIOError) == SX_ERR_IO &&
              int(Status::Code::kLocked) == SX_ERR_LOCKED &&
              int(Status::Code::kInvalidArgument) == SX_ERR_INVALID &&
              int(Status::Code::kNotSupported) == SX_ERR_NOT_SUPPORTED);

namespace {

// Process-wide state of the C API.  Made on first use and released by
// ReleaseEngineState() when the library is unloaded, not by static
// destructors, whose order against the file layer's state is not fixed.
std::string* g_error_text = nullptr;
int g_error_code = SX_ERR_NONE;
WorkAreas* g_work_areas = nullptr;

std::string& ErrorText() {
    if (g_error_text == nullptr) g_error_text = new std::string();
    return *g_error_text;
}

// Runs when the library is unloaded (dlclose or process exit): every table
// still open is closed, so that its locks and descriptors go with the
// library, and the state above is freed.
__attribute__((destructor)) void ReleaseEngineState() {
    if (g_work_areas != nullptr) {
        g_work_areas->CloseAll();
        delete g_work_areas;
        g_work_areas = nullptr;
    }
    delete g_error_text;
    g_error_text = nullptr;
    ReleaseFileLayerState();
}

}  // namespace

WorkAreas& WorkAreas::Instance() {
    if (g_work_areas == nullptr) g_work_areas = new WorkAreas();
    return *g_work_areas;
}

void WorkAreas::CloseAll() {
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].table) Remove(int(i + 1));
    }
}

int WorkAreas::Add(std::unique_ptr<Table> table, const std::string& alias) {
    size_t slot = 0;
    while (slot < slots_.size() && slots_[slot].table) ++slot;
    if (slot == slots_.size()) slots_.emplace_back();
    slots_[slot].table = std::move(table);
    slots_[slot].alias = alias;
    current_ = int(slot + 1);
    return current_;
}

Status WorkAreas::Remove(int number) {
    Table* table = Get(number);
    if (table == nullptr)
        return Status::InvalidArgument("work area " + std::to_string(number) + " is not in use");
    Status s = table->Close();
    slots_[size_t(number - 1)].table.reset();
    slots_[size_t(number - 1)].alias.clear();
    if (current_ == number) current_ = 0;
    return s;
}

int WorkAreas::Find(const std::string& alias) const {
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].table && FieldNameEquals(slots_[i].alias, alias)) return int(i + 1);
    }
    return 0;
}

Table* WorkAreas::Get(int number) const {
    if (number < 1 || size_t(number) > slots_.size()) return nullptr;
    return slots_[size_t(number - 1)].table.get();
}

const std::string& WorkAreas::Alias(int number) const {
    static const std::string kNone;
    if (Get(number) == nullptr) return kNone;
    return slots_[size_t(number - 1)].alias;
}

int WorkAreas::Select(int number) {
    int old = current_;
    current_ = Get(number) ? number : 0;
    return old;
}

void SetLastError(const Status& status) {
    ErrorText() = status.message();
    // The codes of sde61.h follow the order of Status::Code.
    g_error_code = status.ok() ? SX_ERR_NONE : int(status.code());
}
void SetLastError(const std::string& text, int code) {
    ErrorText() = text;
    g_error_code = code;
}
void ClearLastError() {
    ErrorText().clear();
    g_error_code = SX_ERR_NONE;
}
const std::string& LastError() {
    return ErrorText();
}
int LastErrorCode() {
    return g_error_code;
}

int CopyOut(const std::string& value, char* buf, int size) {
    if (buf != nullptr && size > 0) {
        size_t n = std::min(value.size(), size_t(size - 1));
        std::copy(value.begin(), value.begin() + long(n), buf);
        buf[n] = '\0';
    }
    return int(value.size());
}

Table* SelectedTable() {
    Table* table = WorkAreas::Instance().Current();
    if (table == nullptr) SetLastError(std::string("no table is selected"));
    return table;
}

}  // namespace sde
