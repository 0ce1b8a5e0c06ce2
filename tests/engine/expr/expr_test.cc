// The expression language: values of expressions on a known record, grouped
// by area, compile errors, runtime errors, key shapes and key bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <cstdio>
#include <random>
#include <cstring>

#include "expr/expr.h"
#include "expr_test_table.h"

// Counts heap allocations while enabled, to prove that evaluation allocates
// nothing once warmed up.  Under AddressSanitizer the count comes from the
// sanitizer's own allocation hook, so its checks of new and delete stay on;
// other builds replace the global operator new.
namespace {
std::atomic<bool> g_count_allocations{false};
std::atomic<long> g_allocations{0};
}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's hook interface (GCC ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void*, std::size_t),
    void (*free_hook)(const volatile void*));
namespace {
void CountAllocation(const volatile void*, std::size_t) {
    if (g_count_allocations) ++g_allocations;
}
void IgnoreFree(const volatile void*) {}
[[maybe_unused]] const int g_hooks_installed =
    __sanitizer_install_malloc_and_free_hooks(&CountAllocation, &IgnoreFree);
}  // namespace
#else
void* operator new(std::size_t size) {
    if (g_count_allocations) ++g_allocations;
    void* p = std::malloc(size ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

namespace sde {
namespace {

int32_t FixedToday() {
    return DayNumber(2026, 12, 8);
}

class ExprTest : public ::testing::Test {
  protected:
    void SetUp() override {
        table_.AddField("ARTIKEL", 'C', 20);
        table_.AddField("ARTNUM", 'C', 13);
        table_.AddField("NAME", 'C', 10);
        table_.AddField("MENGE", 'N', 5, 0);
        table_.AddField("PREIS", 'N', 10, 2);
        table_.AddField("DATUM", 'D', 8);
        table_.AddField("LEER", 'D', 8);
        table_.AddField("AKTIV", 'L', 1);
        table_.AddField("NOTIZ", 'M', 10);
        table_.Set("ARTIKEL", "  kamera \xE4-Set");
        table_.Set("ARTNUM", "4006381333931");
        table_.Set("NAME", "Meier");
        table_.Set("MENGE", "12");
        table_.Set("PREIS", "1234.50");
        table_.Set("DATUM", "20240229");
        table_.Set("AKTIV", "T");
        table_.SetRecNo(42);
        options_.today = FixedToday;
    }

    // The value of text as EvaluateText gives it, or the error message.
    std::string Eval(const std::string& text) {
        auto compiled = Expression::Compile(text, table_, options_);
        if (!compiled.ok()) return "error: " + compiled.status().message();
        std::string out;
        Status s = (*compiled)->EvaluateText(table_, &out);
        if (!s.ok()) return "error: " + s.message();
        return out;
    }

    // Message of a compile failure ("" when it compiles).
    std::string CompileError(const std::string& text) {
        auto compiled = Expression::Compile(text, table_, options_);
        return compiled.ok() ? "" : compiled.status().message();
    }

    struct Case {
        const char* expression;
        const char* expected;
    };
    void Check(std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            EXPECT_EQ(Eval(c.expression), c.expected) << "expression: " << c.expression;
        }
    }

    MemoryTable table_;
    ExprOptions options_;
};

TEST_F(ExprTest, OperatorsAndPrecedence) {
    Check({
        {"1+2*3", "         7"},
        {"(1+2)*3", "         9"},
        {"10-4-3", "         3"},
        {"2**3**2", "        64"},  // left to right
        {"2^3", "         8"},
        {"-2**2", "         4"},  // the sign binds tighter than the power
        {"2*-3", "        -6"},
        {"7%3", "         1"},
        {"-7%3", "        -1"},
        {"1/4", "         0.25"},
        {"1/3", "         0.33"},
        {"6/3", "         2"},
        {"1.5+1.25", "         2.75"},
        {"MENGE * PREIS", "     14814.00"},
        {"-PREIS", "  -1234.50"},
        {"+MENGE", "   12"},
        {".T. .AND. .F.", "F"},
        {".T. .OR. .F. .AND. .F.", "T"},
        {".NOT. .T. .OR. .T.", "T"},
        {"!.F.", "T"},
        {"! 1 = 2", "T"},
        {".not. (1 < 2 .and. 2 < 1)", "T"},
        {"1 = 1 .AND. 2 > 1", "T"},
        {"'AB' + 'CD'", "ABCD"},
        {"'AB  ' - 'CD'", "ABCD  "},
        {"NAME - '!'", "Meier!     "},
        {"IIF(MENGE > 10, 'viel', 'wenig')", "viel"},
        {"IF(MENGE > 100, 'viel', 'wenig')", "wenig"},
        {"IIF(MENGE = 0, 0, 100 / MENGE)", "         8.33"},
        // Only the chosen branch and the needed side of .AND. are evaluated.
        {"IIF(MENGE = 12, 1, 1 / (MENGE - 12))", "         1"},
        {".F. .AND. 1 / (MENGE - 12) > 0", "F"},
        {".T. .OR. 1 / (MENGE - 12) > 0", "T"},
    });
}

TEST_F(ExprTest, FieldsAndAliases) {
    Check({
        {"MENGE", "   12"},
        {"PREIS", "   1234.50"},
        {"artnum", "4006381333931"},
        {"ARTIKEL->MENGE * 2", "        24"},
        {"artikel->artnum", "4006381333931"},
        {"FIELD->NAME", "Meier     "},
        {"AKTIV", "T"},
        {"DATUM", "20240229"},
        {"RECNO()", "        42"},
        {"DELETED()", "F"},
    });
    table_.SetDeleted(true);
    table_.Set("AKTIV", "f");
    Check({{"DELETED()", "T"}, {"AKTIV", "F"}});
    table_.Set("AKTIV", "y");
    Check({{"AKTIV", "T"}});
    table_.SetMemo("NOTIZ", "Hinweis: zerbrechlich");
    Check({{"UPPER(LEFT(NOTIZ, 7))", "HINWEIS"}});
}

TEST_F(ExprTest, StringFunctions) {
    Check({
        // Only a-z / A-Z change case; Windows-1252 umlauts stay.
        {"UPPER(ARTIKEL)", "  KAMERA \xE4-SET      "},
        {"LOWER('\xC4XY')", "\xC4xy"},
        {"LTRIM(UPPER(ARTIKEL))", "KAMERA \xE4-SET      "},
        {"RTRIM(ARTIKEL) + '|'", "  kamera \xE4-Set|"},
        {"TRIM(NAME) + '|'", "Meier|"},
        {"ALLTRIM(ARTIKEL) + '|'", "kamera \xE4-Set|"},
        {"SUBSTR('Kamera', 2, 3)", "ame"},
        {"SUBSTR('Kamera', 4)", "era"},
        {"SUBSTR('Kamera', -2)", "ra"},
        {"SUBSTR('Kamera', 0, 2)", "Ka"},
        {"SUBSTR('Kamera', 10) + '|'", "|"},
        {"SUBSTR('Kamera', 2, -1) + '|'", "|"},
        {"LEFT('Kamera', 3)", "Kam"},
        {"LEFT('ab', 5)", "ab"},
        {"RIGHT('Kamera', 2)", "ra"},
        {"RIGHT('ab', 0) + '|'", "|"},
        {"LEN(ARTIKEL)", "        20"},
        {"LEN(TRIM(NAME))", "         5"},
        {"SPACE(3) + 'x'", "   x"},
        {"REPLICATE('ab', 3)", "ababab"},
        {"REPLICATE('ab', 0) + '|'", "|"},
        {"PADL('7', 3, '0')", "007"},
        {"PADR('ab', 4) + '|'", "ab  |"},
        {"PADC('ab', 6, '*')", "**ab**"},
        {"PADC('ab', 5) + '|'", " ab  |"},
        {"PADL('abcdef', 3)", "abc"},
        {"PADL(42, 5)", "   42"},
        {"AT('me', 'Kamera')", "         3"},
        {"AT('x', 'abc')", "         0"},
        {"AT('', 'abc')", "         0"},
        {"RAT('a', 'Kamera')", "         6"},
        {"DESCEND('AB')", "\xBF\xBE"},
        {"CHR(65)", "A"},
        {"ASC('a')", "        97"},
        {"UPPE(NAME)", "MEIER     "},  // four-letter abbreviation
        {"SUBS('abc', 2)", "bc"},
        {"ALLT('  x  ')", "x"},
        {"\"it's\" + [\"q\"]", "it's\"q\""},
    });
}

TEST_F(ExprTest, NumberFormatting) {
    Check({
        {"STR(3.14159, 6, 2)", "  3.14"},
        {"STR(2.675, 5, 2)", " 2.68"},  // rounds the decimal text, half away from zero
        {"STR(1.005, 4, 2)", "1.01"},
        {"STR(2.5, 3)", "  3"},
        {"STR(-2.5, 3)", " -3"},
        {"STR(0.5, 1)", "1"},
        {"STR(-0.4, 3)", "  0"},
        {"STR(123456, 5)", "*****"},
        {"STR(-1234, 4)", "****"},
        {"STR(99.99, 4, 1)", "****"},  // 100.0 does not fit
        {"STR(MENGE)", "   12"},       // a field keeps its width
        {"STR(PREIS)", "   1234.50"},
        {"STR(PREIS, 8, 1)", "  1234.5"},
        {"STR(12)", "        12"},
        {"STR(1.5)", "         1.5"},
        {"STR(1000000000000)", "       1000000000000"},
        {"LEN(STR(1.5, 255, 200))", "       255"},
        {"STRZERO(42, 5)", "00042"},
        {"STRZERO(-42, 5)", "-0042"},
        {"STRZERO(3.5, 6, 1)", "0003.5"},
        {"STRZERO(123456, 3)", "***"},
        {"STRZERO(MENGE)", "00012"},
        {"VAL('12.50')", "        12.50"},
        {"VAL('  -3')", "        -3"},
        {"VAL('abc')", "         0"},
        {"VAL('1,5')", "         1"},
        {"ROUND(2.675, 2)", "         2.68"},
        {"ROUND(-2.5, 0)", "        -3"},
        {"INT(-3.7)", "        -3"},
        {"ABS(-5)", "         5"},
        {"MAX(3, 7) + MIN(3, 7)", "        10"},
    });
}

TEST_F(ExprTest, Dates) {
    Check({
        {"DTOS(DATUM)", "20240229"},
        {"DTOS(LEER)", "        "},
        {"DTOC(DATUM)", "02/29/24"},
        {"DTOC(LEER)", "  /  /  "},
        {"DATUM + 1", "20240301"},
        {"1 + DATUM", "20240301"},
        {"DATUM - 1", "20240228"},
        {"DATUM + 365", "20250228"},
        {"LEER + 5", "        "},  // an empty date stays empty
        {"DATUM + 999999 * 999999 * 999999 * 999999", "        "},  // beyond year 9999
        {"DATUM - 999999 * 999999 * 999999 * 999999", "        "},
        {"DATUM - 800000", "        "},  // before year 1
        {"STOD('20250101') - STOD('20240101')", "       366"},
        {"STOD('20240101') - STOD('20230101')", "       365"},
        {"DTOS(STOD('21000229'))", "        "},  // 2100 is no leap year
        {"DTOS(STOD('20000229'))", "20000229"},  // 2000 is one
        {"CTOD('02/29/24')", "19240229"},        // default epoch 1900
        {"CTOD('02/30/24')", "        "},
        {"CTOD('02/29/2000')", "20000229"},
        {"CTOD('02/29/1900')", "        "},
        {"CTOD('')", "        "},
        {"CTOD('03/01/24') - STOD('19240229')", "         1"},
        {"YEAR(DATUM)", "      2024"},
        {"MONTH(DATUM)", "         2"},
        {"DAY(DATUM)", "        29"},
        {"YEAR(LEER)", "         0"},
        {"DOW(STOD('20260101'))", "         5"},
        {"DATE()", "20261208"},
        {"DESCEND(DATUM)", "   2771438"},
        {"EMPTY(LEER)", "T"},
        {"EMPTY(DATUM)", "F"},
        {"EMPTY(NAME)", "F"},
        {"EMPTY(SPACE(3))", "T"},
        {"EMPTY(0)", "T"},
        {"EMPTY(.F.)", "T"},
    });
    options_.date_format = "DD.MM.YYYY";
    options_.epoch = 1950;
    Check({
        {"DTOC(DATUM)", "29.02.2024"},
        {"DTOC(LEER)", "  .  .    "},
        {"CTOD('29.02.24')", "20240229"},
        {"CTOD('01.01.49')", "20490101"},
        {"CTOD('01.01.50')", "19500101"},
    });
}

TEST_F(ExprTest, Comparisons) {
    Check({
        // "=" compares for the length of the right side; "==" exactly.
        {"'ABC' = 'AB'", "T"},    {"'AB' = 'ABC'", "F"},
        {"'ABC' = ''", "T"},      {"'AB ' = 'AB'", "T"},
        {"'ABC' == 'AB'", "F"},   {"'AB' == 'AB'", "T"},
        {"'AB ' == 'AB'", "F"},   {"NAME = 'Meier'", "T"},
        {"NAME == 'Meier'", "F"}, {"TRIM(NAME) == 'Meier'", "T"},
        {"'ABC' != 'AB'", "F"},   {"'ABC' <> 'ABD'", "T"},
        {"'ABC' # 'ABC'", "F"},   {"'a' > 'B'", "T"},
        {"'\xE4' > 'z'", "T"},  // bytes compare unsigned
        {"'AB' < 'ABC'", "T"},    {"'ABC' < 'AB'", "F"},
        {"'ABC' >= 'AB'", "T"},   {"'ABC' <= 'ABD'", "T"},
        {"'me' $ 'Kamera'", "T"}, {"'ME' $ 'Kamera'", "F"},
        {"'' $ 'abc'", "F"},      {"DATUM > LEER", "T"},
        {"LEER = STOD('')", "T"}, {"MENGE >= 12", "T"},
        {"MENGE > 12", "F"},      {"PREIS = 1234.5", "T"},
        {"PREIS == 1234.5", "T"}, {".T. > .F.", "T"},
        {"AKTIV = .T.", "T"},
    });
}

TEST_F(ExprTest, CompileErrorsNameProblemAndPosition) {
    EXPECT_EQ(CompileError("1 + FOO(2)"),
              "Unknown function FOO at position 5 in expression \"1 + FOO(2)\"");
    struct ErrorCase {
        const char* expression;
        const char* message_part;
    };
    const ErrorCase cases[] = {
        {"NOSUCH", "Unknown field NOSUCH at position 1"},
        {"OTHER->MENGE", "Unknown field OTHER->MENGE at position 1"},
        {"'abc", "Unterminated string at position 1"},
        {"(1+2", "Missing ')' before end of expression at position 5"},
        {"1 +", "Unexpected end of expression at position 4"},
        {"1 2", "Unexpected '2' at position 3"},
        {"SUBSTR('a')", "SUBSTR takes 2 to 3 arguments, not 1 at position 1"},
        {"DATE(1)", "DATE takes 0 arguments, not 1"},
        {"UPPER(1)", "Argument 1 of UPPER must be character, not numeric"},
        {"'a' + 1", "Type mismatch: character + numeric at position 5"},
        {"1 = '1'", "Type mismatch: numeric = character at position 3"},
        {"DATUM * 2", "Type mismatch: date * numeric"},
        {"IIF(.T., 1, 'a')", "differ in type: numeric and character"},
        {"IIF(1, 2, 3)", "Argument 1 of IIF must be logical"},
        {".T. .AND. 1", ".AND. needs logical operands, not numeric"},
        {"!MENGE", "! needs a logical operand, not numeric"},
        {"-NAME", "Unary - needs a numeric operand, not character"},
        {"'a' $ 1", "Type mismatch: character $ numeric"},
        {"1 @ 2", "Unexpected character '@' at position 3"},
        {".X. ", "Unknown operator starting with '.' at position 1"},
        {"SUB('abc', 1)", "Unknown function SUB"},  // abbreviations need four letters
        {"STRX(1)", "Unknown function STRX"},
        {"1/0", "Division by zero at position 2"},  // constant parts are computed once
        {"MENGE->", "Field name expected after '->'"},
        {"   ", "Empty expression"},
        {"UPPER(NAME", "Missing ')' after the arguments of UPPER"},
    };
    for (const ErrorCase& c : cases) {
        std::string message = CompileError(c.expression);
        EXPECT_NE(message.find(c.message_part), std::string::npos)
            << "expression: " << c.expression << "\nmessage: " << message;
    }
}

TEST_F(ExprTest, NestingIsLimitedNotAStackOverflow) {
    auto nested = [](int depth) {
        return std::string(size_t(depth), '(') + "1" + std::string(size_t(depth), ')');
    };
    EXPECT_EQ(CompileError(nested(kMaxExprDepth - 1)), "");
    EXPECT_NE(CompileError(nested(kMaxExprDepth + 1)).find("nested more than 64 levels"),
              std::string::npos);
    EXPECT_NE(CompileError(nested(2000)).find("nested more than 64 levels"), std::string::npos);
    // 10,000 levels make a text longer than any expression may be.
    EXPECT_NE(CompileError(nested(10000)).find("longer than 4096"), std::string::npos);
    EXPECT_NE(CompileError(std::string(200, '-') + "1").find("nested more than"),
              std::string::npos);
    EXPECT_NE(CompileError(std::string(200, '!') + ".T.").find("nested more than"),
              std::string::npos);
    std::string calls;
    for (int i = 0; i < 100; ++i) calls += "UPPER(";
    calls += "NAME" + std::string(100, ')');
    EXPECT_NE(CompileError(calls).find("nested more than"), std::string::npos);
    // A text far beyond the limits is refused before it is parsed at all.
    EXPECT_NE(CompileError(std::string(1000000, '(')).find("longer than"), std::string::npos);
    // Long flat chains are fine: they are not nested.
    std::string chain = "MENGE";
    for (int i = 0; i < 600; ++i) chain += "+1";
    EXPECT_EQ(Eval(chain), "       612");
}

TEST_F(ExprTest, RuntimeErrorsGiveAStatus) {
    auto compiled = Expression::Compile("MENGE / (MENGE - 12)", table_, options_);
    ASSERT_TRUE(compiled.ok());
    Value v;
    Status s = (*compiled)->Evaluate(table_, &v);
    EXPECT_EQ(s.code(), Status::Code::kInvalidArgument);
    EXPECT_EQ(s.message(), "Division by zero in expression \"MENGE / (MENGE - 12)\"");
    // The same expression is fine on another record.
    table_.Set("MENGE", "24");
    EXPECT_TRUE((*compiled)->Evaluate(table_, &v).ok());
    EXPECT_EQ(v.number, 2);

    EXPECT_NE(Eval("REPLICATE('ab', MENGE * 10000)").find("longer than 65535"), std::string::npos);
    EXPECT_NE(Eval("MENGE % (MENGE - 24)").find("Division by zero"), std::string::npos);
    EXPECT_NE(Eval("NOTIZ").find("Memo field NOTIZ"), std::string::npos);  // no memo stored
    EXPECT_NE(Eval("10 ** (MENGE * 100)").find("Numeric overflow"), std::string::npos);
}

TEST_F(ExprTest, ResultTypes) {
    struct TypeCase {
        const char* expression;
        ExprType type;
    };
    const TypeCase cases[] = {
        {"NAME", ExprType::kCharacter},         {"MENGE + 1", ExprType::kNumeric},
        {"DATUM - 1", ExprType::kDate},         {"DATUM - LEER", ExprType::kNumeric},
        {"MENGE > 1", ExprType::kLogical},      {"NOTIZ", ExprType::kCharacter},
        {"DESCEND(DATUM)", ExprType::kNumeric},
    };
    for (const TypeCase& c : cases) {
        auto compiled = Expression::Compile(c.expression, table_, options_);
        ASSERT_TRUE(compiled.ok()) << c.expression;
        EXPECT_EQ((*compiled)->type(), c.type) << c.expression;
    }
}

TEST_F(ExprTest, KeyWidthInference) {
    struct ShapeCase {
        const char* expression;
        ExprType type;
        int width;  // static width, -1 when it depends on the record
        int decimals;
    };
    const ShapeCase cases[] = {
        {"ARTNUM", ExprType::kCharacter, 13, 0},
        {"UPPER(ARTNUM)", ExprType::kCharacter, 13, 0},
        {"MENGE", ExprType::kNumeric, 5, 0},
        {"PREIS", ExprType::kNumeric, 10, 2},
        {"-PREIS", ExprType::kNumeric, 10, 2},
        {"STR(PREIS, 10, 2)", ExprType::kCharacter, 10, 0},
        {"STR(MENGE)", ExprType::kCharacter, 5, 0},
        {"STRZERO(MENGE, 6)", ExprType::kCharacter, 6, 0},
        {"DTOS(DATUM)", ExprType::kCharacter, 8, 0},
        {"DTOS(DATUM) + ARTNUM", ExprType::kCharacter, 21, 0},
        {"STR(MENGE, 4) + UPPER(NAME) + DTOS(DATUM)", ExprType::kCharacter, 22, 0},
        {"AKTIV", ExprType::kLogical, 1, 0},
        {"DATUM", ExprType::kDate, 8, 0},
        {"SUBSTR(ARTNUM, 3, 4)", ExprType::kCharacter, 4, 0},
        {"SUBSTR(ARTNUM, 10)", ExprType::kCharacter, 4, 0},
        {"SUBSTR(ARTNUM, 12, 5)", ExprType::kCharacter, 2, 0},
        {"LEFT(ARTNUM, 5)", ExprType::kCharacter, 5, 0},
        {"RIGHT(ARTNUM, 20)", ExprType::kCharacter, 13, 0},
        {"PADR(NAME, 15)", ExprType::kCharacter, 15, 0},
        {"IIF(AKTIV, ARTNUM, NAME)", ExprType::kCharacter, 13, 0},
        {"SPACE(4) + NAME", ExprType::kCharacter, 14, 0},
        {"DESCEND(ARTNUM)", ExprType::kCharacter, 13, 0},
        {"DTOC(DATUM)", ExprType::kCharacter, 8, 0},
        {"TRIM(NAME)", ExprType::kCharacter, -1, 0},
        {"MENGE * 2", ExprType::kNumeric, -1, 0},
        {"SUBSTR(NAME, MENGE, 2)", ExprType::kCharacter, -1, 0},
    };
    for (const ShapeCase& c : cases) {
        auto compiled = Expression::Compile(c.expression, table_, options_);
        ASSERT_TRUE(compiled.ok()) << c.expression << ": " << compiled.status().message();
        const ExprShape& shape = (*compiled)->shape();
        EXPECT_EQ(shape.type, c.type) << c.expression;
        EXPECT_EQ(shape.width, c.width) << c.expression;
        EXPECT_EQ(shape.decimals, c.decimals) << c.expression;
    }
}

TEST_F(ExprTest, KeyShapeOfRecordDependentExpressions) {
    auto shape_of = [&](const char* text) -> Result<ExprShape> {
        auto compiled = Expression::Compile(text, table_, options_);
        if (!compiled.ok()) return compiled.status();
        return (*compiled)->KeyShape(table_);
    };
    // Trimmed and cut texts take the largest width they can have.
    struct BoundCase {
        const char* expression;
        int width;
    };
    const BoundCase bounds[] = {
        {"LTRIM(UPPER(ARTIKEL))", 20},
        {"TRIM(NAME)", 10},
        {"TRIM(NAME) + ARTNUM", 23},
        {"SUBSTR(NAME, 1, MENGE)", 10},
        {"IIF(AKTIV, TRIM(NAME), ALLTRIM(ARTIKEL))", 20},
        {"DESCEND(RTRIM(ARTNUM))", 13},
    };
    for (const BoundCase& c : bounds) {
        auto shape = shape_of(c.expression);
        ASSERT_TRUE(shape.ok()) << c.expression << ": " << shape.status().message();
        EXPECT_EQ(shape->type, ExprType::kCharacter) << c.expression;
        EXPECT_EQ(shape->width, c.width) << c.expression;
    }

    // Without a bound the value on the current record decides.
    auto spaces = shape_of("SPACE(MENGE)");
    ASSERT_TRUE(spaces.ok());
    EXPECT_EQ(spaces->width, 12);
    auto product = shape_of("MENGE * PREIS");
    ASSERT_TRUE(product.ok());
    EXPECT_EQ(product->type, ExprType::kNumeric);
    EXPECT_EQ(product->width, 13);
    EXPECT_EQ(product->decimals, 2);

    table_.Set("MENGE", "0");
    auto empty = shape_of("SPACE(MENGE)");
    ASSERT_FALSE(empty.ok());
    EXPECT_NE(empty.status().message().find("empty key"), std::string::npos);
    EXPECT_FALSE(shape_of("LEFT(NAME, 0)").ok());
}

TEST_F(ExprTest, KeyBytesOfEachType) {
    auto key = [&](const char* text, int width, int decimals) {
        auto compiled = Expression::Compile(text, table_, options_);
        EXPECT_TRUE(compiled.ok()) << text;
        std::string out;
        Status s = (*compiled)->EvaluateKey(table_, width, decimals, &out);
        return s.ok() ? out : "error: " + s.message();
    };
    EXPECT_EQ(key("NAME", 10, 0), "Meier     ");
    EXPECT_EQ(key("TRIM(NAME)", 8, 0), "Meier   ");
    EXPECT_EQ(key("ARTNUM", 4, 0), "4006");
    EXPECT_EQ(key("MENGE", 5, 0), "00012");
    EXPECT_EQ(key("PREIS", 10, 2), "0001234.50");
    EXPECT_EQ(key("-MENGE", 4, 0), ",,+*");  // "-12": digits d become 44 - d
    EXPECT_EQ(key("DATUM", 8, 0), "20240229");
    EXPECT_EQ(key("LEER", 8, 0), "        ");
    EXPECT_EQ(key("AKTIV", 1, 0), "T");
    EXPECT_NE(key("PREIS", 5, 2).find("does not fit the key width of 5"), std::string::npos);
}

TEST(ExprKeyBytes, NumericKeysSortLikeTheirNumbers) {
    const double numbers[] = {-1000, -99.5, -10, -5, -4.25, -0.01, 0, 0.01, 3, 10, 99.99, 12345.67};
    std::vector<std::string> keys;
    for (double n : numbers) {
        Value v;
        v.type = ExprType::kNumeric;
        v.number = n;
        std::string key;
        ASSERT_TRUE(KeyBytes(v, 9, 2, &key).ok()) << n;
        ASSERT_EQ(key.size(), 9u);
        keys.push_back(key);
    }
    for (size_t i = 1; i < keys.size(); ++i) {
        EXPECT_LT(keys[i - 1], keys[i]) << numbers[i - 1] << " vs " << numbers[i];
    }
}

// Numbers read from text with at most the asked decimals (prices, amounts)
// come out as exactly that text; printf rounds the same way for them.  Up to
// fifteen digits, both signs, and every count of decimals up to six.
TEST(ExprFormatStr, NumbersWithFewDecimalsKeepTheirDigits) {
    std::mt19937_64 rng(11);
    char text[64];
    char expected[64];
    std::string got;
    for (int i = 0; i < 200000; ++i) {
        int decimals = int(rng() % 7);
        int digits = 1 + int(rng() % 15);
        uint64_t limit = 1;
        for (int d = 0; d < digits; ++d) limit *= 10;
        uint64_t whole = rng() % limit;
        bool negative = rng() % 2 == 1;
        int shown = int(rng() % (decimals + 1));  // decimals of the text itself
        uint64_t scale = 1;
        for (int d = 0; d < decimals - shown; ++d) scale *= 10;
        whole -= whole % scale;  // the text has only `shown` decimals
        uint64_t unit = 1;
        for (int d = 0; d < decimals; ++d) unit *= 10;
        snprintf(text, sizeof text, "%s%llu.%0*llu", negative ? "-" : "",
                 static_cast<unsigned long long>(whole / unit), decimals,
                 static_cast<unsigned long long>(whole % unit));
        double number = std::strtod(text, nullptr);
        snprintf(expected, sizeof expected, "%25.*f", decimals, number);
        if (whole == 0) snprintf(expected, sizeof expected, "%25.*f", decimals, 0.0);
        FormatStr(number, 25, decimals, &got);
        ASSERT_EQ(got, expected) << text << " with " << decimals << " decimals";
    }
}

// Where the double lies between two texts of the asked decimals, the
// shortest text that reads back decides, rounded half away from zero.
TEST(ExprFormatStr, MoreDecimalsThanAskedRoundTheShortestText) {
    const struct {
        double number;
        int decimals;
        const char* text;
    } cases[] = {
        {2.675, 2, "      2.68"},   // printf would give 2.67
        {-2.675, 2, "     -2.68"},
        {1.005, 2, "      1.01"},
        {0.125, 2, "      0.13"},
        {-0.004, 2, "      0.00"},  // no negative zero
        {9.9999, 3, "    10.000"},
        {1125899906842624.5, 0, "1125899906842625"},  // 2^50 + 0.5: past the quick path
        {2251799813685248.0, 0, "2251799813685248"},  // 2^51
        {0.1 + 0.2, 15, "0.300000000000000"},
        {123.456, 16, "123.4560000000000000"},
    };
    std::string got;
    for (const auto& c : cases) {
        FormatStr(c.number, int(std::strlen(c.text)), c.decimals, &got);
        EXPECT_EQ(got, c.text) << c.number << " with " << c.decimals << " decimals";
    }
}

TEST(ExprDates, DayNumbersRoundTripAndRejectInvalidDates) {
    EXPECT_EQ(DayNumber(2000, 1, 1), 2451545);  // the astronomical J2000 day
    EXPECT_EQ(DayNumber(2023, 2, 29), 0);
    EXPECT_EQ(DayNumber(2024, 13, 1), 0);
    EXPECT_EQ(DayNumber(2024, 4, 31), 0);
    EXPECT_NE(DayNumber(1600, 2, 29), 0);
    EXPECT_EQ(DayNumber(1700, 2, 29), 0);
    for (int32_t day = DayNumber(1899, 12, 25); day < DayNumber(2101, 1, 10); day += 17) {
        int y, m, d;
        ASSERT_TRUE(CivilDate(day, &y, &m, &d));
        ASSERT_EQ(DayNumber(y, m, d), day);
        char text[8];
        FormatDtos(day, text);
        ASSERT_EQ(ParseDtos(std::string_view(text, 8)), day);
    }
    EXPECT_EQ(ParseDtos("2024-2-1"), 0);
    EXPECT_EQ(ParseDtos("        "), 0);
}

TEST_F(ExprTest, CompiledExpressionFollowsTheRecord) {
    auto compiled = Expression::Compile("LTRIM(UPPER(ARTIKEL))", table_, options_);
    ASSERT_TRUE(compiled.ok());
    std::string out;
    ASSERT_TRUE((*compiled)->EvaluateText(table_, &out).ok());
    EXPECT_EQ(out, "KAMERA \xE4-SET      ");
    table_.Set("ARTIKEL", "   stativ");
    ASSERT_TRUE((*compiled)->EvaluateText(table_, &out).ok());
    EXPECT_EQ(out, "STATIV" + std::string(11, ' '));
}

TEST_F(ExprTest, EvaluationAllocatesNothingOnceWarm) {
    const char* texts[] = {"LTRIM(UPPER(ARTIKEL))", "DTOS(DATUM) + UPPER(NAME)",
                           "STR(PREIS, 10, 2) + ARTNUM", "IIF(MENGE > 3, NAME, ARTNUM)"};
    for (const char* text : texts) {
        auto compiled = Expression::Compile(text, table_, options_);
        ASSERT_TRUE(compiled.ok());
        Value v;
        ASSERT_TRUE((*compiled)->Evaluate(table_, &v).ok());  // buffers grow here
        g_allocations = 0;
        g_count_allocations = true;
        for (int i = 0; i < 100; ++i) (void)(*compiled)->Evaluate(table_, &v);
        g_count_allocations = false;
        EXPECT_EQ(g_allocations.load(), 0) << text;
    }
}

}  // namespace
}  // namespace sde
