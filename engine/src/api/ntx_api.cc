// The index entry points of sde61.h: opening and building NTX indexes on the
// selected table, choosing its order, seeking, and the build progress hook.
#include "sde61.h"

#include <filesystem>

#include "api/workarea.h"
#include "dbf/table.h"
#include "ntx/ntx_order.h"

using sde::Fail;
using sde::Status;
using sde::Table;
using sde::Text;
using sde::WithTable;

namespace {

sx_ProgressFn g_gauge = nullptr;
void* g_gauge_context = nullptr;

// Order number of an index file already open on the table, 0 when none.
int OpenOrderOf(Table* table, const std::string& path) {
    std::error_code ec;
    for (int n = 1; n <= table->order_count(); ++n) {
        if (std::filesystem::equivalent(table->order(n)->path(), path, ec) && !ec) return n;
    }
    return 0;
}

}  // namespace

extern "C" {

int sx_IndexOpen(const char* file) {
    return WithTable<int>(0, [&](Table* table) -> int {
        std::string path = table->env()->Resolve(Text(file));
        if (path.empty()) return Fail(Status::InvalidArgument("no index file name given"), 0);
        int existing = OpenOrderOf(table, path);
        if (existing == 0) {
            auto order = sde::NtxOrder::Open(table, path);
            if (!order.ok()) return Fail(order.status(), 0);
            existing = table->AddOrder(std::move(*order));
        }
        Status s = table->SetOrder(existing);
        return s.ok() ? existing : Fail(s, 0);
    });
}

int sx_SetOrder(int order) {
    return WithTable<int>(0, [&](Table* table) -> int {
        int previous = table->current_order();
        Status s = table->SetOrder(order);
        return s.ok() ? previous : Fail(s, 0);
    });
}

int sx_Index(const char* file, const char* expression, const char* condition, int unique,
             int descend) {
    return WithTable<int>(0, [&](Table* table) -> int {
        std::string path = Text(file);
        if (path.empty()) return Fail(Status::InvalidArgument("no index file name given"), 0);
        if (table->is_read_only()) {
            return Fail(Status::InvalidArgument("Cannot modify a read-only data set"), 0);
        }
        // Without its password an encrypted table reads as masked values: an
        // index built from them would hold the same key for every record.
        if (table->encrypted() && !table->has_cipher()) {
            return Fail(Status::InvalidArgument("table " + table->path() +
                                                " is encrypted: an index needs its password"),
                        0);
        }
        // A new index replaces the table's open indexes (one of them may be
        // the file being rebuilt, which must not stay open under us).
        Status s = table->CloseOrders();
        if (!s.ok()) return Fail(s, 0);
        sde::NtxProgress progress;
        if (g_gauge) {
            sx_ProgressFn fn = g_gauge;
            void* context = g_gauge_context;
            progress = [fn, context](int percent) { fn(context, percent); };
        }
        auto order = sde::NtxOrder::Build(table, path, Text(expression), Text(condition),
                                          unique != 0, descend != 0, progress);
        if (!order.ok()) return Fail(order.status(), 0);
        int number = table->AddOrder(std::move(*order));
        s = table->SetOrder(number);
        if (s.ok()) s = table->GoTop();
        return s.ok() ? number : Fail(s, 0);
    });
}

int sx_IndexClose(void) {
    return WithTable<int>(0, [](Table* table) -> int {
        Status s = table->CloseOrders();
        return s.ok() ? 1 : Fail(s, 0);
    });
}

int sx_IndexKey(int order, char* buf, int size) {
    return WithTable<int>(-1, [&](Table* table) -> int {
        int number = order == 0 ? table->current_order() : order;
        sde::Order* o = table->order(number);
        if (o == nullptr) return sde::CopyOut(std::string(), buf, size);
        return sde::CopyOut(o->key_expression(), buf, size);
    });
}

int sx_Seek(const char* key) {
    return WithTable<int>(0, [&](Table* table) -> int {
        auto found = table->Seek(key ? std::string_view(key) : std::string_view());
        if (!found.ok()) return Fail(found.status(), 0);
        return *found ? 1 : 0;
    });
}

int sx_Found(void) {
    return WithTable<int>(0, [](Table* table) -> int { return table->found() ? 1 : 0; });
}

void sx_SetGaugeHook(sx_ProgressFn fn, void* context) {
    g_gauge = fn;
    g_gauge_context = context;
}

}  // extern "C"
