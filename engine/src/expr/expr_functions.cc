// The functions and operators of the expression language: their evaluation
// routines.  The compile-time checks and shapes live in expr_resolve.cc.
#include "expr/expr_functions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "expr/expr_node.h"

namespace sde {

// Longest text a function may build (SPACE, REPLICATE, PADx).
constexpr size_t kMaxTextLength = 65535;


std::string Expect(const CallNode& node, size_t i, ExprType type) {
    if (node.args[i]->shape.type == type) return {};
    return "Argument " + std::to_string(i + 1) + " of " + node.name + " must be " + TypeWord(type) +
           ", not " + TypeWord(node.args[i]->shape.type);
}

// Integer argument for lengths and positions: truncated, kept in int range.
long ToCount(double number) {
    if (!(number > -1e9)) return -1000000000L;
    if (number > 1e9) return 1000000000L;
    return long(number);
}

// Compile-time value of a numeric argument, when it is constant.
bool ConstInt(CallNode& node, size_t i, const ExprOptions& options, long* out) {
    Value v;
    if (i >= node.args.size() || !ConstantValue(node.args[i], options, &v)) return false;
    *out = ToCount(v.number);
    return true;
}

void SetText(Value& out, std::string_view text) {
    out.type = ExprType::kCharacter;
    out.text = text;
}

void SetLogical(Value& out, bool b) {
    out.type = ExprType::kLogical;
    out.logical = b;
}

void SetDate(Value& out, int32_t day) {
    out.type = ExprType::kDate;
    out.date = day;
}

std::string_view TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}

bool TooLong(EvalContext& ctx, CallNode& self, long length) {
    if (length > long(kMaxTextLength)) {
        ctx.Fail("Result of " + self.name + " longer than " + std::to_string(kMaxTextLength) +
                 " characters");
        return true;
    }
    return false;
}

// ---- character functions ---------------------------------------------------

void EvalUpper(EvalContext&, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    self.buffer.resize(s.size());
    char* p = self.buffer.data();
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        p[i] = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    }
    SetText(out, self.buffer);
}

void EvalLower(EvalContext&, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    self.buffer.resize(s.size());
    char* p = self.buffer.data();
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        p[i] = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    }
    SetText(out, self.buffer);
}

void EvalLtrim(EvalContext&, CallNode& self, Value& out) {
    SetText(out, TrimLeft(self.values[0].text));
}
void EvalRtrim(EvalContext&, CallNode& self, Value& out) {
    SetText(out, TrimRight(self.values[0].text));
}
void EvalAlltrim(EvalContext&, CallNode& self, Value& out) {
    SetText(out, TrimLeft(TrimRight(self.values[0].text)));
}

void EvalSubstr(EvalContext&, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    long size = long(s.size());
    long start = ToCount(self.values[1].number);
    if (start < 0)
        start = std::max(0L, size + start);  // counts from the end
    else if (start > 0)
        start -= 1;
    if (start >= size) {
        SetText(out, {});
        return;
    }
    long count = size - start;
    if (self.values.size() > 2) count = std::min(count, ToCount(self.values[2].number));
    SetText(out, count <= 0 ? std::string_view() : s.substr(size_t(start), size_t(count)));
}

void EvalLeft(EvalContext&, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    long n = ToCount(self.values[1].number);
    SetText(out, n <= 0 ? std::string_view() : s.substr(0, size_t(n)));
}

void EvalRight(EvalContext&, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    long n = ToCount(self.values[1].number);
    if (n <= 0) n = 0;
    if (size_t(n) > s.size()) n = long(s.size());
    SetText(out, s.substr(s.size() - size_t(n)));
}

void EvalSpace(EvalContext& ctx, CallNode& self, Value& out) {
    long n = std::max(0L, ToCount(self.values[0].number));
    if (TooLong(ctx, self, n)) n = 0;
    self.buffer.assign(size_t(n), ' ');
    SetText(out, self.buffer);
}

void EvalReplicate(EvalContext& ctx, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    long n = std::max(0L, ToCount(self.values[1].number));
    if (!s.empty() && TooLong(ctx, self, long(s.size()) * std::min(n, 70000L))) n = 0;
    self.buffer.clear();
    for (long i = 0; i < n; ++i) self.buffer.append(s);
    SetText(out, self.buffer);
}

// PADL / PADR / PADC share this; where: 'L', 'R' or 'C'.
void Pad(EvalContext& ctx, CallNode& self, Value& out, char where) {
    std::string_view s;
    std::string converted;
    if (self.values[0].type == ExprType::kCharacter) {
        s = self.values[0].text;
    } else {
        ValueAsText(self.values[0], *ctx.options, &converted);
        s = converted;
    }
    long n = std::max(0L, ToCount(self.values[1].number));
    if (TooLong(ctx, self, n)) n = 0;
    char fill = ' ';
    if (self.values.size() > 2 && !self.values[2].text.empty()) fill = self.values[2].text[0];
    if (s.size() >= size_t(n)) {
        self.buffer.assign(s.substr(0, size_t(n)));
    } else {
        size_t missing = size_t(n) - s.size();
        size_t before = where == 'L' ? missing : where == 'C' ? missing / 2 : 0;
        self.buffer.assign(before, fill);
        self.buffer.append(s);
        self.buffer.append(missing - before, fill);
    }
    SetText(out, self.buffer);
}
void EvalPadl(EvalContext& ctx, CallNode& self, Value& out) {
    Pad(ctx, self, out, 'L');
}
void EvalPadr(EvalContext& ctx, CallNode& self, Value& out) {
    Pad(ctx, self, out, 'R');
}
void EvalPadc(EvalContext& ctx, CallNode& self, Value& out) {
    Pad(ctx, self, out, 'C');
}

void EvalAt(EvalContext&, CallNode& self, Value& out) {
    std::string_view needle = self.values[0].text, hay = self.values[1].text;
    size_t pos = needle.empty() ? std::string_view::npos : hay.find(needle);
    SetNumber(out, pos == std::string_view::npos ? 0 : double(pos + 1), 0);
}

void EvalRat(EvalContext&, CallNode& self, Value& out) {
    std::string_view needle = self.values[0].text, hay = self.values[1].text;
    size_t pos = needle.empty() ? std::string_view::npos : hay.rfind(needle);
    SetNumber(out, pos == std::string_view::npos ? 0 : double(pos + 1), 0);
}

void EvalLen(EvalContext&, CallNode& self, Value& out) {
    SetNumber(out, double(self.values[0].text.size()), 0);
}

void EvalChr(EvalContext&, CallNode& self, Value& out) {
    self.buffer.assign(1, char(uint8_t(ToCount(self.values[0].number) & 0xFF)));
    SetText(out, self.buffer);
}

void EvalAsc(EvalContext&, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    SetNumber(out, s.empty() ? 0 : double(uint8_t(s[0])), 0);
}

template <bool (*Test)(char)>
void EvalCharTest(EvalContext&, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    SetLogical(out, !s.empty() && Test(s[0]));
}
bool IsAlphaChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}
bool IsUpperChar(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsLowerChar(char c) {
    return c >= 'a' && c <= 'z';
}
template void EvalCharTest<IsAlphaChar>(EvalContext&, CallNode&, Value&);
template void EvalCharTest<IsDigitChar>(EvalContext&, CallNode&, Value&);
template void EvalCharTest<IsUpperChar>(EvalContext&, CallNode&, Value&);
template void EvalCharTest<IsLowerChar>(EvalContext&, CallNode&, Value&);

// ---- numbers ---------------------------------------------------------------

void EvalStr(EvalContext&, CallNode& self, Value& out) {
    const Value& n = self.values[0];
    int width = n.width;
    int decimals = n.decimals;
    if (self.values.size() > 1) {
        width = int(std::clamp(ToCount(self.values[1].number), 0L, 255L));
        decimals = 0;
    }
    if (self.values.size() > 2) {
        decimals = int(std::clamp(ToCount(self.values[2].number), 0L, 250L));
    }
    FormatStr(n.number, width, decimals, &self.buffer);
    SetText(out, self.buffer);
}

void EvalStrzero(EvalContext& ctx, CallNode& self, Value& out) {
    EvalStr(ctx, self, out);
    std::string& s = self.buffer;
    if (!s.empty() && s[0] == '*') return;
    size_t minus = s.find('-');
    for (char& c : s) {
        if (c == ' ' || c == '-') c = '0';
    }
    if (minus != std::string::npos) s[0] = '-';
    SetText(out, s);
}

void EvalVal(EvalContext&, CallNode& self, Value& out) {
    std::string_view s = self.values[0].text;
    double n = ParseNumber(s);
    size_t point = s.find('.');
    int decimals = 0;
    if (point != std::string_view::npos) {
        for (size_t i = point + 1; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++decimals;
    }
    SetNumber(out, n, decimals);
}

void EvalAbs(EvalContext&, CallNode& self, Value& out) {
    out = self.values[0];
    out.number = std::fabs(out.number);
}

void EvalInt(EvalContext&, CallNode& self, Value& out) {
    SetNumber(out, std::trunc(self.values[0].number), 0);
}

void EvalRound(EvalContext&, CallNode& self, Value& out) {
    int decimals = int(std::clamp(ToCount(self.values[1].number), -15L, 15L));
    double n = self.values[0].number;
    double result;
    if (decimals >= 0) {
        // Decimal rounding through the text STR gives, so that 2.675 rounds
        // to 2.68 as it reads.
        FormatStr(n, 60, decimals, &self.buffer);
        result = self.buffer[0] == '*' ? n : ParseNumber(self.buffer);
    } else {
        double scale = std::pow(10.0, -decimals);
        result = std::round(n / scale) * scale;
    }
    SetNumber(out, result, std::max(0, decimals));
}

void EvalMin(EvalContext&, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    const Value& b = self.values[1];
    if (a.type == ExprType::kDate)
        out = a.date <= b.date ? a : b;
    else
        out = a.number <= b.number ? a : b;
}

void EvalMax(EvalContext&, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    const Value& b = self.values[1];
    if (a.type == ExprType::kDate)
        out = a.date >= b.date ? a : b;
    else
        out = a.number >= b.number ? a : b;
}

// ---- dates -----------------------------------------------------------------

void EvalDtos(EvalContext&, CallNode& self, Value& out) {
    self.buffer.resize(8);
    FormatDtos(self.values[0].date, self.buffer.data());
    SetText(out, self.buffer);
}

void EvalDtoc(EvalContext& ctx, CallNode& self, Value& out) {
    FormatDateText(self.values[0].date, ctx.options->date_format, &self.buffer);
    SetText(out, self.buffer);
}

void EvalCtod(EvalContext& ctx, CallNode& self, Value& out) {
    SetDate(out, ParseDateText(self.values[0].text, *ctx.options));
}

void EvalStod(EvalContext&, CallNode& self, Value& out) {
    SetDate(out, ParseDtos(self.values[0].text));
}

int32_t Today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void EvalDate(EvalContext& ctx, CallNode&, Value& out) {
    SetDate(out, ctx.options->today ? ctx.options->today() : Today());
}

// part: 'Y', 'M', 'D' or 'W' (day of the week, Sunday 1).
template <char Part>
void EvalDatePart(EvalContext&, CallNode& self, Value& out) {
    int y = 0, m = 0, d = 0;
    int32_t day = self.values[0].date;
    double result = 0;
    if (CivilDate(day, &y, &m, &d)) {
        if (Part == 'Y') result = y;
        if (Part == 'M') result = m;
        if (Part == 'D') result = d;
        if (Part == 'W') result = double((day + 1) % 7 + 1);
    }
    SetNumber(out, result, 0);
}
template void EvalDatePart<'Y'>(EvalContext&, CallNode&, Value&);
template void EvalDatePart<'M'>(EvalContext&, CallNode&, Value&);
template void EvalDatePart<'D'>(EvalContext&, CallNode&, Value&);
template void EvalDatePart<'W'>(EvalContext&, CallNode&, Value&);

// ---- logical and record ----------------------------------------------------

void EvalEmpty(EvalContext&, CallNode& self, Value& out) {
    const Value& v = self.values[0];
    bool empty = false;
    switch (v.type) {
        case ExprType::kCharacter:
            empty = v.text.find_first_not_of(" \t\r\n") == std::string_view::npos;
            break;
        case ExprType::kNumeric:
            empty = v.number == 0;
            break;
        case ExprType::kDate:
            empty = v.date == 0;
            break;
        case ExprType::kLogical:
            empty = !v.logical;
            break;
    }
    SetLogical(out, empty);
}

void EvalRecno(EvalContext& ctx, CallNode&, Value& out) {
    SetNumber(out, double(ctx.record->RecNo()), 0);
}

void EvalDeleted(EvalContext& ctx, CallNode&, Value& out) {
    SetLogical(out, ctx.record->Deleted());
}

// Day number base of DESCEND on dates, so that later dates give smaller numbers.
constexpr int32_t kDescendDateBase = 5231808;

void EvalDescend(EvalContext&, CallNode& self, Value& out) {
    const Value& v = self.values[0];
    switch (v.type) {
        case ExprType::kCharacter: {
            self.buffer.resize(v.text.size());
            for (size_t i = 0; i < v.text.size(); ++i) {
                self.buffer[i] = char(uint8_t(256 - uint8_t(v.text[i])));
            }
            SetText(out, self.buffer);
            break;
        }
        case ExprType::kNumeric:
            out = v;
            out.number = -v.number;
            break;
        case ExprType::kDate:
            SetNumber(out, double(kDescendDateBase - v.date), 0);
            break;
        case ExprType::kLogical:
            SetLogical(out, !v.logical);
            break;
    }
}

// ---- operators -------------------------------------------------------------

bool CheckFinite(EvalContext& ctx, CallNode& self, double n) {
    if (std::isfinite(n)) return true;
    ctx.Fail("Numeric overflow in " + self.name);
    return false;
}

// Decimals of a quotient or power: none when whole, else two.
int FractionDecimals(double n) {
    return n == std::trunc(n) ? 0 : 2;
}

void EvalAdd(EvalContext& ctx, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    const Value& b = self.values[1];
    double n = a.number + b.number;
    if (!CheckFinite(ctx, self, n)) n = 0;
    SetNumber(out, n, std::max(a.decimals, b.decimals));
}

void EvalSub(EvalContext& ctx, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    const Value& b = self.values[1];
    double n = a.number - b.number;
    if (!CheckFinite(ctx, self, n)) n = 0;
    SetNumber(out, n, std::max(a.decimals, b.decimals));
}

void EvalMul(EvalContext& ctx, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    const Value& b = self.values[1];
    double n = a.number * b.number;
    if (!CheckFinite(ctx, self, n)) n = 0;
    SetNumber(out, n, std::min(a.decimals + b.decimals, 15));
}

void EvalDiv(EvalContext& ctx, CallNode& self, Value& out) {
    const Value& b = self.values[1];
    if (b.number == 0) {
        ctx.Fail("Division by zero");
        SetNumber(out, 0, 0);
        return;
    }
    double n = self.values[0].number / b.number;
    if (!CheckFinite(ctx, self, n)) n = 0;
    SetNumber(out, n, FractionDecimals(n));
}

void EvalMod(EvalContext& ctx, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    const Value& b = self.values[1];
    if (b.number == 0) {
        ctx.Fail("Division by zero");
        SetNumber(out, 0, 0);
        return;
    }
    SetNumber(out, std::fmod(a.number, b.number), std::max(a.decimals, b.decimals));
}

void EvalPow(EvalContext& ctx, CallNode& self, Value& out) {
    double n = std::pow(self.values[0].number, self.values[1].number);
    if (!CheckFinite(ctx, self, n)) n = 0;
    SetNumber(out, n, FractionDecimals(n));
}

void EvalConcat(EvalContext&, CallNode& self, Value& out) {
    std::string_view a = self.values[0].text, b = self.values[1].text;
    self.buffer.assign(a);
    self.buffer.append(b);
    SetText(out, self.buffer);
}

// "AB  " - "CD" is "ABCD  ": the left side's trailing blanks move to the end.
void EvalConcatTrim(EvalContext&, CallNode& self, Value& out) {
    std::string_view a = self.values[0].text, b = self.values[1].text;
    std::string_view kept = TrimRight(a);
    self.buffer.assign(kept);
    self.buffer.append(b);
    self.buffer.append(a.size() - kept.size(), ' ');
    SetText(out, self.buffer);
}

void EvalDatePlus(EvalContext&, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    const Value& b = self.values[1];
    const Value& date = a.type == ExprType::kDate ? a : b;
    const Value& days = a.type == ExprType::kDate ? b : a;
    int32_t result = 0;
    if (date.date != 0) {
        int64_t r = int64_t(date.date) + int64_t(ToCount(days.number));
        int y, m, d;
        result = (r > 0 && r < INT32_MAX && CivilDate(int32_t(r), &y, &m, &d) && y <= 9999)
                     ? int32_t(r)
                     : 0;
    }
    SetDate(out, result);
}

void EvalDateMinus(EvalContext&, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    int32_t result = 0;
    if (a.date != 0) {
        int64_t r = int64_t(a.date) - int64_t(ToCount(self.values[1].number));
        int y, m, d;
        result = (r > 0 && r < INT32_MAX && CivilDate(int32_t(r), &y, &m, &d) && y <= 9999)
                     ? int32_t(r)
                     : 0;
    }
    SetDate(out, result);
}

void EvalDateDiff(EvalContext&, CallNode& self, Value& out) {
    SetNumber(out, double(self.values[0].date) - double(self.values[1].date), 0);
}

void EvalNegate(EvalContext&, CallNode& self, Value& out) {
    out = self.values[0];
    out.number = -out.number;
}

void EvalNot(EvalContext&, CallNode& self, Value& out) {
    SetLogical(out, !self.values[0].logical);
}

// Text comparison with SET EXACT OFF: when the common part is equal, a longer
// left side still counts as equal ("ABC" = "AB"), a shorter one as smaller.
int CompareLoose(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : 0;
}

template <typename Cmp>
void CompareWith(CallNode& self, Value& out, Cmp test) {
    const Value& a = self.values[0];
    const Value& b = self.values[1];
    int c = 0;
    switch (a.type) {
        case ExprType::kCharacter:
            c = CompareLoose(a.text, b.text);
            break;
        case ExprType::kNumeric:
            c = a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
            break;
        case ExprType::kDate:
            c = a.date < b.date ? -1 : a.date > b.date ? 1 : 0;
            break;
        case ExprType::kLogical:
            c = int(a.logical) - int(b.logical);
            break;
    }
    SetLogical(out, test(c));
}

void EvalEq(EvalContext&, CallNode& s, Value& o) {
    CompareWith(s, o, [](int c) { return c == 0; });
}
void EvalNe(EvalContext&, CallNode& s, Value& o) {
    CompareWith(s, o, [](int c) { return c != 0; });
}
void EvalLt(EvalContext&, CallNode& s, Value& o) {
    CompareWith(s, o, [](int c) { return c < 0; });
}
void EvalLe(EvalContext&, CallNode& s, Value& o) {
    CompareWith(s, o, [](int c) { return c <= 0; });
}
void EvalGt(EvalContext&, CallNode& s, Value& o) {
    CompareWith(s, o, [](int c) { return c > 0; });
}
void EvalGe(EvalContext&, CallNode& s, Value& o) {
    CompareWith(s, o, [](int c) { return c >= 0; });
}

void EvalExactEq(EvalContext& ctx, CallNode& self, Value& out) {
    const Value& a = self.values[0];
    if (a.type == ExprType::kCharacter) {
        SetLogical(out, a.text == self.values[1].text);
    } else {
        EvalEq(ctx, self, out);
    }
}

void EvalContains(EvalContext&, CallNode& self, Value& out) {
    std::string_view needle = self.values[0].text, hay = self.values[1].text;
    SetLogical(out, !needle.empty() && hay.find(needle) != std::string_view::npos);
}


const char* TypeWord(ExprType type) {
    switch (type) {
        case ExprType::kCharacter:
            return "character";
        case ExprType::kNumeric:
            return "numeric";
        case ExprType::kDate:
            return "date";
        case ExprType::kLogical:
            return "logical";
    }
    return "unknown";
}


CallFn ArithmeticFn(char op, ExprType a, ExprType b) {
    using T = ExprType;
    if (a == T::kNumeric && b == T::kNumeric) {
        switch (op) {
            case '+':
                return EvalAdd;
            case '-':
                return EvalSub;
            case '*':
                return EvalMul;
            case '/':
                return EvalDiv;
            case '%':
                return EvalMod;
            case '^':
                return EvalPow;
        }
        return nullptr;
    }
    if (a == T::kCharacter && b == T::kCharacter) {
        return op == '+' ? EvalConcat : op == '-' ? EvalConcatTrim : nullptr;
    }
    if (op == '+' && ((a == T::kDate && b == T::kNumeric) || (a == T::kNumeric && b == T::kDate))) {
        return EvalDatePlus;
    }
    if (op == '-' && a == T::kDate && b == T::kNumeric) return EvalDateMinus;
    if (op == '-' && a == T::kDate && b == T::kDate) return EvalDateDiff;
    return nullptr;
}

CallFn CompareFn(std::string_view op, ExprType type) {
    if (op == "$") return type == ExprType::kCharacter ? EvalContains : nullptr;
    if (op == "=") return EvalEq;
    if (op == "==") return EvalExactEq;
    if (op == "!=" || op == "<>" || op == "#") return EvalNe;
    if (op == "<") return EvalLt;
    if (op == "<=") return EvalLe;
    if (op == ">") return EvalGt;
    if (op == ">=") return EvalGe;
    return nullptr;
}

CallFn NegateFn() {
    return EvalNegate;
}
CallFn NotFn() {
    return EvalNot;
}

}  // namespace sde
