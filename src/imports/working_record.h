// The working table's record as the archive imports fill it: the layout of
// TMPDGH.DBF / TMPFOTOCO.DBF (14 fields) and the text values of FELD1 to
// FELD13, in UTF-8 or as the stored Windows-1252 bytes. FELD14 is a memo that
// the imports leave empty.
//
// Field widths count characters of the stored code page (Windows-1252), where
// every character takes one byte; a UTF-8 value is therefore measured and cut
// in code points, each of which becomes one stored byte ("?" when Windows-1252
// lacks it).
#ifndef ZER1_IMPORTS_WORKING_RECORD_H
#define ZER1_IMPORTS_WORKING_RECORD_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zer1 {

struct WorkingFieldLayout {
    const char* name;  // lower case, as the table is created
    char type;         // 'C' or 'M'
    int width;
};

inline constexpr int kWorkingFieldCount = 14;
inline constexpr int kWorkingTextFieldCount = 13;  // FELD1 to FELD13

// Field table of the working table in stored order.
inline constexpr std::array<WorkingFieldLayout, kWorkingFieldCount> kWorkingTableLayout{{
    {"feld1", 'C', 13},   // EAN or article number: the key of pool and stock master
    {"feld2", 'C', 40},   // article description
    {"feld3", 'C', 10},   // sales price text, right-aligned
    {"feld4", 'C', 10},   // purchase price text, right-aligned
    {"feld5", 'C', 15},   // supplier
    {"feld6", 'C', 40},   // additional article text
    {"feld7", 'C', 40},   // second additional text
    {"feld8", 'C', 13},   // search code
    {"feld9", 'C', 13},   // product group
    {"feld10", 'C', 8},   // date of the import, dd.mm.yy
    {"feld11", 'C', 2},   // wholesaler code
    {"feld12", 'C', 1},   // tax rate code
    {"feld13", 'C', 13},  // the wholesaler's order number
    {"feld14", 'M', 10},  // free text
}};

// The numbers n of the FELDn that the conversions fill, by meaning.
namespace working_field {
enum : int {
    kEan = 1,
    kDescription = 2,
    kSalesPrice = 3,
    kPurchasePrice = 4,
    kSupplier = 5,
    kExtraText = 6,
    kSecondText = 7,
    kSearchCode = 8,
    kProductGroup = 9,
    kImportDate = 10,
    kWholesaler = 11,
    kTaxCode = 12,
    kOrderNumber = 13,
};
}  // namespace working_field

// Width of FELDn (n = 1..14).
constexpr int WorkingFieldWidth(int n) {
    return kWorkingTableLayout[n - 1].width;
}

// Number of stored characters of a UTF-8 text (its code points).
std::size_t StoredLength(std::string_view utf8);

// The leftmost `width` stored characters of a UTF-8 text.
std::string CutToWidth(std::string_view utf8, std::size_t width);

// A character field's value as it reads back once stored: cut to the width,
// trailing blanks dropped (the table pads them on and strips them off).
std::string StoredValue(std::string_view utf8, std::size_t width);

// Text values of FELD1 to FELD13. set() keeps each value as the table would
// read it back after storing it, so later rules that build on a field see
// exactly what a read of the field gives.
class WorkingRecord {
  public:
    // FELDn as read back (n = 1..13): at most the field width, no trailing blanks.
    const std::string& get(int n) const { return fields_[n - 1]; }
    void set(int n, std::string_view value) {
        fields_[n - 1] = StoredValue(value, static_cast<std::size_t>(WorkingFieldWidth(n)));
    }

    bool operator==(const WorkingRecord&) const = default;

  private:
    std::array<std::string, kWorkingTextFieldCount> fields_;
};

// FELD1 to FELD13 as the table stores them: Windows-1252, one byte per
// character. set() keeps each value as it reads back (cut to the field width,
// no trailing blanks), like WorkingRecord does for UTF-8 values. The values
// keep their storage when set again, so a record filled line after line
// allocates nothing once it has grown.
class StoredWorkingRecord {
  public:
    std::string_view get(int n) const { return fields_[n - 1]; }
    void set(int n, std::string_view bytes) {
        const std::size_t width = static_cast<std::size_t>(WorkingFieldWidth(n));
        if (bytes.size() > width) bytes = bytes.substr(0, width);
        while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
        fields_[n - 1].assign(bytes);
    }
    // Empties every value.
    void clear() {
        for (std::string& value : fields_) value.clear();
    }

  private:
    std::array<std::string, kWorkingTextFieldCount> fields_;
};

}  // namespace zer1

#endif  // ZER1_IMPORTS_WORKING_RECORD_H
