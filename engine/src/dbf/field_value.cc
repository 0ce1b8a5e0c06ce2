#include "dbf/field_value.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace sde {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

Status NotANumber(std::string_view text, const FieldDesc& field) {
    return Status::InvalidArgument("\"" + std::string(text) + "\" is not a number (field " +
                                   field.name + ")");
}

}  // namespace

bool IsStoredNumberForm(std::string_view stored, const FieldDesc& field) {
    const size_t n = stored.size();
    if (n != field.width) return false;
    size_t pos = 0;
    while (pos < n && stored[pos] == ' ') ++pos;
    const bool negative = pos < n && stored[pos] == '-';
    if (negative) ++pos;
    auto digit = [&](size_t i) { return stored[i] >= '0' && stored[i] <= '9'; };
    const size_t int_start = pos;
    bool zero = true;
    for (; pos < n && digit(pos); ++pos) {
        if (stored[pos] != '0') zero = false;
    }
    const size_t int_len = pos - int_start;
    if (int_len == 0 || (int_len > 1 && stored[int_start] == '0')) return false;
    if (field.decimals > 0) {
        if (n - pos != 1 + size_t(field.decimals) || stored[pos] != '.') return false;
        for (++pos; pos < n; ++pos) {
            if (!digit(pos)) return false;
            if (stored[pos] != '0') zero = false;
        }
    }
    return pos == n && !(negative && zero);
}

Result<std::string> FormatNumber(std::string_view raw, const FieldDesc& field) {
    std::string_view text = Trim(raw);
    if (text.empty()) return std::string(field.width, ' ');
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        text = Trim(text);
    }
    // The digits as they will be stored, in one buffer on the stack: a carry
    // digit, the integer part without leading zeros, the fraction cut to the
    // field's decimals.  The first fraction digit behind those decides the
    // rounding.  Integer digits beyond the field's width are only counted:
    // such a value cannot fit.
    const size_t width = field.width;
    const size_t decimals = field.decimals;
    char stack_digits[1 + 32 + 32];
    std::string wide_digits;  // only for fields too wide for the stack buffer
    char* digits = stack_digits;
    if (1 + width + decimals > sizeof stack_digits) {
        wide_digits.resize(1 + width + decimals);
        digits = wide_digits.data();
    }
    char* integer = digits + 1;
    size_t int_count = 0;
    size_t frac_count = 0;
    bool any_digit = false;
    bool seen_point = false;
    char rounding_digit = '0';
    for (char c : text) {
        if (c == '.' && !seen_point) {
            seen_point = true;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            any_digit = true;
            if (!seen_point) {
                if (int_count == 0 && c == '0') continue;
                if (int_count < width) integer[int_count] = c;
                ++int_count;
            } else if (frac_count < decimals) {
                integer[std::min(int_count, width) + frac_count++] = c;
            } else if (frac_count++ == decimals) {
                rounding_digit = c;
            }
        } else {
            return NotANumber(raw, field);
        }
    }
    if (!any_digit) return NotANumber(raw, field);
    auto too_wide = [&] {
        return Status::InvalidArgument("the value " + std::string(Trim(raw)) +
                                       " does not fit field " + field.name + " (width " +
                                       std::to_string(field.width) + ", " +
                                       std::to_string(field.decimals) + " decimals)");
    };
    if (int_count > width) return too_wide();
    const size_t kept_fraction = std::min(frac_count, decimals);
    for (size_t i = kept_fraction; i < decimals; ++i) integer[int_count + i] = '0';

    // Round half up, carrying into the integer part (and the carry digit).
    digits[0] = '0';
    size_t body_size = 1 + int_count + decimals;
    if (rounding_digit >= '5') {
        for (size_t i = body_size; i-- > 0;) {
            if (digits[i] != '9') {
                ++digits[i];
                break;
            }
            digits[i] = '0';
        }
    }
    // The integer part starts at its first non-zero digit; "0" when there is none.
    size_t int_end = 1 + int_count;
    size_t int_start = 0;
    while (int_start < int_end && digits[int_start] == '0') ++int_start;
    bool zero = int_start == int_end;
    for (size_t i = int_end; zero && i < body_size; ++i) zero = digits[i] == '0';
    if (int_start == int_end) --int_start;  // keeps one "0"

    const size_t int_len = int_end - int_start;
    const size_t size = (negative && !zero ? 1 : 0) + int_len + (decimals > 0 ? 1 + decimals : 0);
    if (size > width) return too_wide();
    std::string out(width, ' ');
    char* w = out.data() + (width - size);
    if (negative && !zero) *w++ = '-';
    std::memcpy(w, digits + int_start, int_len);
    w += int_len;
    if (decimals > 0) {
        *w++ = '.';
        std::memcpy(w, digits + int_end, decimals);
    }
    return out;
}

Result<std::string> FormatFieldValue(std::string_view text, const FieldDesc& field) {
    switch (field.type) {
        case 'N':
        case 'F':
            return FormatNumber(text, field);
        case 'D': {
            std::string_view t = Trim(text);
            if (t.empty()) return std::string(8, ' ');
            bool digits = t.size() == 8;
            for (char c : t) digits = digits && std::isdigit(static_cast<unsigned char>(c));
            if (!digits) {
                return Status::InvalidArgument("\"" + std::string(text) +
                                               "\" is not a date YYYYMMDD (field " + field.name +
                                               ")");
            }
            return std::string(t);
        }
        case 'L': {
            std::string_view t = Trim(text);
            while (!t.empty() && t.front() == '.') t.remove_prefix(1);
            if (t.empty()) return std::string(" ");
            char c = char(std::toupper(static_cast<unsigned char>(t.front())));
            if (c == 'T' || c == 'Y') return std::string("T");
            if (c == 'F' || c == 'N') return std::string("F");
            if (c == '?') return std::string("?");
            return Status::InvalidArgument("\"" + std::string(text) +
                                           "\" is not a logical value (field " + field.name + ")");
        }
        case 'M':
            return Status::InvalidArgument("memo field " + field.name +
                                           " is written through its memo text");
        default: {
            std::string out(text.substr(0, field.width));
            out.resize(field.width, ' ');
            return out;
        }
    }
}

int64_t ParseMemoPointer(const char* data, size_t width) {
    std::string_view digits = Trim(std::string_view(data, width));
    while (!digits.empty() && digits.front() == '\0') digits.remove_prefix(1);
    int64_t value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
        value = value * 10 + (c - '0');
        if (value > UINT32_MAX) return -1;
    }
    return value;
}

std::string FormatMemoPointer(uint32_t block, uint32_t width) {
    if (block == 0) return std::string(width, ' ');
    std::string digits = std::to_string(block);
    return std::string(width > digits.size() ? width - digits.size() : 0, ' ') + digits;
}

std::string MaskedValue(const FieldDesc& field) {
    switch (field.type) {
        case 'C':
            return std::string(field.width, '*');
        case 'N':
        case 'F': {
            auto zero = FormatNumber("0", field);
            return zero.ok() ? *zero : std::string(field.width, ' ');
        }
        case 'L':
            return "F";
        default:
            return std::string(field.width, ' ');
    }
}

}  // namespace sde
