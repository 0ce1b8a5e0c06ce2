// The Fowis conversion run: the fixed-width price list TRFOWIS.SDF is appended
// into the staging table FO_1.DBF in the program directory and converted record
// by record into the price table FOWISPR.DBF in the target directory, prices
// scaled by the factor the user entered.  After a successful run with a Fowis
// transfer directory the list moves into its numbered backups.
#ifndef ZER1_FOWIS_FOWIS_RUN_H
#define ZER1_FOWIS_FOWIS_RUN_H

#include "storage/apollo_table.h"

namespace zer1 {

class RunHost;

inline constexpr const char* kNoValidInputMessage = "Der Bereich \"%s\" enthält keine gültige Eingabe!";
inline constexpr const char* kFileMissingMessage = "Die Datei \"%s\" existiert nicht!";
inline constexpr const char* kStagingNotOpenedMessage = "Fehler beim Öffnen von FO_1.DBF !";
inline constexpr const char* kPriceTableNotOpenedMessage = "Fehler beim Öffnen von FOWISPR.DBF !";
inline constexpr const char* kSourceNotReadMessage = "TRFOWIS.SDF konnte nicht eingelesen werden!";

// The run's table objects, kept by the dialog: the manufacturer table stays
// open from the first run until the dialog closes.
struct FowisTables {
    TApolloTable staging;        // FO_1.DBF
    TApolloTable prices;         // FOWISPR.DBF
    TApolloTable manufacturers;  // FNR.DBF
};

// The factor as the settings file keeps it: times 10000, rounded to the nearest
// integer with exact halves to the even neighbour, held within 32 bits.
int FactorSettingValue(long double factor);

// The run of the start button on the Fowis page.  Reports through message boxes;
// a price that cannot be converted ends it with a raised error.
void RunFowisConversion(RunHost& host);

}  // namespace zer1

#endif  // ZER1_FOWIS_FOWIS_RUN_H
