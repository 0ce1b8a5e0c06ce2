// Creation of the three Fowis tables through the table layer.  Each creates a
// missing table and closes it again; the caller opens it.  The Fowis run only
// calls them when the file does not exist.
#ifndef ZER1_FOWIS_TABLE_CREATION_H
#define ZER1_FOWIS_TABLE_CREATION_H

#include <string>

namespace zer1 {

class TApolloTable;

inline constexpr const char* kPriceTableNotCreatedMessage =
    "FOWISPR.DBF konnte nicht erstellt werden!";
inline constexpr const char* kPriceTableStructureNotWrittenMessage =
    "Struktur von FOWISPR.DBF konnte nicht geschrieben werden!";
inline constexpr const char* kStagingTableNotCreatedMessage = "FO_1.DBF konnte nicht erstellt werden!";
inline constexpr const char* kStagingTableStructureNotWrittenMessage =
    "Struktur von FO_1.DBF konnte nicht geschrieben werden!";

// Creates target_directory + "fowispr.dbf" (51 fields).  On failure shows the error
// message of the step that failed and returns false.  The directory ends in "/".
bool CreatePriceTable(TApolloTable& table, const std::string& target_directory);

// Creates program_directory + "fo_1.dbf" (67 fields), with messages as above.
bool CreateStagingTable(TApolloTable& table, const std::string& program_directory);

// Creates directory + "FNR.DBF" (2 fields).  Shows nothing; the caller reports a
// failure.
bool CreateManufacturerTable(TApolloTable& table, const std::string& directory);

}  // namespace zer1

#endif  // ZER1_FOWIS_TABLE_CREATION_H
