// The host's parameter table VUROZE.LIC in the program directory: an
// encrypted dBASE table whose first record carries, in the character field
// SCHALTER, the switches by which the host's own configuration chooses which
// wholesaler values the stock update takes over.  The dialog opens it at
// start-up, reads the switches once and keeps it open, never writing it, for
// its lifetime.  Also the tool that writes such a table (tests, demo data).
#ifndef ZER1_RUN_PARAMETER_TABLE_H
#define ZER1_RUN_PARAMETER_TABLE_H

#include <optional>
#include <string>

#include "storage/apollo_table.h"

namespace zer1 {

inline constexpr const char* kParameterTableName = "VUROZE.LIC";
inline constexpr const char* kSwitchFieldName = "SCHALTER";
// Shown when the table cannot be opened, unlocked or read; the program ends.
inline constexpr const char* kParameterTableFatalText = "Schwerer Fehler! Programm wird beendet!";

// The table password that the host gives its parameter table (a build setting).
const std::string& HostTablePassword();

// The five take-over switches as SCHALTER stores them, by their positions.
// (The stock update takes them as TakeOverSwitches, read from the dialog.)
struct ParameterSwitches {
    bool warengruppe = false;  // position 1: take over the product group
    bool lieferant = false;    // position 2: the supplier
    bool suchcode = false;     // position 3: the search code
    bool ek_preis = false;     // position 4: the purchase price
    bool vk_preis = false;     // position 7: the sales price

    bool operator==(const ParameterSwitches&) const = default;
};

// The switches that a SCHALTER text sets: "1" at a position switches it on,
// any other character and a position beyond the text's end leave it off.
ParameterSwitches SwitchesFromText(const std::string& schalter);

class ParameterTable {
  public:
    ParameterTable() = default;
    ParameterTable(const ParameterTable&) = delete;
    ParameterTable& operator=(const ParameterTable&) = delete;

    // Opens VUROZE.LIC in `program_directory` (shared, commit level full, no
    // OEM translation), hands it `password` and re-reads its first record.
    // Any failure - no file, a file the engine cannot open, a password that
    // the table refuses - raises EApolloError and leaves the table closed.
    void Open(const std::string& program_directory,
              const std::string& password = HostTablePassword());

    // The switches of the current record.  Raises EApolloError naming the
    // field when the table has no field SCHALTER.
    ParameterSwitches ReadSwitches();

    // The start-up step of the dialog: opens the table and reads the
    // switches.  A table that cannot be opened or unlocked shows the error
    // message "Schwerer Fehler! Programm wird beendet!", asks the application
    // to quit and gives nothing.  A table without SCHALTER shows the table
    // layer's error naming the field and gives all switches off: the
    // start-up goes on.
    std::optional<ParameterSwitches> ReadAtStartUp(
        const std::string& program_directory, const std::string& password = HostTablePassword());

    bool Active() const { return table_.Active(); }
    const TApolloTable& Table() const { return table_; }

  private:
    TApolloTable table_;
};

// Writes a new VUROZE.LIC into `directory`, encrypted with `password`, with
// one record whose SCHALTER holds `schalter` (cut to the field's 20
// characters) and a few of the host's other settings.  An existing file is
// replaced.  Returns false when the engine cannot create the file; table
// errors while writing the record are raised.
bool CreateParameterTable(const std::string& directory, const std::string& schalter,
                          const std::string& password = HostTablePassword());

}  // namespace zer1

#endif  // ZER1_RUN_PARAMETER_TABLE_H
