#include "imports/dgh_conversion.h"

#include <cstdio>
#include <ctime>

#include "common/helpers.h"

namespace zer1 {

namespace {

constexpr int kPriceWidth = 10;

using namespace working_field;

// Upper-cases the letters a to z of `text` where it stands.
std::string_view UpperInPlace(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// `text` with the letters a to z upper-cased, built in `out`.
std::string_view UpperInto(std::string& out, std::string_view text) {
    out.assign(text);
    return UpperInPlace(out);
}

// a followed by b, built in `out`.
std::string_view JoinInto(std::string& out, std::string_view a, std::string_view b) {
    out.assign(a);
    out.append(b);
    return out;
}

// Length of a value in stored characters: code points of a UTF-8 value, bytes
// of a Windows-1252 one.
using LengthFn = std::size_t (*)(std::string_view);

std::size_t ByteLength(std::string_view bytes) {
    return bytes.size();
}

std::string NormalisedPrice(std::string_view stored, bool blank_cut, LengthFn length_of) {
    if (blank_cut) {
        std::size_t blank = stored.find(' ');
        if (blank != std::string_view::npos) stored = TrimBlanks(stored.substr(0, blank));
    }
    std::size_t length = length_of(stored);
    std::string out;
    if (length < kPriceWidth) out.assign(kPriceWidth - length, ' ');
    out += stored;
    return out;
}

// The conversion rules, for a record of UTF-8 values (WorkingRecord) and for
// one of stored bytes (StoredWorkingRecord): both keep each value as it reads
// back once stored, and every rule below looks only at ASCII characters, which
// are the same bytes in both forms. `rec` starts empty; `scratch` is room for
// building values.
template <class Record>
void FillFromDghLine(Record& rec, std::string_view line, std::string_view import_date,
                     LengthFn length_of, std::string& scratch) {
    rec.set(kImportDate, import_date);
    rec.set(kTaxCode, "1");
    rec.set(kWholesaler, "DG");

    std::string_view order_number;
    int column_number = 1;
    std::string_view rest = line;
    for (std::size_t semicolon; (semicolon = rest.find(';')) != std::string_view::npos;
         ++column_number) {
        std::string_view column = rest.substr(0, semicolon);
        rest.remove_prefix(semicolon + 1);
        switch (column_number) {
            case 1:
                rec.set(kExtraText, UpperInto(scratch, column));
                break;
            case 2:
                // The stored first part is upper case already.
                JoinInto(scratch, rec.get(kExtraText), column);
                rec.set(kExtraText, UpperInPlace(scratch));
                break;
            case 3:
                order_number = column;
                rec.set(kOrderNumber, JoinInto(scratch, "/", column));
                break;
            case 4:
                rec.set(kDescription, UpperInto(scratch, column));
                break;
            case 5:
                rec.set(kSupplier, UpperInto(scratch, column));
                break;
            case 7:
                if (!TrimBlanks(column).empty()) {
                    rec.set(kEan, column);
                } else {
                    rec.set(kEan, JoinInto(scratch, "!DGH", order_number));
                }
                break;
            case 13:
                rec.set(kPurchasePrice, column);
                rec.set(kPurchasePrice, NormalisedPrice(rec.get(kPurchasePrice), true, length_of));
                break;
            case 14:
                rec.set(kSalesPrice, column);
                rec.set(kSalesPrice, NormalisedPrice(rec.get(kSalesPrice), true, length_of));
                break;
            case 15: {
                std::string_view current = TrimBlanks(rec.get(kSalesPrice));
                if (current.empty() || current == "0.00") {
                    rec.set(kSalesPrice, column);
                    rec.set(kSalesPrice, NormalisedPrice(rec.get(kSalesPrice), false, length_of));
                }
                break;
            }
            default:
                break;
        }
    }
    rec.set(kProductGroup, JoinInto(scratch, "DGH", rest));
}

}  // namespace

std::chrono::year_month_day LocalToday() {
    // The date is asked for once per stored record: the local calendar is
    // worked out again only when the clock has moved on to another second.
    thread_local std::time_t known_second = -1;
    thread_local std::chrono::year_month_day known_day{};
    const std::time_t now = std::time(nullptr);
    if (now == known_second) return known_day;
    std::tm local{};
    localtime_r(&now, &local);
    known_day =
        std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                    std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                    std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    known_second = now;
    return known_day;
}

std::string FormatImportDate(const std::chrono::year_month_day& date) {
    char text[16];
    int year = static_cast<int>(date.year()) % 100;
    if (year < 0) year += 100;
    std::snprintf(text, sizeof text, "%02u.%02u.%02d", static_cast<unsigned>(date.day()),
                  static_cast<unsigned>(date.month()), year);
    return text;
}

std::string UpperAsciiLetters(std::string_view text) {
    std::string out;
    UpperInto(out, text);
    return out;
}

std::string NormalisePrice(std::string_view stored, bool blank_cut) {
    return NormalisedPrice(stored, blank_cut, StoredLength);
}

WorkingRecord ConvertDghLine(std::string_view line, std::string_view import_date) {
    WorkingRecord rec;
    std::string scratch;
    FillFromDghLine(rec, line, import_date, StoredLength, scratch);
    return rec;
}

const StoredWorkingRecord& DghLineConverter::Convert(std::string_view line,
                                                     std::string_view import_date) {
    record_.clear();
    FillFromDghLine(record_, line, import_date, ByteLength, scratch_);
    return record_;
}

}  // namespace zer1
