#include "dgh_conversion.h"

#include <cstdio>
#include <ctime>

#include "common/helpers.h"

namespace zer1 {

namespace {

constexpr int kPriceWidth = 10;

// Field numbers of the working record.
enum Feld {
    kEan = 1,
    kDescription = 2,
    kSalesPrice = 3,
    kPurchasePrice = 4,
    kSupplier = 5,
    kExtraText = 6,
    kProductGroup = 9,
    kImportDate = 10,
    kWholesaler = 11,
    kTaxCode = 12,
    kOrderNumber = 13,
};

// a followed by b.
std::string Joined(std::string_view a, std::string_view b) {
    std::string text;
    text.reserve(a.size() + b.size());
    text.append(a);
    text.append(b);
    return text;
}

}  // namespace

std::chrono::year_month_day LocalToday() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                       std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                       std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
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
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string NormalisePrice(std::string_view stored, bool blank_cut) {
    if (blank_cut) {
        std::size_t blank = stored.find(' ');
        if (blank != std::string_view::npos) stored = TrimBlanks(stored.substr(0, blank));
    }
    std::size_t length = StoredLength(stored);
    std::string out;
    if (length < kPriceWidth) out.assign(kPriceWidth - length, ' ');
    out += stored;
    return out;
}

WorkingRecord ConvertDghLine(std::string_view line, std::string_view import_date) {
    WorkingRecord rec;
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
                rec.set(kExtraText, UpperAsciiLetters(column));
                break;
            case 2:
                rec.set(kExtraText, Joined(rec.get(kExtraText), UpperAsciiLetters(column)));
                break;
            case 3:
                order_number = column;
                rec.set(kOrderNumber, Joined("/", column));
                break;
            case 4:
                rec.set(kDescription, UpperAsciiLetters(column));
                break;
            case 5:
                rec.set(kSupplier, UpperAsciiLetters(column));
                break;
            case 7:
                if (!TrimBlanks(column).empty()) {
                    rec.set(kEan, column);
                } else {
                    rec.set(kEan, Joined("!DGH", order_number));
                }
                break;
            case 13:
                rec.set(kPurchasePrice, column);
                rec.set(kPurchasePrice, NormalisePrice(rec.get(kPurchasePrice), true));
                break;
            case 14:
                rec.set(kSalesPrice, column);
                rec.set(kSalesPrice, NormalisePrice(rec.get(kSalesPrice), true));
                break;
            case 15: {
                std::string_view current = TrimBlanks(rec.get(kSalesPrice));
                if (current.empty() || current == "0.00") {
                    rec.set(kSalesPrice, column);
                    rec.set(kSalesPrice, NormalisePrice(rec.get(kSalesPrice), false));
                }
                break;
            }
            default:
                break;
        }
    }
    rec.set(kProductGroup, Joined("DGH", rest));
    return rec;
}

}  // namespace zer1
