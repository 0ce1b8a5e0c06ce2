#include "common/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace zer1 {
namespace {

// Unicode code points of the bytes 0x80 to 0x9F in Windows-1252.  The five
// bytes the code page leaves undefined map to the C1 control of the same
// value, so that they survive a round trip.
// clang-format off
constexpr char16_t kWindows1252C1[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
// clang-format on

// Unicode code points of the bytes 0x80 to 0xFF in code page 850.
// clang-format off
constexpr char16_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

// Unicode code points of the bytes 0x80 to 0xFF in code page 437.
// clang-format off
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

// Reverse lookup for the upper half of an 8-bit code page: pairs of
// (code point, byte), sorted by code point.
using ReverseTable = std::array<std::pair<char16_t, uint8_t>, 128>;

constexpr ReverseTable MakeReverse(const char16_t (&high)[128]) {
    ReverseTable table{};
    for (int i = 0; i < 128; ++i) table[i] = {high[i], uint8_t(0x80 + i)};
    std::sort(table.begin(), table.end());
    return table;
}

constexpr ReverseTable kCp850Reverse = MakeReverse(kCp850High);

// The Windows-1252 byte of a code point, "?" when the code page lacks it.
char Windows1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return char(cp);
    for (int i = 0; i < 32; ++i) {
        if (kWindows1252C1[i] == cp) return char(0x80 + i);
    }
    return '?';
}

char LookUp(const ReverseTable& table, char32_t code_point) {
    auto it = std::lower_bound(table.begin(), table.end(), code_point,
                               [](const auto& entry, char32_t cp) { return entry.first < cp; });
    if (it != table.end() && it->first == code_point) return char(it->second);
    return '?';
}

std::string DecodeHighTable(std::string_view bytes, const char16_t (&high)[128]) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const uint8_t b = uint8_t(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            AppendUtf8(out, high[b - 0x80]);
        }
    }
    return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacementCharacter;
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    const uint8_t lead = uint8_t(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length;
    char32_t cp;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        ++pos;
        return kReplacementCharacter;
    }
    if (text.size() - pos < std::size_t(length)) {
        ++pos;
        return kReplacementCharacter;
    }
    for (int i = 1; i < length; ++i) {
        const uint8_t b = uint8_t(text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return kReplacementCharacter;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kReplacementCharacter;
    }
    pos += length;
    return cp;
}

std::size_t CodePointCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) NextCodePoint(text, pos);
    return count;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        if (NextCodePoint(text, pos) == kReplacementCharacter &&
            text.substr(start, 3) != "\xEF\xBF\xBD") {
            return false;
        }
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const uint8_t b = uint8_t(c);
        if (b < 0x80) {
            out.push_back(c);
        } else if (b < 0xA0) {
            AppendUtf8(out, kWindows1252C1[b - 0x80]);
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}

std::string Utf8ToWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        out.push_back(Windows1252Byte(NextCodePoint(text, pos)));
    }
    return out;
}

std::string Cp850ToUtf8(std::string_view bytes) {
    return DecodeHighTable(bytes, kCp850High);
}

std::string Utf8ToCp850(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t cp = NextCodePoint(text, pos);
        out.push_back(cp < 0x80 ? char(cp) : LookUp(kCp850Reverse, cp));
    }
    return out;
}

std::string Cp437ToUtf8(std::string_view bytes) {
    return DecodeHighTable(bytes, kCp437High);
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    Utf16LeToUtf8(bytes, out);
    return out;
}

void Utf16LeToUtf8(std::string_view bytes, std::string& out) {
    out.clear();
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto unit_at = [&](std::size_t i) {
        return char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = unit_at(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char16_t low = unit_at(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, u);  // a lone surrogate becomes U+FFFD here
    }
    if (bytes.size() % 2 != 0) AppendUtf8(out, kReplacementCharacter);
}

void Utf16LeToWindows1252(std::string_view bytes, std::string& out) {
    const std::size_t units = bytes.size() / 2;
    // One byte per unit at most (a pair gives one), plus one for a dangling byte.
    out.resize(units + 1);
    char* next = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = char16_t(in[2 * i] | (in[2 * i + 1] << 8));
        if (u < 0x80) {
            *next++ = char(u);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            // Every character outside the basic plane is missing from the
            // code page, so a valid pair gives one "?" just as a broken unit does.
            if (u <= 0xDBFF && i + 1 < units) {
                const char16_t low = char16_t(in[2 * i + 2] | (in[2 * i + 3] << 8));
                if (low >= 0xDC00 && low <= 0xDFFF) ++i;
            }
            *next++ = '?';
        } else {
            *next++ = Windows1252Byte(u);
        }
    }
    if (bytes.size() % 2 != 0) *next++ = '?';
    out.resize(static_cast<std::size_t>(next - out.data()));
}

}  // namespace zer1
