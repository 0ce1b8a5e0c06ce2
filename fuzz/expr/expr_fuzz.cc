// Fuzz target of the expression parser and evaluator: the input (up to its
// first NUL) is an xBase expression over the fixed table
// (common/fixed_table.h), which stays open read-only.  It is compiled and
// evaluated on several records; an expression of a usable type is also made
// the key of an index build, a logical one its condition.  Any text must end
// in a value or an engine error, never in a crash, a hang or runaway memory.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/fixed_table.h"
#include "common/scratch.h"
#include "sde61.h"

namespace {

// Index keys longer than this are left to the evaluation alone; building
// indexes of very long keys would only make every input slower.
constexpr std::size_t kMaxIndexedExpression = 512;

struct Fixture {
    zer1_fuzz::FixedTable table;
    std::string index_path;
};

const Fixture& Setup() {
    static const Fixture fixture = [] {
        sx_ErrorLevel(0);
        Fixture f{zer1_fuzz::CreateFixedTable(zer1_fuzz::ScratchDirectory("expr")),
                  zer1_fuzz::ScratchDirectory("expr") + "expr.ntx"};
        zer1_fuzz::OpenFixedTable(f.table, SX_EXCLUSIVE);
        return f;
    }();
    return fixture;
}

void Evaluate(const char* expression) {
    char buffer[512];
    for (long record : {1L, 4L, 6L, 9L}) {
        sx_Go(record);
        sx_EvalString(expression, buffer, int(sizeof buffer));
        sx_EvalTest(expression);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const Fixture& fixture = Setup();
    const std::string expression(reinterpret_cast<const char*>(data),
                                 strnlen(reinterpret_cast<const char*>(data), size));
    const char type = sx_EvalType(expression.c_str());
    if (type == 0) return 0;
    Evaluate(expression.c_str());
    if (expression.size() <= kMaxIndexedExpression) {
        int order = 0;
        if (type == 'L') {
            order = sx_Index(fixture.index_path.c_str(), "NAME", expression.c_str(), 0, 0);
        } else {
            order = sx_Index(fixture.index_path.c_str(), expression.c_str(), nullptr, 0, 1);
        }
        if (order > 0) {
            sx_GoTop();
            sx_Skip(1);
            sx_IndexClose();
        }
    }
    return 0;
}
