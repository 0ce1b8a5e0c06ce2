#include "storage/apollo_field.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "common/text_encoding.h"
#include "storage/apollo_table.h"
#include "storage/number_text.h"

namespace zer1 {

namespace {

// A stored text without its trailing blanks and NULs.
std::string_view trimmedText(std::string_view text) {
    size_t length = text.size();
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\0')) --length;
    return text.substr(0, length);
}

bool isAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::string trimBlanks(std::string_view text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

int digitsValue(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::optional<TDate> parseDate(std::string_view text) {
    int y = 0, m = 0, d = 0;
    if (text.size() == 8 && allDigits(text)) {
        y = digitsValue(text.substr(0, 4));
        m = digitsValue(text.substr(4, 2));
        d = digitsValue(text.substr(6, 2));
    } else if (text.size() == 10 && text[2] == '.' && text[5] == '.' &&
               allDigits(text.substr(0, 2)) && allDigits(text.substr(3, 2)) &&
               allDigits(text.substr(6, 4))) {
        d = digitsValue(text.substr(0, 2));
        m = digitsValue(text.substr(3, 2));
        y = digitsValue(text.substr(6, 4));
    } else {
        return std::nullopt;
    }
    TDate date{std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
    if (!date.ok()) return std::nullopt;
    return date;
}

std::string twoDigits(unsigned v) {
    return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10);
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

TFieldKind FieldKindOf(char typeLetter, int width, int decimals) {
    switch (typeLetter) {
        case 'N':
            return decimals == 0 && width <= 4 ? TFieldKind::SmallInt : TFieldKind::Float;
        case 'F':
            return TFieldKind::Float;
        case 'I':
            return TFieldKind::Integer;
        case 'D':
            return TFieldKind::Date;
        case 'L':
            return TFieldKind::Logical;
        case 'M':
            return TFieldKind::Memo;
        case 'B':
        case 'G':
        case 'P':
            return TFieldKind::Blob;
        default:
            return TFieldKind::Text;
    }
}

TApolloField::TApolloField(TApolloTable& table, int index, std::string name, char typeLetter,
                           int width, int decimals, int offset)
    : table_(table),
      index_(index),
      name_(std::move(name)),
      typeLetter_(typeLetter),
      width_(width),
      decimals_(decimals),
      offset_(offset),
      kind_(FieldKindOf(typeLetter, width, decimals)) {}

std::string TApolloField::storedBytes() const {
    std::string_view view = storedView();
    return view.empty() ? std::string(width_, ' ') : std::string(view);
}

std::string_view TApolloField::storedView() const {
    const std::string& record = table_.record_;
    if (offset_ + width_ > static_cast<int>(record.size())) return {};
    return std::string_view(record).substr(offset_, width_);
}

void TApolloField::storeBytes(std::string_view bytes) {
    table_.requireEditing();
    std::string& record = table_.record_;
    if (offset_ + width_ > static_cast<int>(record.size())) record.resize(offset_ + width_, ' ');
    // Cut to the field width, padded with blanks, written in place.
    const size_t width = static_cast<size_t>(width_);
    const size_t copied = bytes.size() < width ? bytes.size() : width;
    char* target = record.data() + offset_;
    std::memcpy(target, bytes.data(), copied);
    std::memset(target + copied, ' ', width - copied);
    table_.modified_ = true;
}

void TApolloField::requireKind(bool ok, const char* what) const {
    if (!ok) {
        throw EApolloError("Field '" + name_ + "' cannot be accessed as " + what);
    }
}

bool TApolloField::IsNull() const {
    if (kind_ == TFieldKind::Memo || kind_ == TFieldKind::Blob) {
        return table_.memoText(*this).empty();
    }
    if (kind_ == TFieldKind::Integer) return false;
    return IsBlank(storedBytes());
}

std::string TApolloField::AsString() const {
    switch (kind_) {
        case TFieldKind::Text: {
            std::string_view text = trimmedText(storedView());
            // Plain ASCII reads the same in both code pages.
            return isAscii(text) ? std::string(text) : Windows1252ToUtf8(text);
        }
        case TFieldKind::Float:
        case TFieldKind::SmallInt:
            return trimBlanks(storedBytes());
        case TFieldKind::Integer:
            return std::to_string(AsInteger());
        case TFieldKind::Date: {
            auto date = AsDate();
            if (!date) return {};
            return twoDigits(static_cast<unsigned>(date->day())) + "." +
                   twoDigits(static_cast<unsigned>(date->month())) + "." +
                   std::to_string(static_cast<int>(date->year()));
        }
        case TFieldKind::Logical:
            if (IsNull()) return {};
            return AsBoolean() ? "T" : "F";
        case TFieldKind::Memo:
            return Windows1252ToUtf8(table_.memoText(*this));
        case TFieldKind::Blob:
            return table_.memoText(*this);
    }
    return {};
}

void TApolloField::SetAsString(const std::string& value) {
    switch (kind_) {
        case TFieldKind::Text:
            if (isAscii(value)) {
                storeBytes(value);
            } else {
                storeBytes(Utf8ToWindows1252(value));
            }
            return;
        case TFieldKind::Float:
        case TFieldKind::SmallInt:
        case TFieldKind::Integer: {
            std::string text = trimBlanks(value);
            if (text.empty()) {
                Clear();
                return;
            }
            std::string normalized = text;
            if (auto comma = normalized.find(','); comma != std::string::npos) {
                normalized[comma] = '.';
            }
            const char* begin = normalized.data();
            if (normalized[0] == '+') ++begin;
            double number = 0.0;
            auto [ptr, ec] = std::from_chars(begin, normalized.data() + normalized.size(), number);
            if (ec != std::errc() || ptr != normalized.data() + normalized.size()) {
                throw EApolloError("'" + value + "' is not a valid number for field '" + name_ +
                                   "'");
            }
            if (kind_ == TFieldKind::Integer) {
                SetAsInteger(static_cast<int>(std::llround(number)));
            } else {
                storeNumber(number);
            }
            return;
        }
        case TFieldKind::Date: {
            std::string text = trimBlanks(value);
            if (text.empty()) {
                Clear();
                return;
            }
            auto date = parseDate(text);
            if (!date) {
                throw EApolloError("'" + value + "' is not a valid date for field '" + name_ + "'");
            }
            SetAsDate(*date);
            return;
        }
        case TFieldKind::Logical: {
            std::string text = lowerAscii(trimBlanks(value));
            if (text.empty()) {
                Clear();
            } else if (text == "t" || text == "y" || text == "true") {
                SetAsBoolean(true);
            } else if (text == "f" || text == "n" || text == "false") {
                SetAsBoolean(false);
            } else {
                throw EApolloError("'" + value + "' is not a valid logical value for field '" +
                                   name_ + "'");
            }
            return;
        }
        case TFieldKind::Memo:
            table_.setPendingMemo(*this, Utf8ToWindows1252(value));
            return;
        case TFieldKind::Blob:
            table_.setPendingMemo(*this, value);
            return;
    }
}

void TApolloField::SetStoredText(std::string_view bytes) {
    requireKind(kind_ == TFieldKind::Text, "text");
    storeBytes(bytes);
}

void TApolloField::Assign(const TApolloField& source) {
    const bool number = kind_ == TFieldKind::Float || kind_ == TFieldKind::SmallInt;
    if (number && source.kind_ == kind_ && source.width_ == width_ &&
        source.decimals_ == decimals_ && &source.table_ != &table_) {
        // A number of the same shape, stored as this layer writes numbers:
        // copied as it stands, which is what the text detour through a
        // double stores too (short of the digits a double cannot hold).
        std::string_view bytes = source.storedView();
        if (bytes.size() == static_cast<std::size_t>(width_) &&
            IsCanonicalNumberField(bytes, decimals_)) {
            storeBytes(bytes);
            return;
        }
    }
    if (kind_ != TFieldKind::Text || source.kind_ != TFieldKind::Text) {
        SetAsString(source.AsString());
        return;
    }
    // Every Windows-1252 byte survives the way to UTF-8 and back unchanged,
    // so the trimmed stored bytes are what the text detour would store.
    std::string_view bytes = trimmedText(source.storedView());
    if (&source.table_ == &table_) {
        // Both fields share one record: copy before writing into it.
        storeBytes(std::string(bytes));
    } else {
        storeBytes(bytes);
    }
}

double TApolloField::AsFloat() const {
    switch (kind_) {
        case TFieldKind::Float:
        case TFieldKind::SmallInt:
            return ParseNumberField(storedBytes());
        case TFieldKind::Integer:
            return AsInteger();
        default:
            requireKind(false, "a number");
    }
    return 0.0;
}

void TApolloField::storeNumber(double value) {
    auto text = FormatNumberField(value, width_, decimals_);
    if (!text) {
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
        std::string shown = ec == std::errc() ? std::string(buf, end) : "?";
        throw EApolloError("Value " + shown + " does not fit into field '" + name_ + "' (width " +
                           std::to_string(width_) + ", " + std::to_string(decimals_) +
                           " decimals)");
    }
    storeBytes(*text);
}

void TApolloField::SetAsFloat(double value) {
    switch (kind_) {
        case TFieldKind::Float:
        case TFieldKind::SmallInt:
            storeNumber(value);
            return;
        case TFieldKind::Integer:
            requireKind(std::isfinite(value) && std::fabs(value) < 2147483648.0, "this number");
            SetAsInteger(static_cast<int>(std::llround(value)));
            return;
        default:
            requireKind(false, "a number");
    }
}

int TApolloField::AsInteger() const {
    switch (kind_) {
        case TFieldKind::Float:
            return static_cast<int>(std::llround(AsFloat()));
        case TFieldKind::SmallInt: {
            double value = ParseNumberField(storedBytes());
            return static_cast<int16_t>(std::llround(value));
        }
        case TFieldKind::Integer: {
            std::string bytes = storedBytes();
            if (bytes.size() < 4) return 0;
            uint32_t v = 0;
            for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
            return static_cast<int32_t>(v);
        }
        default:
            requireKind(false, "an integer");
    }
    return 0;
}

void TApolloField::SetAsInteger(int value) {
    switch (kind_) {
        case TFieldKind::Float:
            storeNumber(value);
            return;
        case TFieldKind::SmallInt:
            requireKind(value >= std::numeric_limits<int16_t>::min() &&
                            value <= std::numeric_limits<int16_t>::max(),
                        "this number");
            storeNumber(value);
            return;
        case TFieldKind::Integer: {
            std::string bytes(4, '\0');
            auto v = static_cast<uint32_t>(value);
            for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
            storeBytes(bytes);
            return;
        }
        default:
            requireKind(false, "an integer");
    }
}

bool TApolloField::AsBoolean() const {
    requireKind(kind_ == TFieldKind::Logical, "a logical value");
    char c = storedBytes()[0];
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

void TApolloField::SetAsBoolean(bool value) {
    requireKind(kind_ == TFieldKind::Logical, "a logical value");
    storeBytes(value ? "T" : "F");
}

std::optional<TDate> TApolloField::AsDate() const {
    requireKind(kind_ == TFieldKind::Date, "a date");
    return parseDate(storedBytes());
}

void TApolloField::SetAsDate(const TDate& value) {
    requireKind(kind_ == TFieldKind::Date, "a date");
    int year = static_cast<int>(value.year());
    requireKind(value.ok() && year >= 0 && year <= 9999, "this date");
    std::string text = std::to_string(year);
    text.insert(0, 4 - text.size(), '0');
    text += twoDigits(static_cast<unsigned>(value.month()));
    text += twoDigits(static_cast<unsigned>(value.day()));
    storeBytes(text);
}

std::string TApolloField::AsBytes() const {
    requireKind(kind_ == TFieldKind::Memo || kind_ == TFieldKind::Blob, "bytes");
    return table_.memoText(*this);
}

void TApolloField::SetAsBytes(const std::string& bytes) {
    requireKind(kind_ == TFieldKind::Memo || kind_ == TFieldKind::Blob, "bytes");
    table_.setPendingMemo(*this, bytes);
}

void TApolloField::Clear() {
    if (kind_ == TFieldKind::Memo || kind_ == TFieldKind::Blob) {
        table_.setPendingMemo(*this, {});
    } else if (kind_ == TFieldKind::Integer) {
        storeBytes(std::string(4, '\0'));
    } else {
        storeBytes(std::string(width_, ' '));
    }
}

}  // namespace zer1
