// Structures of the three Fowis tables, as data: the price table FOWISPR.DBF,
// the staging table FO_1.DBF (whose fields are, in order and width, the columns
// of a 402-character line of TRFOWIS.SDF) and the manufacturer table FNR.DBF.
// Field names are lower case as the tables are created; fields are found by name
// without regard to case.
#ifndef ZER1_FOWIS_TABLE_STRUCTURES_H
#define ZER1_FOWIS_TABLE_STRUCTURES_H

#include <string>
#include <string_view>
#include <vector>

namespace zer1 {

struct FieldDefinition {
    std::string name;
    char type;  // 'C' character, 'N' numeric
    int width;
    int decimals;
};

inline constexpr const char* kPriceTableFile = "fowispr.dbf";
inline constexpr const char* kPriceIndexFile = "fowispr.ntx";
inline constexpr const char* kStagingTableFile = "fo_1.dbf";
inline constexpr const char* kManufacturerTableFile = "FNR.DBF";

inline constexpr int kPriceTableFieldCount = 51;
inline constexpr int kStagingTableFieldCount = 67;
inline constexpr int kManufacturerTableFieldCount = 2;
// Length of a full TRFOWIS.SDF line, the staging table's field data.
inline constexpr int kSourceLineLength = 402;

// artnr1, ean, lek, uevp, g1..g10, t1..t10, v1..v10, p1..p10, artikel, rf_nr, rf1,
// rf2, rp1, rp2, firma: 335 characters of field data.
const std::vector<FieldDefinition>& PriceTableFields();

// firma .. rp2, then g1,t1 .. g21,t21 (t21 is 7 wide, every other t 8), then
// v1,p1 .. v5,p5.  All C.
const std::vector<FieldDefinition>& StagingTableFields();

// fnr (the width of FIRMA), hersteller.
const std::vector<FieldDefinition>& ManufacturerTableFields();

// Sum of the widths: the record's field data without the deletion flag.
int FieldDataWidth(const std::vector<FieldDefinition>& fields);

// First and last column (counted from 1) of a staging field in a source line;
// {0, 0} for a name that is no staging field.  Case is ignored.
struct SourceColumns {
    int first;
    int last;
};
SourceColumns StagingFieldColumns(std::string_view name);

}  // namespace zer1

#endif  // ZER1_FOWIS_TABLE_STRUCTURES_H
