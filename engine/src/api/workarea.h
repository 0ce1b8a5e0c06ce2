// Work areas: the numbered slots in which the C API keeps open tables, each
// with its alias, and the currently selected one.  Also the error text of the
// last failed call, the guard that keeps every C++ exception inside the
// library, and the C API's conventions for text arguments and output buffers.
// Everything behind the sx_ functions reaches tables through here.
#ifndef SDE61_API_WORKAREA_H
#define SDE61_API_WORKAREA_H

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "dbf/table.h"
#include "sde61.h"

namespace sde {

class WorkAreas {
  public:
    static WorkAreas& Instance();

    // Adds a table under an alias; returns its work area number (>= 1) and selects it.
    int Add(std::unique_ptr<Table> table, const std::string& alias);
    // Closes and removes a work area; the selection becomes 0 when it was current.
    Status Remove(int number);
    // Work area with that alias (case-insensitive), 0 when none.
    int Find(const std::string& alias) const;
    Table* Get(int number) const;
    const std::string& Alias(int number) const;
    int current() const { return current_; }
    // Selects a work area (0 or an unused number selects nothing); returns the old one.
    int Select(int number);
    Table* Current() const { return Get(current_); }
    // Closes every open work area (failures to close are dropped: the
    // library is going away).
    void CloseAll();

  private:
    struct Slot {
        std::unique_ptr<Table> table;
        std::string alias;
    };
    std::vector<Slot> slots_;  // index = work area number - 1
    int current_ = 0;
};

// The failure text and kind of the last call (what sx_ErrorText and
// sx_ErrorCode give).
void SetLastError(const Status& status);
void SetLastError(const std::string& text, int code = SX_ERR_INVALID);
void ClearLastError();
const std::string& LastError();
int LastErrorCode();

// Runs fn, returning its result; a thrown exception becomes `failed` and the
// error text.  Every sx_ function body runs inside it.
template <typename T, typename Fn>
T Guarded(T failed, Fn&& fn) {
    try {
        return fn();
    } catch (const std::exception& e) {
        SetLastError(std::string("internal error: ") + e.what(), SX_ERR_INTERNAL);
    } catch (...) {
        SetLastError(std::string("internal error"), SX_ERR_INTERNAL);
    }
    return failed;
}

// The text of a C string argument: empty for a null pointer.
inline std::string Text(const char* s) {
    return s ? std::string(s) : std::string();
}

// Buffer convention of the C API: copies as much of value as fits into buf,
// NUL terminated when size > 0, and returns the value's full length.
int CopyOut(const std::string& value, char* buf, int size);

// The selected table, or nullptr with the error text set ("no table is selected").
Table* SelectedTable();

// Records a failed status as the error text and gives `failed`.
template <typename T>
T Fail(const Status& s, T failed) {
    SetLastError(s);
    return failed;
}

// Runs fn(table) on the selected table inside Guarded, after clearing the
// error text; gives `failed` when no table is selected.
template <typename T, typename Fn>
T WithTable(T failed, Fn&& fn) {
    return Guarded<T>(failed, [&]() -> T {
        ClearLastError();
        Table* table = SelectedTable();
        if (table == nullptr) return failed;
        return fn(table);
    });
}

}  // namespace sde

#endif  // SDE61_API_WORKAREA_H
