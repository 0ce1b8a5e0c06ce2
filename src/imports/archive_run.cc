#include "imports/archive_run.h"

#include <exception>
#include <vector>

#include "common/file_names.h"
#include "common/helpers.h"
#include "common/messages.h"
#include "imports/working_table.h"
#include "imports/zip_name_pattern.h"
#include "run/run_end.h"
#include "stock/handover_files.h"
#include "stock/step_progress.h"
#include "stock/stock_update.h"

namespace zer1 {
namespace {

// The page's inputs as the run uses them.
struct ArchiveInputs {
    std::string source;
    std::string member;
    std::string output;  // as typed
};

// Checks the inputs in their order; at the first failure says which area
// holds no valid input, moves the focus there and gives false.
bool CheckInputs(RunHost& host, const ArchiveWholesaler& wholesaler, ArchiveInputs& inputs) {
    inputs.source = host.Text(wholesaler.source);
    inputs.output = host.Text(wholesaler.output);
    auto refuse = [&](const char* area, DialogControl focus) {
        ErrorMessage(MessageWithArgument(kNoValidInputMessage, area));
        host.SetFocus(focus);
        return false;
    };
    if (TrimBlanks(inputs.source).empty()) return refuse("Quellarchiv", wholesaler.source);
    if (host.SelectedIndex(wholesaler.members) < 0) {
        return refuse("Dateien", wholesaler.focusWithoutMember);
    }
    if (!DirectoryExists(inputs.output)) return refuse("Ausgabepfad", wholesaler.output);
    inputs.member = host.SelectedText(wholesaler.members);
    return true;
}

void RememberInputs(RunHost& host, const ArchiveWholesaler& wholesaler,
                    const ArchiveInputs& inputs) {
    SaveArchiveInputs(host.Settings(), wholesaler.inputKeys, inputs.source, inputs.output);
}

// Opens the archive for extraction and finds the member in it.  Gives the
// name of the file the extraction writes into the output directory (the
// stored name's file-name part), or "" when the archive does not hold the
// member, which has then been said.  Archive errors are raised.
std::string FindMember(TAbUnZipper& unzipper, const ArchiveInputs& inputs) {
    unzipper.SetFileName(inputs.source);
    const std::vector<std::string> matching = unzipper.MatchingMembers(inputs.member);
    if (matching.empty()) {
        ErrorMessage(MessageWithArgument(kMemberNotInArchiveMessage, inputs.member));
        return {};
    }
    // Several matches are written to the same file, the last one replacing
    // the others.
    return MemberFileName(matching.back());
}

// Creates the working table when missing, then opens it exclusively in the
// output directory and empties it.  False when the run has to end, which
// has then been said: a working table that cannot be created is reported
// like one that cannot be opened, so a start never ends without a word.
bool PrepareWorkingTable(TApolloTable& working, const std::string& output_directory,
                         const char* file) {
    const std::string path = output_directory + file;
    // The object may still be open on the working table of another output
    // directory from an earlier run.
    working.Close();
    if (!FileExists(path)) {
        bool created = false;
        try {
            created = CreateWorkingTable(path);
        } catch (const std::exception&) {
            created = false;
        }
        if (!created) {
            ErrorMessage(kTableAccessFailedPrefix + path);
            return false;
        }
    }
    try {
        working.SetDatabaseName(output_directory);
        working.SetTableName(file);
        working.SetTableType(ttSXNTX);
        working.SetExclusive(true);
        working.Open();
        working.Zap();
    } catch (const std::exception&) {
        working.Close();
        ErrorMessage(kTableAccessFailedPrefix + path);
        return false;
    }
    return true;
}

TakeOverSwitches ReadTakeOverSwitches(const RunHost& host) {
    TakeOverSwitches switches;
    switches.group = host.IsChecked(DialogControl::kCbGhWg);
    switches.supplier = host.IsChecked(DialogControl::kCbGhLief);
    switches.searchCode = host.IsChecked(DialogControl::kCbGhSuchcode);
    switches.purchasePrice = host.IsChecked(DialogControl::kCbEkPr);
    switches.sellingPrice = host.IsChecked(DialogControl::kCbVkPr);
    return switches;
}

// The checked steps in their fixed order, each over the filled working table.
void RunCheckedSteps(RunHost& host, const ArchiveWholesaler& wholesaler, ArchiveRunTables& tables,
                     TApolloTable& working, StepProgress& progress) {
    RunReport& report = host.Report();
    if (host.IsChecked(DialogControl::kCbPool)) {
        UpdatePool(PoolTable{tables.apStamm, tables.poolOrders}, host.DataPath(), working, progress,
                   report);
    }
    const StockPaths stock_paths{host.DataPath(), host.ProgramDirectory()};
    const TakeOverSwitchesFn switches = [&host] { return ReadTakeOverSwitches(host); };
    for (const auto& [box, mode] : {std::pair{DialogControl::kCbLagerUpdate, StockMode::kUpdate},
                                    std::pair{DialogControl::kCbLagerNeu, StockMode::kNewItems}}) {
        if (!host.IsChecked(box)) continue;
        StockUpdate(StockTables{tables.apArtikel, tables.apProto}, stock_paths, mode, working,
                    switches, progress, report);
    }
    const HandoverPaths handover{host.ProgramDirectory(), host.OutputDirectory()};
    if (host.IsChecked(DialogControl::kCbUpdate)) {
        WriteUpdateFile(working, handover, progress, report);
    }
    if (host.IsChecked(DialogControl::kCbStandard)) {
        WriteStandardFile(working, handover, wholesaler.standardFile, wholesaler.standardBase,
                          progress, report);
    }
}

}  // namespace

void RunArchiveImport(RunHost& host, const ArchiveWholesaler& wholesaler) {
    ArchiveInputs inputs;
    if (!CheckInputs(host, wholesaler, inputs)) return;
    RememberInputs(host, wholesaler, inputs);
    const std::string output_directory = WithTrailingSeparator(inputs.output);
    host.OutputDirectory() = output_directory;

    ArchiveRunTables& tables = host.Keep().Get<ArchiveRunTables>();
    // Before anything is read or written: a member the named archive does
    // not hold ends the run, so that no file of that name left over from an
    // earlier run is ever imported in its place.
    const std::string member_file = FindMember(tables.AbUnZip, inputs);
    if (member_file.empty()) return;

    TApolloTable& working = tables.*wholesaler.workingTable;
    if (!PrepareWorkingTable(working, output_directory, wholesaler.workingTableFile)) return;

    RunEnd end(host);
    end.progress = host.OpenProgress();
    ProgressWindow& window = *end.progress;
    window.SetInfo(kExtractingInfo);
    window.Show();

    RunReport& report = host.Report();
    report.push_back(inputs.member + " nach " + output_directory + " entpacken\r");
    tables.AbUnZip.SetBaseDirectory(output_directory);
    tables.AbUnZip.ExtractFiles(inputs.member);

    window.SetInfo("Verarbeite " + inputs.member + "...");
    wholesaler.readMember(working, output_directory + member_file);

    StepProgressOn<ProgressWindow> progress(window);
    RunCheckedSteps(host, wholesaler, tables, working, progress);
    end.progress.reset();

    std::string message;
    for (const std::string& line : report) message += line;
    InformationMessage(message);
}

}  // namespace zer1
