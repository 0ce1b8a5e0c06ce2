// The look at a Fowis price list that the run takes before it touches any
// table: a file chosen by mistake (a ZIP archive, a PDF, an empty file) must
// not replace the host's price table.  A usable list is 8-bit text whose lines
// hold no control character and at least one of which is not blank.
//
// Lines are counted as the engine's SDF append splits them: each "\n" ends a
// line, a "\r" right before it (or at the very end) belongs to the line end,
// and a DOS end-of-file mark (0x1A) ends the text when nothing but line ends
// and further marks follow it.
#ifndef ZER1_FOWIS_PRICE_LIST_SOURCE_H
#define ZER1_FOWIS_PRICE_LIST_SOURCE_H

#include <string>

namespace zer1 {

inline constexpr const char* kSourceWithoutRecordsMessage =
    "Die Datei \"%s\" enthält keine Datensätze!";
// %d the line number counted from 1, %s the source file as entered.
inline constexpr const char* kInvalidSourceLineMessage =
    "Zeile %d der Datei \"%s\" ist keine gültige Fowis-Zeile!";

struct PriceListSourceCheck {
    enum class Outcome {
        kUsable,       // text with at least one record line
        kUnreadable,   // the file cannot be opened or read
        kNoRecords,    // empty, or nothing but blank lines
        kInvalidLine,  // `line` holds a control character or a NUL
    };
    Outcome outcome = Outcome::kUsable;
    long line = 0;  // kInvalidLine: the first such line, counted from 1
};

// Reads `path` once from start to end.  A line counts as a record when one of
// its first `record_columns` characters is not a blank; the others become
// blank staging records, which the conversion passes over.
PriceListSourceCheck CheckPriceListSource(const std::string& path, int record_columns);

}  // namespace zer1

#endif  // ZER1_FOWIS_PRICE_LIST_SOURCE_H
