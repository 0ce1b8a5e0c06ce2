// Expressions: the compiler and evaluator of the xBase expression language
// that index keys, sx_EvalString and sx_EvalTest use.
//
// An expression is compiled once against the fields of a table (a
// RecordSource) into a typed tree; compiling checks names, argument counts and
// types, so an expression either compiles completely or is refused with a
// message naming the problem and its position.  Evaluating a compiled
// expression on a record allocates nothing once its buffers have grown to the
// size the values need.
//
// Values: character (8-bit Windows-1252 bytes), numeric (double with a display
// width and decimals, as STR() shows it), date (day number, 0 for the empty
// date) and logical.
//
// Conventions of the runtime (SET EXACT OFF, American date format):
//   - "=" on texts compares the left text for the length of the right one:
//     "ABC" = "AB" is true, "AB" = "ABC" is false, anything = "" is true.
//     "==" compares exactly (trailing blanks count).  "<", ">", "<=", ">=",
//     "!=", "<>", "#" use the "=" rule.  Bytes compare unsigned.
//   - UPPER/LOWER change only a-z / A-Z.
//   - STR(n) takes the width and decimals the number carries: a field keeps
//     its own; any other number has 10 digits before the point (20 from 1e10
//     on) plus its decimals.  STR rounds half away from zero and gives
//     asterisks over the whole width when the number does not fit.
//   - Decimals carried by computed numbers: + and - the larger of the two,
//     * the sum, / two unless the quotient is whole; literals their own.
//   - DTOC and CTOD use "MM/DD/YY" unless ExprOptions says otherwise; two-digit
//     years read by CTOD fall into the century window starting at the epoch
//     year (default 1900).  An empty date plus or minus days stays empty.
//   - Function names may be abbreviated to four or more of their letters when
//     that names one function only (SUBS, ALLT, STRZ, REPL).
#ifndef SDE61_EXPR_EXPR_H
#define SDE61_EXPR_EXPR_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace sde {

// The type of a value or of an expression's result; the letters are the
// dBASE type letters.
enum class ExprType : char {
    kCharacter = 'C',
    kNumeric = 'N',
    kDate = 'D',
    kLogical = 'L',
};

// One field of a table as the compiler sees it.
struct FieldInfo {
    std::string name;  // upper case as stored
    char type = 'C';   // 'C', 'N', 'F', 'D', 'L', 'M' or 'I' (4-byte binary integer)
    int width = 0;
    int decimals = 0;
};

// What an expression reads of a table: its fields and the current record.
// The engine's work area implements it; tests use a small in-memory table.
// The compiler calls FieldIndex and Field once per field name; evaluation
// calls RawField, ReadMemo, RecNo and Deleted on the record it is given.
class RecordSource {
  public:
    virtual ~RecordSource() = default;

    // Index (>= 0) of a field by name, without regard to case; -1 when the
    // table has no such field.  alias is empty for a plain field name (and
    // for FIELD->NAME) and holds the part before "->" otherwise; a source
    // returns -1 for an alias that does not name its table.
    virtual int FieldIndex(std::string_view alias, std::string_view name) const = 0;
    // Description of the field at index.
    virtual FieldInfo Field(int index) const = 0;
    // The bytes of that field in the current record, width bytes; memo
    // fields give their block-number text.  Index keys are built from the
    // bytes as stored (code page 850 in a table with OEM translation, so
    // that keys sort as other programs sort them); texts for the caller, as
    // sx_EvalString gives them, from the record in the ANSI code page.
    virtual std::string_view RawField(int index) const = 0;
    // Text of a memo field of the current record into *text.  Sources
    // without memo support keep this default.
    virtual Status ReadMemo(int index, std::string* text) const;
    // Number of the current record (1-based), 0 when there is none.
    virtual uint32_t RecNo() const = 0;
    // True when the current record is marked deleted.
    virtual bool Deleted() const = 0;
};

// Settings that shape compiling and evaluating.
struct ExprOptions {
    // Date picture of DTOC and CTOD: made of DD, MM, YY or YYYY and any
    // separators, e.g. "MM/DD/YY", "DD.MM.YYYY".
    std::string date_format = "MM/DD/YY";
    // First year of the hundred-year window for two-digit years in CTOD.
    int epoch = 1900;
    // Today's date as a day number for DATE(); null means the system clock.
    int32_t (*today)() = nullptr;
};

// Most nested parentheses, calls and unary operators an expression may have.
constexpr int kMaxExprDepth = 64;
// Longest expression text accepted.
constexpr size_t kMaxExprLength = 4096;

// A value during evaluation.  The text of a character value points into a
// record or into a buffer of the expression and is valid until the next
// evaluation of that expression.
struct Value {
    ExprType type = ExprType::kLogical;
    std::string_view text;  // character
    double number = 0;      // numeric
    int16_t width = 0;      // numeric: total width STR() gives it
    int16_t decimals = 0;   // numeric
    int32_t date = 0;       // date: day number (see DayNumber), 0 = empty
    bool logical = false;   // logical
};

// Static description of what an expression yields, for index keys.
struct ExprShape {
    ExprType type = ExprType::kCharacter;
    // Key width: the width the value has on every record (a C field its
    // width, STR(x,10,2) 10, DTOS 8, a numeric field its width, logical 1,
    // a concatenation the sum).  -1 when it depends on the record (for
    // instance TRIM or SUBSTR with a computed length).
    int width = -1;
    int decimals = 0;  // numeric results
    // Character results: the most bytes the value can have on any record
    // (TRIM(NAME) at most the width of NAME); -1 when unbounded or unknown.
    int max_width = -1;
};

class ExprNode;

// A compiled expression.  Not copyable; evaluation uses buffers inside the
// object, so one object is evaluated by one thread at a time.
class Expression {
  public:
    // Compiles text against the fields of schema.  A failure is an
    // InvalidArgument status whose message names the problem, its 1-based
    // position and the expression, e.g.
    //   Unknown function FOO at position 5 in expression "1 + FOO(2)"
    static Result<std::unique_ptr<Expression>> Compile(std::string_view text,
                                                       const RecordSource& schema,
                                                       const ExprOptions& options = {});
    ~Expression();
    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;

    const std::string& text() const { return text_; }
    ExprType type() const { return shape_.type; }
    const ExprShape& shape() const { return shape_; }

    // Evaluates on the current record of record (a source with the fields
    // the expression was compiled against).  A runtime failure (division by
    // zero, a value too large) is an InvalidArgument status.
    Status Evaluate(const RecordSource& record, Value* out);

    // The result as text: characters as they are, numbers as STR() gives
    // them, dates as DTOS, logicals "T" / "F".
    Status EvaluateText(const RecordSource& record, std::string* out);

    // The key bytes an NTX index stores for the current record, exactly
    // width bytes (see KeyBytes).  width and decimals are the index's key
    // size and decimals.
    Status EvaluateKey(const RecordSource& record, int width, int decimals, std::string* out);

    // Key width and decimals for a new index: the static width when it is
    // known, else for texts their largest possible width, else the width of
    // the value on the current record of record.
    Result<ExprShape> KeyShape(const RecordSource& record);

  private:
    Expression() = default;
    friend class ExprCompiler;

    std::string text_;
    ExprShape shape_;
    ExprOptions options_;
    std::vector<std::unique_ptr<ExprNode>> nodes_;  // owns every node
    ExprNode* root_ = nullptr;
};

// Encodes a value as the bytes of an NTX key of width bytes:
//   character: padded with blanks or cut to width;
//   numeric: STR(value, width, decimals) with blanks as "0"; for a negative
//     value the "-" becomes "0" too and each digit d becomes the byte 44 - d,
//     so that byte order equals numeric order;
//   date: "YYYYMMDD", 8 blanks when empty; logical: "T" or "F".
// A number that does not fit the width is an InvalidArgument status.
Status KeyBytes(const Value& value, int width, int decimals, std::string* out);

// ---- Helpers shared with the table code ------------------------------------

// Day number of a calendar date (proleptic Gregorian; 1 January 1 is day
// 1721426, the astronomical Julian day number), 0 when the date is invalid.
int32_t DayNumber(int year, int month, int day);
// Calendar date of a day number; false for 0 (the empty date) and for days
// outside the years 1 to 9999.
bool CivilDate(int32_t day_number, int* year, int* month, int* day);
// Day number of a stored "YYYYMMDD" text, 0 for blanks or an invalid date.
int32_t ParseDtos(std::string_view text);
// "YYYYMMDD" of a day number, 8 blanks for the empty date, into out[0..7].
void FormatDtos(int32_t day_number, char* out);
// STR(number, width, decimals) into *out: right-aligned, rounded half away
// from zero, asterisks when it does not fit.
void FormatStr(double number, int width, int decimals, std::string* out);
// Value of a stored numeric text (leading blanks, sign, digits, point);
// blanks or garbage read as 0.
double ParseNumber(std::string_view text);

}  // namespace sde

#endif  // SDE61_EXPR_EXPR_H
