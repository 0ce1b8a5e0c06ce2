#include "field_value.h"

#include <cctype>

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

Result<std::string> FormatNumber(std::string_view raw, const FieldDesc& field) {
    std::string_view text = Trim(raw);
    if (text.empty()) return std::string(field.width, ' ');
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        text = Trim(text);
    }
    std::string int_digits, frac_digits;
    bool seen_point = false;
    for (char c : text) {
        if (c == '.' && !seen_point) {
            seen_point = true;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            (seen_point ? frac_digits : int_digits) += c;
        } else {
            return NotANumber(raw, field);
        }
    }
    if (int_digits.empty() && frac_digits.empty()) return NotANumber(raw, field);

    // Round the fraction to the field's decimals, carrying into the integer part.
    size_t decimals = field.decimals;
    bool round_up = frac_digits.size() > decimals && frac_digits[decimals] >= '5';
    frac_digits.resize(decimals, '0');
    std::string digits = int_digits + frac_digits;
    if (digits.empty()) digits = "0";
    if (round_up) {
        size_t i = digits.size();
        while (i > 0) {
            --i;
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                break;
            }
            if (i == 0) digits.insert(digits.begin(), '1');
        }
    }
    std::string int_part = digits.substr(0, digits.size() - decimals);
    std::string frac_part = digits.substr(digits.size() - decimals);
    size_t first = int_part.find_first_not_of('0');
    int_part = first == std::string::npos ? "0" : int_part.substr(first);
    bool zero = int_part == "0" && frac_part.find_first_not_of('0') == std::string::npos;

    std::string out = (negative && !zero ? "-" : "") + int_part;
    if (decimals > 0) out += "." + frac_part;
    if (out.size() > field.width) {
        return Status::InvalidArgument("the value " + std::string(Trim(raw)) +
                                       " does not fit field " + field.name + " (width " +
                                       std::to_string(field.width) + ", " +
                                       std::to_string(field.decimals) + " decimals)");
    }
    return std::string(field.width - out.size(), ' ') + out;
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
