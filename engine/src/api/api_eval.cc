// sx_EvalString, sx_EvalTest and sx_EvalType: expressions compiled against
// the selected table and evaluated on its current record.
#include "sde61.h"

#include <memory>

#include "api/workarea.h"
#include "expr/expr.h"
#include "expr/record_view.h"

namespace {

// Compiles an expression for the selected table and evaluates nothing yet.
struct Evaluation {
    std::string record;  // the current record as callers see it
    std::unique_ptr<sde::RecordView> view;
    std::unique_ptr<sde::Expression> expression;
};

// Prepares text against the selected table; false with the error text set on failure.
bool Prepare(const char* text, Evaluation* out) {
    sde::Table* table = sde::SelectedTable();
    if (table == nullptr) return false;
    if (text == nullptr || *text == '\0') {
        sde::SetLastError(std::string("no expression given"));
        return false;
    }
    auto& areas = sde::WorkAreas::Instance();
    out->record = table->RecordForCaller();
    out->view = std::make_unique<sde::RecordView>(table->fields(), out->record,
                                                  table->eof() ? 0 : table->recno(),
                                                  areas.Alias(areas.current()), table);
    auto compiled = sde::Expression::Compile(text, *out->view);
    if (!compiled.ok()) {
        sde::SetLastError(compiled.status());
        return false;
    }
    out->expression = std::move(compiled.value());
    return true;
}

}  // namespace

extern "C" {

int sx_EvalString(const char* expression, char* buf, int size) {
    return sde::Guarded<int>(-1, [&]() -> int {
        sde::ClearLastError();
        Evaluation e;
        if (!Prepare(expression, &e)) return -1;
        std::string text;
        sde::Status s = e.expression->EvaluateText(*e.view, &text);
        if (!s.ok()) {
            sde::SetLastError(s);
            return -1;
        }
        return sde::CopyOut(text, buf, size);
    });
}

int sx_EvalTest(const char* expression) {
    return sde::Guarded<int>(-1, [&]() -> int {
        sde::ClearLastError();
        Evaluation e;
        if (!Prepare(expression, &e)) return -1;
        if (e.expression->type() != sde::ExprType::kLogical) return 1;
        sde::Value value;
        sde::Status s = e.expression->Evaluate(*e.view, &value);
        if (!s.ok()) {
            sde::SetLastError(s);
            return 0;
        }
        return value.logical ? 1 : 0;
    });
}

char sx_EvalType(const char* expression) {
    return sde::Guarded<char>(0, [&]() -> char {
        sde::ClearLastError();
        Evaluation e;
        if (!Prepare(expression, &e)) return 0;
        return char(e.expression->type());
    });
}

}  // extern "C"
