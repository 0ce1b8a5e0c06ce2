// DGH line conversion: one ";"-separated line of the DGH source file becomes
// the field values of one working table record.
//
// Columns by number (from 1): 1 and 2 additional text (FELD6), 3 order number
// (FELD13 "/" + text), 4 description (FELD2), 5 supplier (FELD5), 7 EAN
// (FELD1, "!DGH" + order number when blank), 13 purchase price (FELD4),
// 14 sales price (FELD3), 15 substitute sales price. A column counts by its
// number only when a ";" follows it; the text after the last ";" is always
// the product group (FELD9 "DGH" + text).
#ifndef ZER1_IMPORTS_DGH_CONVERSION_H
#define ZER1_IMPORTS_DGH_CONVERSION_H

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "imports/working_record.h"

namespace zer1 {

// Gives the current calendar date; tests put a fixed date in its place.
using TodayFn = std::function<std::chrono::year_month_day()>;

// Today's date in the local time zone.
std::chrono::year_month_day LocalToday();

// "dd.mm.yy", as the working table keeps the import date.
std::string FormatImportDate(const std::chrono::year_month_day& date);

// Upper-cases the letters a to z only; umlauts and everything else stay.
std::string UpperAsciiLetters(std::string_view text);

// Price normalisation of a value as stored in a 10-character price field:
// with blank_cut the value is first cut before its first blank (and trimmed);
// then it is right-aligned in 10 characters.
std::string NormalisePrice(std::string_view stored, bool blank_cut);

// Converts one line (UTF-8, without terminator), dated with import_date.
WorkingRecord ConvertDghLine(std::string_view line, std::string_view import_date);

// Converts lines given in Windows-1252 (as the DGH source reading hands them
// over in that form) straight into the bytes the working table stores: the
// same values as ConvertDghLine on the UTF-8 form of the line gives once they
// are stored, by the same rules, with no UTF-8 detour. Keeps its buffers from
// line to line.
class DghLineConverter {
  public:
    // The record stays valid until the next call.
    const StoredWorkingRecord& Convert(std::string_view line, std::string_view import_date);

  private:
    StoredWorkingRecord record_;
    std::string scratch_;
};

}  // namespace zer1

#endif  // ZER1_IMPORTS_DGH_CONVERSION_H
