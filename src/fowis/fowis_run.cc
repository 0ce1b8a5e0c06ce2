#include "fowis/fowis_run.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <memory>
#include <string>

#include "common/file_names.h"
#include "common/helpers.h"
#include "common/messages.h"
#include "fowis/backup_rotation.h"
#include "fowis/price_list_conversion.h"
#include "fowis/price_list_source.h"
#include "fowis/price_table_replacement.h"
#include "fowis/table_creation.h"
#include "fowis/table_structures.h"
#include "run/remembered_inputs.h"
#include "run/run_end.h"
#include "run/run_host.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"

namespace zer1 {
namespace {

// The three Fowis tables.  They belong to the dialog: the manufacturer table
// stays open from the run that opened it until the dialog is closed.
struct FowisTables {
    TApolloTable staging;
    TApolloTable price;
    TApolloTable manufacturer;
};

// A source that is no price list, or holds no record, is refused before
// anything is changed, so that a file chosen by mistake cannot replace the
// host's price table.  The message names the source as entered.
bool SourceIsPriceList(RunHost& host, const std::string& source_text,
                       const std::string& source_path) {
    const PriceListSourceCheck check = CheckPriceListSource(source_path, kSourceLineLength);
    std::string message;
    switch (check.outcome) {
        case PriceListSourceCheck::Outcome::kUsable:
            return true;
        case PriceListSourceCheck::Outcome::kUnreadable:
            message = kSourceNotReadMessage;
            break;
        case PriceListSourceCheck::Outcome::kNoRecords:
            message = MessageWithArgument(kSourceWithoutRecordsMessage, source_text);
            break;
        case PriceListSourceCheck::Outcome::kInvalidLine:
            message = kInvalidSourceLineMessage;
            message.replace(message.find("%d"), 2, std::to_string(check.line));
            message = MessageWithArgument(message.c_str(), source_text);
            break;
    }
    ErrorMessage(message);
    host.SetFocus(DialogControl::kSleQuelleFowis);
    return false;
}

// Points a table object at its file unless it is open (the manufacturer table
// of an earlier run).
void Aim(TApolloTable& table, const std::string& directory, const char* file, bool exclusive) {
    if (table.Active()) return;
    table.SetDatabaseName(directory);
    table.SetTableName(file);
    table.SetTableType(ttSXNTX);
    table.SetExclusive(exclusive);
}

// Opens a table exclusively, closing it first; false when that fails.
bool ReopenExclusive(TApolloTable& table) {
    table.Close();
    table.SetExclusive(true);
    try {
        table.Open();
    } catch (const EApolloError&) {
        return false;
    }
    return true;
}

// The manufacturer table: created when missing, opened shared and left open.
bool OpenManufacturerTable(TApolloTable& table, const std::string& program_directory) {
    if (!FileExists(program_directory + kManufacturerTableFile)) {
        bool created = false;
        try {
            created = CreateManufacturerTable(table, program_directory);
        } catch (const EApolloError&) {
            created = false;
        }
        if (!created) {
            ErrorMessage(program_directory + kManufacturerNotCreatedSuffix);
            return false;
        }
    }
    Aim(table, program_directory, kManufacturerTableFile, false);
    try {
        table.Open();
    } catch (const EApolloError&) {
        ErrorMessage(program_directory + kManufacturerNotOpenedSuffix);
        return false;
    }
    return true;
}

// Everything from the disabled start button to the end of a run whose inputs
// passed their checks.
void Convert(RunHost& host, const std::string& source_path, const std::string& target_directory,
             float factor) {
    const std::string& program_directory = host.ProgramDirectory();
    FowisTables& tables = host.Keep().Get<FowisTables>();
    Aim(tables.staging, program_directory, kStagingTableFile, true);
    Aim(tables.price, target_directory, kPriceTableFile, true);

    RunEnd end(host);
    end.CloseAtEnd(tables.staging);
    end.CloseAtEnd(tables.price);

    if (!FileExists(target_directory + kPriceTableFile) &&
        !CreatePriceTable(tables.price, target_directory)) {
        return;
    }
    if (!FileExists(program_directory + kStagingTableFile) &&
        !CreateStagingTable(tables.staging, program_directory)) {
        return;
    }
    if (!ReopenExclusive(tables.staging)) {
        ErrorMessage(kStagingNotOpenedMessage);
        return;
    }
    if (!ReopenExclusive(tables.price)) {
        ErrorMessage(kPriceTableNotOpenedMessage);
        return;
    }

    // The new price records go into a table of their own, which replaces the
    // price table only when the whole list is converted.  Until then the price
    // table stays open exclusively and unchanged.
    PriceTableReplacement replacement(tables.price);
    switch (replacement.Begin()) {
        case PriceTableReplacement::BeginResult::kReady:
            break;
        case PriceTableReplacement::BeginResult::kDirectoryRefusesNewFiles:
            ErrorMessage(MessageWithArgument(kTargetRefusesNewFilesMessage, target_directory));
            return;
        case PriceTableReplacement::BeginResult::kFailed:
            ErrorMessage(kPriceTableNotCreatedMessage);
            return;
    }

    const std::string index_file = target_directory + kPriceIndexFile;
    if (FileExists(index_file) && !DeleteFileNotInUse(index_file)) {
        InformationMessage(kIndexWarningPrefix + target_directory + kIndexNotDeletedSuffix);
    }

    if (!OpenManufacturerTable(tables.manufacturer, program_directory)) return;

    end.progress = host.OpenProgress();
    ProgressWindow& progress = *end.progress;
    progress.SetCaption(kFowisProgressCaption);
    progress.SetInfo(kReadingSourceInfo);
    progress.Show();

    tables.staging.Zap();
    if (!tables.staging.AppendFrom(source_path, kSdfFile, "")) {
        ErrorMessage(kSourceNotReadMessage);
        return;
    }

    progress.SetInfo(kWritingPricesInfo);
    ConvertStagedPriceList(tables.staging, replacement.Fresh(), factor, progress);
    end.progress.reset();
    replacement.Commit();

    if (!host.FowisTransferDirectory().empty()) {
        RotateBackups(DirectoryPart(source_path), kFowisSourceFileName, kFowisBackupGenerations);
    }
}

}  // namespace

bool DeleteFileNotInUse(const std::string& path) {
    const std::string on_disk = ResolveFileName(path);
    // The engine answers from its own open files and the system's lock table.
    // Opening the file here to try a lock would make a second descriptor of
    // it, and closing that drops every record lock this process (the host
    // included) holds on the file.  When the engine cannot tell, the file stays.
    try {
        if (engine().FileInUse(on_disk.c_str()) != 0) return false;
    } catch (const EApolloError&) {
        return false;
    }
    return DeleteFile(on_disk);
}

void RunFowisConversion(RunHost& host) {
    const std::string source_text = host.Text(DialogControl::kSleQuelleFowis);
    const std::string target_text = host.Text(DialogControl::kSleZielFowis);

    const std::string source_path(TrimBlanks(source_text));
    if (source_path.empty()) {
        ErrorMessage(MessageWithArgument(kNoValidInputMessage, kSourceFieldName));
        host.SetFocus(DialogControl::kSleQuelleFowis);
        return;
    }
    if (!FileExists(source_text)) {
        ErrorMessage(MessageWithArgument(kFileMissingMessage, source_text));
        host.SetFocus(DialogControl::kSleQuelleFowis);
        return;
    }
    if (!DirectoryExists(target_text)) {
        ErrorMessage(MessageWithArgument(kNoValidInputMessage, kTargetFieldName));
        return;
    }
    if (!SourceIsPriceList(host, source_text, source_path)) return;

    // Every price is multiplied by the factor as a 32-bit float: a factor
    // beyond that range (or no number at all) is refused before anything is
    // remembered or written, with the factor field's own out-of-range text.
    const long double factor = host.FactorValue();
    if (!(factor <= static_cast<long double>(FLT_MAX))) {
        ErrorMessage(kFactorOutOfRangeMessage);
        host.SetFocus(DialogControl::kSleFaktorFowis);
        return;
    }
    SaveFowisInputs(host.Settings(), source_text, factor);

    const std::string target_directory =
        WithTrailingSeparator(std::string(TrimBlanks(target_text)));
    Convert(host, source_path, target_directory, static_cast<float>(factor));
}

}  // namespace zer1
