#include "run/parameter_table.h"

#include <exception>

#include "common/file_names.h"
#include "common/helpers.h"
#include "common/messages.h"
#include "common/text_encoding.h"
#include "common/ui_services.h"
#include "storage/engine_loader.h"

#ifndef ZER1_TABLE_PASSWORD
#error "ZER1_TABLE_PASSWORD (the host's table password) must be defined by the build"
#endif

namespace zer1 {
namespace {

// SCHALTER positions of the five switches.
constexpr unsigned kWarengruppePosition = 1;
constexpr unsigned kLieferantPosition = 2;
constexpr unsigned kSuchcodePosition = 3;
constexpr unsigned kEkPreisPosition = 4;
constexpr unsigned kVkPreisPosition = 7;

// Raised by ReadSwitches when the table has no SCHALTER: unlike the other
// failures it does not end the program.
class MissingSwitchField : public EApolloError {
  public:
    explicit MissingSwitchField(const std::string& file)
        : EApolloError("Das Feld " + std::string(kSwitchFieldName) +
                       " fehlt in der Parametertabelle " + file) {}
};

// The fields of the host's parameter table as this system writes it; only
// SCHALTER is read.
struct ParameterField {
    const char* name;
    const char* type;
    int width;
    int decimals;
};
constexpr ParameterField kParameterFields[] = {
    {"FIRMA", "C", 40, 0},     // the licensee
    {"LIZENZNR", "C", 12, 0},  // licence number
    {"SCHALTER", "C", 20, 0},  // switches, one character each
    {"PLAETZE", "N", 3, 0},    // licensed work places
};
constexpr int kParameterFieldCount = static_cast<int>(std::size(kParameterFields));

}  // namespace

const std::string& HostTablePassword() {
    static const std::string password = ZER1_TABLE_PASSWORD;
    return password;
}

ParameterSwitches SwitchesFromText(const std::string& schalter) {
    ParameterSwitches switches;
    switches.warengruppe = SwitchTest(schalter, kWarengruppePosition);
    switches.lieferant = SwitchTest(schalter, kLieferantPosition);
    switches.suchcode = SwitchTest(schalter, kSuchcodePosition);
    switches.ek_preis = SwitchTest(schalter, kEkPreisPosition);
    switches.vk_preis = SwitchTest(schalter, kVkPreisPosition);
    return switches;
}

void ParameterTable::Open(const std::string& program_directory, const std::string& password) {
    table_.Close();
    table_.SetDatabaseName(program_directory);
    table_.SetTableName(kParameterTableName);
    table_.SetTableType(ttSXNTX);
    table_.SetExclusive(false);
    table_.SetReadOnly(false);
    table_.SetCommitLevel(clFull);
    table_.SetOEMTranslate(false);
    // The table layer refuses to open the table with a wrong password.
    table_.SetPassword(password);
    table_.DisableControls();
    try {
        table_.Open();
    } catch (...) {
        table_.EnableControls();
        table_.Close();
        throw;
    }
    table_.EnableControls();
}

ParameterSwitches ParameterTable::ReadSwitches() {
    if (!table_.Active()) throw EApolloError(apollo_text::kClosedTable);
    if (table_.FindField(kSwitchFieldName) == nullptr) {
        throw MissingSwitchField(table_.FullFileName());
    }
    // The stored text at its full width; the blanks of the padding are no "1".
    return SwitchesFromText(table_.GetString(kSwitchFieldName));
}

std::optional<ParameterSwitches> ParameterTable::ReadAtStartUp(const std::string& program_directory,
                                                              const std::string& password) {
    try {
        Open(program_directory, password);
        return ReadSwitches();
    } catch (const MissingSwitchField& missing) {
        ErrorMessage(missing.what());
        return ParameterSwitches{};
    } catch (const std::exception&) {
        // Whatever the table layer reports here: without its parameters the
        // host's program cannot go on.
        table_.Close();
        ErrorMessage(kParameterTableFatalText);
        CurrentUiServices().RequestQuit();
        return std::nullopt;
    }
}

bool CreateParameterTable(const std::string& directory, const std::string& schalter,
                          const std::string& password) {
    const std::string file = WithTrailingSeparator(directory) + kParameterTableName;
    TApolloTable table;
    if (!table.CreateNew(file, kTableTypeNtx, kParameterFieldCount)) return false;
    for (const ParameterField& field : kParameterFields) {
        table.CreateField(field.name, field.type, field.width, field.decimals);
    }
    // The password goes with the definition: the engine encrypts the new file.
    engine().CreatePassword(Utf8ToWindows1252(password).c_str());
    if (!table.CreateExec()) return false;

    table.SetDatabaseName(directory);
    table.SetTableName(kParameterTableName);
    table.SetExclusive(true);
    table.SetCommitLevel(clFull);
    table.SetPassword(password);
    table.Open();
    table.Append();
    table.FieldByName("FIRMA").SetAsString("Foto Sonnenschein e.K.");
    table.FieldByName("LIZENZNR").SetAsString("JEV-0815-26");
    table.FieldByName(kSwitchFieldName).SetAsString(schalter);
    table.FieldByName("PLAETZE").SetAsString("3");
    table.Post();
    table.Close();
    return true;
}

}  // namespace zer1
