// Conversions between values and text: numbers (STR, stored numeric fields),
// dates (day numbers, DTOS, DTOC, CTOD) and NTX key bytes.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>

#include "expr/expr_node.h"

namespace sde {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2) {
        bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return kDays[month - 1];
}

// Adds one to the decimal digits in digits[0..n), returning true when the
// carry runs out of the front ("999" -> "000" + carry).
bool IncrementDigits(char* digits, size_t n) {
    for (size_t i = n; i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t DayNumber(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month)) {
        return 0;
    }
    int a = (14 - month) / 12;
    int y = year + 4800 - a;
    int m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

bool CivilDate(int32_t day_number, int* year, int* month, int* day) {
    if (day_number <= 0) return false;
    int64_t a = int64_t(day_number) + 32044;
    int64_t b = (4 * a + 3) / 146097;
    int64_t c = a - 146097 * b / 4;
    int64_t d = (4 * c + 3) / 1461;
    int64_t e = c - 1461 * d / 4;
    int64_t m = (5 * e + 2) / 153;
    *day = int(e - (153 * m + 2) / 5 + 1);
    *month = int(m + 3 - 12 * (m / 10));
    *year = int(100 * b + d - 4800 + m / 10);
    return *year >= 1 && *year <= 9999;
}

int32_t ParseDtos(std::string_view text) {
    if (text.size() < 8) return 0;
    int parts[3] = {0, 0, 0};
    static const int kLengths[3] = {4, 2, 2};
    size_t pos = 0;
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < kLengths[p]; ++i, ++pos) {
            if (!IsDigit(text[pos])) return 0;
            parts[p] = parts[p] * 10 + (text[pos] - '0');
        }
    }
    return DayNumber(parts[0], parts[1], parts[2]);
}

void FormatDtos(int32_t day_number, char* out) {
    int y, m, d;
    if (!CivilDate(day_number, &y, &m, &d) || y > 9999) {
        std::memset(out, ' ', 8);
        return;
    }
    int values[3] = {y, m, d};
    static const int kLengths[3] = {4, 2, 2};
    size_t pos = 0;
    for (int p = 0; p < 3; ++p) {
        for (int i = kLengths[p] - 1; i >= 0; --i) {
            out[pos + size_t(i)] = char('0' + values[p] % 10);
            values[p] /= 10;
        }
        pos += size_t(kLengths[p]);
    }
}

namespace {

// Writes the digits of |number| rounded to `decimals` into body: one carry
// digit, the integer digits, then exactly `decimals` fraction digits.
// Returns the number of digits, or 0 when they do not fit body.
size_t RoundedDigits(double number, int decimals, char* body, size_t capacity) {
    const double magnitude = std::fabs(number);
    // Most numbers come from fields with no more decimals than asked for.
    // Then |number| x 10^decimals is a whole number that divides back to the
    // very same double.  Below 2^51 the doubles lie closer together than half
    // a unit of the last decimal, so the text the search below would find
    // rounds to exactly these digits: they are the answer without the search.
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (decimals < int(std::size(kPowersOfTen))) {
        const double scale = kPowersOfTen[decimals];
        const double scaled = std::nearbyint(magnitude * scale);
        if (scaled < 0x1p51 && scaled / scale == magnitude) {
            char text[24];
            auto [end, ec] = std::to_chars(text, text + sizeof text, uint64_t(scaled));
            size_t n = size_t(end - text);
            // At least one integer digit before the decimals, plus the carry digit.
            size_t size = 1 + std::max(n, size_t(decimals) + 1);
            if (ec != std::errc() || size > capacity) return 0;
            std::memset(body, '0', size - n);
            std::memcpy(body + (size - n), text, n);
            return size;
        }
    }
    // The shortest text that reads back as the same double ("2.675" for
    // 2.675), rounded half away from zero in decimal: what a user expects
    // of the number he sees.
    char digits[64];
    auto [end, ec] =
        std::to_chars(digits, digits + sizeof(digits), magnitude, std::chars_format::fixed);
    if (ec != std::errc()) return 0;
    std::string_view text(digits, size_t(end - digits));
    size_t point = text.find('.');
    std::string_view integer = text.substr(0, point);
    std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    size_t size = 1 + integer.size() + size_t(decimals);
    if (size > capacity) return 0;
    body[0] = '0';
    std::memcpy(body + 1, integer.data(), integer.size());
    for (int i = 0; i < decimals; ++i) {
        body[1 + integer.size() + size_t(i)] =
            size_t(i) < fraction.size() ? fraction[size_t(i)] : '0';
    }
    if (fraction.size() > size_t(decimals) && fraction[size_t(decimals)] >= '5') {
        IncrementDigits(body, size);
    }
    return size;
}

}  // namespace

void FormatStr(double number, int width, int decimals, std::string* out) {
    out->clear();
    if (width <= 0) return;
    if (decimals < 0) decimals = 0;
    if (!std::isfinite(number) || std::fabs(number) >= 1e30) {
        out->assign(size_t(width), '*');
        return;
    }
    // Kept on the stack so that STR allocates nothing.
    char body[320];
    size_t body_size = RoundedDigits(number, decimals, body, sizeof body);
    if (body_size == 0) {
        out->assign(size_t(width), '*');
        return;
    }
    size_t int_len = body_size - size_t(decimals);
    size_t first = 0;
    while (first + 1 < int_len && body[first] == '0') ++first;
    bool all_zero = std::all_of(body, body + body_size, [](char c) { return c == '0'; });
    bool negative = number < 0 && !all_zero;

    size_t length =
        (negative ? 1 : 0) + (int_len - first) + (decimals > 0 ? size_t(decimals) + 1 : 0);
    if (length > size_t(width)) {
        out->assign(size_t(width), '*');
        return;
    }
    out->assign(size_t(width) - length, ' ');
    if (negative) out->push_back('-');
    out->append(body + first, int_len - first);
    if (decimals > 0) {
        out->push_back('.');
        out->append(body + int_len, size_t(decimals));
    }
}

double ParseNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    char clean[80];
    size_t n = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        if (text[i] == '-') clean[n++] = '-';
        ++i;
        while (i < text.size() && text[i] == ' ') ++i;
    }
    bool any_digit = false;
    bool point = false;
    for (; i < text.size() && n + 1 < sizeof(clean); ++i) {
        char c = text[i];
        if (IsDigit(c)) {
            clean[n++] = c;
            any_digit = true;
        } else if (c == '.' && !point) {
            clean[n++] = c;
            point = true;
        } else {
            break;
        }
    }
    if (!any_digit) return 0;
    double value = 0;
    std::from_chars(clean, clean + n, value, std::chars_format::fixed);
    return value;
}

void SetNumber(Value& out, double number, int decimals) {
    out.type = ExprType::kNumeric;
    out.number = number;
    out.decimals = int16_t(decimals);
    int digits = std::fabs(number) >= 1e10 ? 20 : 10;
    out.width = int16_t(digits + (decimals > 0 ? decimals + 1 : 0));
}

void FormatDateText(int32_t day_number, const std::string& format, std::string* out) {
    out->clear();
    int y = 0, m = 0, d = 0;
    bool empty = !CivilDate(day_number, &y, &m, &d);
    for (size_t i = 0; i < format.size();) {
        char c = char(format[i] & ~0x20);
        size_t run = 1;
        while (i + run < format.size() && char(format[i + run] & ~0x20) == c) ++run;
        int value = -1;
        if (c == 'D' && run == 2) value = d;
        if (c == 'M' && run == 2) value = m;
        if (c == 'Y' && (run == 2 || run == 4)) value = run == 2 ? y % 100 : y;
        if (value < 0) {
            out->append(format, i, run);
        } else if (empty) {
            out->append(run, ' ');
        } else {
            char digits[4];
            for (size_t k = run; k-- > 0;) {
                digits[k] = char('0' + value % 10);
                value /= 10;
            }
            out->append(digits, run);
        }
        i += run;
    }
}

int32_t ParseDateText(std::string_view text, const ExprOptions& options) {
    // Takes the numbers of the text in the order the format names D, M and Y;
    // any non-digit separates them.
    const std::string& format = options.date_format;
    char order[3];
    int count = 0;
    for (size_t i = 0; i < format.size() && count < 3;) {
        char c = char(format[i] & ~0x20);
        size_t run = 1;
        while (i + run < format.size() && char(format[i + run] & ~0x20) == c) ++run;
        if (c == 'D' || c == 'M' || c == 'Y') {
            order[count++] = c;
        }
        i += run;
    }
    if (count != 3) return 0;
    int numbers[3] = {0, 0, 0};
    int year_digits = 0;
    int found = 0;
    size_t i = 0;
    while (found < 3) {
        while (i < text.size() && !IsDigit(text[i])) ++i;
        if (i == text.size()) return 0;
        int value = 0;
        int digits = 0;
        while (i < text.size() && IsDigit(text[i]) && digits < 5) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (order[found] == 'Y') year_digits = digits;
        numbers[found++] = value;
    }
    int y = 0, m = 0, d = 0;
    for (int k = 0; k < 3; ++k) {
        if (order[k] == 'D') d = numbers[k];
        if (order[k] == 'M') m = numbers[k];
        if (order[k] == 'Y') y = numbers[k];
    }
    // A year written with more than two digits is taken as written.
    if (year_digits <= 2) {
        int base = options.epoch;
        int candidate = (base / 100) * 100 + y;
        if (candidate < base) candidate += 100;
        y = candidate;
    }
    return DayNumber(y, m, d);
}

void ValueAsText(const Value& value, const ExprOptions& options, std::string* out) {
    switch (value.type) {
        case ExprType::kCharacter:
            out->assign(value.text);
            break;
        case ExprType::kNumeric: {
            FormatStr(value.number, value.width, value.decimals, out);
            size_t first = out->find_first_not_of(' ');
            out->erase(0, first == std::string::npos ? out->size() : first);
            break;
        }
        case ExprType::kDate:
            FormatDateText(value.date, options.date_format, out);
            break;
        case ExprType::kLogical:
            out->assign(1, value.logical ? 'T' : 'F');
            break;
    }
}

Status KeyBytes(const Value& value, int width, int decimals, std::string* out) {
    if (width <= 0) return Status::InvalidArgument("Key width must be positive");
    switch (value.type) {
        case ExprType::kCharacter:
            out->assign(value.text.substr(0, size_t(width)));
            out->resize(size_t(width), ' ');
            return Status::OK();
        case ExprType::kDate: {
            char text[8];
            FormatDtos(value.date, text);
            out->assign(text, size_t(width) < sizeof(text) ? size_t(width) : sizeof(text));
            out->resize(size_t(width), ' ');
            return Status::OK();
        }
        case ExprType::kLogical:
            out->assign(size_t(width), ' ');
            (*out)[0] = value.logical ? 'T' : 'F';
            return Status::OK();
        case ExprType::kNumeric:
            break;
    }
    FormatStr(value.number, width, decimals, out);
    if (!out->empty() && (*out)[0] == '*') {
        return Status::InvalidArgument("Number does not fit the key width of " +
                                       std::to_string(width));
    }
    bool negative = out->find('-') != std::string::npos;
    for (char& c : *out) {
        if (c == ' ' || c == '-') c = '0';
        if (negative && IsDigit(c)) c = char(44 - (c - '0'));
    }
    return Status::OK();
}

}  // namespace sde
