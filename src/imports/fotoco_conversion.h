// Fotoco line conversion: one article line of the Fotoco member (fields
// separated by ";", numbered from 0, no quoting) becomes the stored values of
// one working table record.  Every field is used trimmed of blanks and
// control characters at both ends; T(n) is field n so cleaned.
//
//   FELD13 "+" + T(0)             FELD2  T(1)       FELD6  T(2)
//   FELD4  T(3)                   FELD9  "#" + T(6) FELD3  T(17)
//   FELD1  ".F" + T(0) when T(16) is empty, "00" + T(16) when it has 11
//          characters, else T(16)
//   FELD5  T(1) up to and including its first "-" (empty without one)
//   FELD11 "FO"                   FELD12 "1"
// FELD7, FELD8 and FELD10 stay blank; texts keep their case and prices stay
// the trimmed text.  Fields 4, 5, 7 to 15 and those after 17 are not used.
#ifndef ZER1_IMPORTS_FOTOCO_CONVERSION_H
#define ZER1_IMPORTS_FOTOCO_CONVERSION_H

#include <string_view>

#include "imports/working_record.h"

namespace zer1 {

// Fields an article line must have (0 to 17).
inline constexpr int kFotocoFieldCount = 18;

// Converts lines given in Windows-1252 into the bytes the working table
// stores; keeps its buffers from line to line.
class FotocoLineConverter {
  public:
    // Converts the line and returns the number of fields it has.  When that
    // is below kFotocoFieldCount the line is no article and the record is
    // not to be stored.
    int Convert(std::string_view line);

    // The record of the last line converted; valid until the next call.
    const StoredWorkingRecord& Record() const { return record_; }

  private:
    StoredWorkingRecord record_;
    std::string scratch_;
};

}  // namespace zer1

#endif  // ZER1_IMPORTS_FOTOCO_CONVERSION_H
