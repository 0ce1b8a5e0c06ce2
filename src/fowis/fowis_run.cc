#include "fowis/fowis_run.h"

#include <cfenv>
#include <cmath>
#include <limits>
#include <memory>

#include "common/file_names.h"
#include "common/helpers.h"
#include "common/messages.h"
#include "dialog/run_host.h"
#include "dialog/settings_file.h"
#include "fowis/backup_rotation.h"
#include "fowis/price_text.h"
#include "fowis/table_creation.h"
#include "fowis/table_structures.h"

namespace zer1 {
namespace {

constexpr int kEanWidth = 13;
constexpr const char* kArticleExpression = "LTRIM(UPPER(ARTIKEL))";

std::string WithText(const char* pattern, const std::string& text) {
    std::string message = pattern;
    const std::size_t at = message.find("%s");
    if (at != std::string::npos) message.replace(at, 2, text);
    return message;
}

// However the run ends: the progress window goes first, then the staging and
// price tables are closed and the buttons enabled again.
class RunEnd {
public:
    RunEnd(RunHost& host, FowisTables& tables) : host_(host), tables_(tables) {}
    ~RunEnd() {
        progress.reset();
        tables_.staging.Close();
        tables_.prices.Close();
        host_.SetEnabled(DialogControl::kPbStart, true);
        host_.SetEnabled(DialogControl::kPbClose, true);
    }
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;

    std::unique_ptr<ProgressWindow> progress;

private:
    RunHost& host_;
    FowisTables& tables_;
};

// Opens `table` exclusively (closing it first); false when that fails.
bool OpenExclusive(TApolloTable& table) {
    table.Close();
    table.SetExclusive(true);
    try {
        table.Open();
    } catch (const Error&) {
        return false;
    }
    return true;
}

// One staging record into the pending price record, field by field in the order
// the price table is written.
void ConvertRecord(TApolloTable& staging, TApolloTable& prices, float factor) {
    auto text = [&](const std::string& name) { return staging.FieldByName(name).AsString(); };
    auto copy = [&](const std::string& to, const std::string& from) {
        prices.FieldByName(to).SetAsString(text(from));
    };
    auto price = [&](const std::string& to, const std::string& from) {
        prices.FieldByName(to).SetAsFloat(ConvertPriceForField(to, text(from), factor));
    };
    auto numbered = [](char letter, int number) { return letter + std::to_string(number); };

    copy("ARTNR1", "ARTNR1");
    if (staging.FieldIsEmpty("EAN")) {
        // "F", characters 2 to 4 of the firm code, the article number.
        const std::string firma = text("FIRMA");
        std::string ean = "F";
        if (firma.size() > 1) ean += firma.substr(1, 3);
        ean += text("ARTNR1");
        prices.FieldByName("EAN").SetAsString(ean.substr(0, kEanWidth));
    } else {
        copy("EAN", "EAN");
    }
    price("LEK", "LEK");
    price("UEVP", "UEVK");
    for (int k = 1; k <= 10; ++k) copy(numbered('G', k), numbered('G', k));
    for (int k = 1; k <= 10; ++k) price(numbered('T', k), numbered('T', k));
    for (int k = 1; k <= 5; ++k) copy(numbered('V', k), numbered('V', k));
    for (int k = 1; k <= 5; ++k) price(numbered('P', k), numbered('P', k));
    prices.FieldByName("ARTIKEL").SetAsString(staging.EvalString(kArticleExpression));
    copy("RF_NR", "RF_NR");
    copy("RF2", "RF2");
    price("RP1", "RP1");
    price("RP2", "RP2");
    copy("FIRMA", "FIRMA");
}

}  // namespace

int FactorSettingValue(long double factor) {
    const int previous_mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const long double scaled = std::nearbyint(factor * 10000.0L);
    std::fesetround(previous_mode);
    if (std::isnan(scaled)) return 0;
    if (scaled >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (scaled <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(scaled);
}

void RunFowisConversion(RunHost& host) {
    // Checks; nothing is changed before all three have passed.
    const std::string source_as_entered = host.Text(DialogControl::kSleQuelleFowis);
    const std::string source_path(TrimBlanks(source_as_entered));
    if (source_path.empty()) {
        ErrorMessage(WithText(kNoValidInputMessage, "Quelldatei"));
        host.SetFocus(DialogControl::kSleQuelleFowis);
        return;
    }
    if (!FileExists(source_as_entered)) {
        ErrorMessage(WithText(kFileMissingMessage, source_as_entered));
        host.SetFocus(DialogControl::kSleQuelleFowis);
        return;
    }
    const std::string target_as_entered = host.Text(DialogControl::kSleZielFowis);
    if (!DirectoryExists(target_as_entered)) {
        ErrorMessage(WithText(kNoValidInputMessage, "Zielpfad"));
        return;
    }

    const long double factor_value = host.FactorValue();
    host.Settings().WriteInteger(kSettingsSection, settings_key::kFaktorFowis,
                                 FactorSettingValue(factor_value));
    host.Settings().WriteString(kSettingsSection, settings_key::kQuellPfadFowis, source_as_entered);
    // Every price is multiplied by the factor at single precision.
    const float factor = static_cast<float>(factor_value);

    const std::string target_directory =
        WithTrailingSeparator(std::string(TrimBlanks(target_as_entered)));
    const std::string& program_directory = host.ProgramDirectory();
    FowisTables& tables = host.Keep().Get<FowisTables>();
    tables.staging.Close();
    tables.prices.Close();
    tables.staging.SetDatabaseName(program_directory);
    tables.staging.SetTableName(kStagingTableFile);
    // The manufacturer table stays open from an earlier run; its place never changes.
    if (!tables.manufacturers.Active()) {
        tables.manufacturers.SetDatabaseName(program_directory);
        tables.manufacturers.SetTableName(kManufacturerTableFile);
    }
    tables.prices.SetDatabaseName(target_directory);
    tables.prices.SetTableName(kPriceTableFile);

    host.SetEnabled(DialogControl::kPbStart, false);
    RunEnd end(host, tables);

    if (!FileExists(target_directory + kPriceTableFile) &&
        !CreatePriceTable(tables.prices, target_directory)) {
        return;
    }
    if (!FileExists(program_directory + kStagingTableFile) &&
        !CreateStagingTable(tables.staging, program_directory)) {
        return;
    }
    if (!OpenExclusive(tables.staging)) {
        ErrorMessage(kStagingNotOpenedMessage);
        return;
    }
    if (!OpenExclusive(tables.prices)) {
        ErrorMessage(kPriceTableNotOpenedMessage);
        return;
    }
    tables.prices.Zap();

    // The index of the price table is not built again; an old one would be stale.
    const std::string price_index = target_directory + kPriceIndexFile;
    if (FileExists(price_index) && !DeleteFile(price_index)) {
        InformationMessage("ACHTUNG - " + target_directory + "FOWISPR.NTX konnte nicht gelöscht werden!");
    }

    if (!FileExists(program_directory + kManufacturerTableFile) &&
        !CreateManufacturerTable(tables.manufacturers, program_directory)) {
        ErrorMessage(program_directory + "FNR.DBF konnte nicht erstellt werden!");
        return;
    }
    if (!tables.manufacturers.Active()) {
        tables.manufacturers.SetExclusive(false);
        try {
            tables.manufacturers.Open();
        } catch (const Error&) {
            ErrorMessage(program_directory + "FNR.DBF konnte nicht geöffnet werden!");
            return;
        }
    }

    end.progress = host.OpenProgress();
    ProgressWindow& progress = *end.progress;
    progress.SetCaption("Info");
    progress.SetInfo("Daten aus TRFOWIS.SDF werden eingelesen...");
    progress.Show();

    tables.staging.Zap();
    if (!tables.staging.AppendFrom(source_path, kSdfFile, "")) {
        ErrorMessage(kSourceNotReadMessage);
        return;
    }

    progress.SetInfo("Daten werden nach FOWISPR.DBF geschrieben...");
    progress.SetMaximum(static_cast<int>(tables.staging.RecordCount()));
    tables.staging.First();
    // A record whose conversion fails is never posted: closing the table drops it.
    for (int n = 1; !tables.staging.Eof(); ++n) {
        progress.SetPosition(n);
        tables.prices.Append();
        ConvertRecord(tables.staging, tables.prices, factor);
        tables.prices.Post();
        tables.staging.Next();
    }
    end.progress.reset();

    if (!host.FowisTransferDirectory().empty()) {
        RotateBackups(DirectoryPart(source_path), kFowisSourceFileName, kFowisBackupGenerations);
    }
}

}  // namespace zer1
