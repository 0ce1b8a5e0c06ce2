// The compiler's robustness on arbitrary input.
#include <gtest/gtest.h>

#include <random>

#include "expr/expr.h"
#include "expr_test_table.h"

namespace sde {
namespace {

// Arbitrary token soup never crashes the compiler, and whatever compiles
// evaluates to a value of its declared type or to an error status.
TEST(ExprRobustness, RandomInputCompilesOrFailsCleanly) {
    MemoryTable table;
    table.AddField("NAME", 'C', 10);
    table.AddField("MENGE", 'N', 5);
    table.AddField("DATUM", 'D', 8);
    table.AddField("AKTIV", 'L', 1);
    table.Set("NAME", "Meier");
    table.Set("MENGE", "-3");
    table.Set("DATUM", "20240229");
    table.Set("AKTIV", "T");
    const char* pieces[] = {
        "NAME",  "MENGE", "DATUM",      "AKTIV",   "1",       "0",        "2.5",      "'ab'",
        "''",    "(",     ")",          ",",       "+",       "-",        "*",        "/",
        "%",     "**",    "=",          "==",      "<",       ">=",       "$",        ".AND.",
        ".OR.",  "!",     ".T.",        "UPPER(",  "SUBSTR(", "STR(",     "IIF(",     "DTOS(",
        "CTOD(", "VAL(",  "REPLICATE(", "SPACE(",  "PADL(",   "STRZERO(", "DESCEND(", "LEN(",
        "->",    "\"",    "[",          "ALIAS->", "999999"};
    std::mt19937 random(20261208);
    int compiled = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        int length = 1 + int(random() % 12);
        for (int i = 0; i < length; ++i) {
            text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
            if (random() % 3 == 0) text += ' ';
        }
        auto expr = Expression::Compile(text, table);
        if (!expr.ok()) {
            ASSERT_NE(expr.status().message().find("expression"), std::string::npos) << text;
            continue;
        }
        ++compiled;
        Value v;
        Status s = (*expr)->Evaluate(table, &v);
        if (s.ok()) {
            ASSERT_EQ(v.type, (*expr)->type()) << text;
            // A text never exceeds the width the compiler promised for it.
            const ExprShape& shape = (*expr)->shape();
            int bound = shape.width >= 0 ? shape.width : shape.max_width;
            if (bound >= 0 && v.type == ExprType::kCharacter) {
                ASSERT_LE(v.text.size(), size_t(bound)) << text;
            }
        }
    }
    EXPECT_GT(compiled, 100);  // the soup does produce valid expressions
}

}  // namespace
}  // namespace sde
