#include "stock/stock_update.h"

#include <charconv>
#include <ctime>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/helpers.h"
#include "common/text_encoding.h"
#include "common/ui_services.h"
#include "common/unfinished_run_marker.h"
#include "stock/index_rebuild.h"
#include "stock/new_item_defaults.h"
#include "stock/stock_fields.h"
#include "stock/stock_movement.h"
#include "storage/apollo_table.h"

namespace zer1 {

namespace {

constexpr std::size_t kKeyWidth = 13;  // ARTNUM and the key of MLAGER.NTX
constexpr long kProgressStep = 100;

// Held while an update writes the stock master; see UnfinishedRunMarker.
constexpr const char* kStockMarkerName = "MLAGER.zer1-lauf";

constexpr const char* kAccessFailure =
    "Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!\r";

// One member of a struct of field pointers and the name of the field it points to.
template <class Fields>
struct FieldBinding {
    std::string_view name;
    TApolloField* Fields::*member;
};

// A struct of `table`'s fields with every member of `bindings` pointing to its
// field (FieldByName: a missing one raises; the step checks for them first).
template <class Fields, std::size_t N>
Fields BindFields(TApolloTable& table, const FieldBinding<Fields> (&bindings)[N]) {
    Fields fields{};
    for (const FieldBinding<Fields>& binding : bindings) {
        fields.*binding.member = &table.FieldByName(binding.name);
    }
    return fields;
}

template <class Fields, std::size_t N>
std::vector<std::string_view> FieldNames(const FieldBinding<Fields> (&bindings)[N]) {
    std::vector<std::string_view> names;
    for (const FieldBinding<Fields>& binding : bindings) names.push_back(binding.name);
    return names;
}

// The fields of one working record that the step reads.
struct WorkingFields {
    TApolloField *feld1, *feld2, *feld3, *feld4, *feld5, *feld6, *feld8, *feld9, *feld12, *feld13;
};
constexpr FieldBinding<WorkingFields> kWorkingFields[] = {
    {"FELD1", &WorkingFields::feld1},   {"FELD2", &WorkingFields::feld2},
    {"FELD3", &WorkingFields::feld3},   {"FELD4", &WorkingFields::feld4},
    {"FELD5", &WorkingFields::feld5},   {"FELD6", &WorkingFields::feld6},
    {"FELD8", &WorkingFields::feld8},   {"FELD9", &WorkingFields::feld9},
    {"FELD12", &WorkingFields::feld12}, {"FELD13", &WorkingFields::feld13},
};

// The stock master's fields that both modes write: the imported values.
struct StockFields {
    TApolloField *artbez, *tex1, *stsatz, *stsatz2, *preis, *ekpr, *wgrupp, *liferant, *libnr1,
        *suchcod;
};
constexpr FieldBinding<StockFields> kStockFields[] = {
    {"ARTBEZ", &StockFields::artbez}, {"TEX1", &StockFields::tex1},
    {"STSATZ", &StockFields::stsatz}, {"STSATZ_2", &StockFields::stsatz2},
    {"PREIS", &StockFields::preis},   {"EKPR", &StockFields::ekpr},
    {"WGRUPP", &StockFields::wgrupp}, {"LIFERANT", &StockFields::liferant},
    {"LIBNR1", &StockFields::libnr1}, {"SUCHCOD", &StockFields::suchcod},
};

struct StockLogFields {
    TApolloField *artbez, *artnum, *text, *datum, *preis, *abga, *rueck;
};
constexpr FieldBinding<StockLogFields> kStockLogFields[] = {
    {"ARTBEZ", &StockLogFields::artbez}, {"ARTNUM", &StockLogFields::artnum},
    {"TEXT", &StockLogFields::text},     {"DATUM", &StockLogFields::datum},
    {"PREIS", &StockLogFields::preis},   {"ABGA", &StockLogFields::abga},
    {"RUECK", &StockLogFields::rueck},
};

// The stock master's fields that one mode writes: both modes write the
// imported values, new items also their article number and defaults.
std::vector<std::string_view> FieldsWritten(StockMode mode) {
    std::vector<std::string_view> names = FieldNames(kStockFields);
    if (mode == StockMode::kNewItems) {
        names.push_back("ARTNUM");
        for (const NewItemDefault& item : kNewItemDefaults) names.push_back(item.field);
    }
    return names;
}

// The first of `names` that `table` lacks, if any.
std::optional<std::string_view> MissingField(TApolloTable& table,
                                             const std::vector<std::string_view>& names) {
    for (std::string_view name : names) {
        if (table.FindField(name) == nullptr) return name;
    }
    return std::nullopt;
}

std::string MissingFieldLine(std::string_view field, const std::string& tableName) {
    return "Lagerupdate: Das Feld " + std::string(field) + " fehlt in " + tableName + "!\r";
}

// FELD1 padded with blanks to the key width, counted in stored characters, so
// that a stock item matches only when its whole article number equals it.
std::string SeekKey(const std::string& feld1) {
    std::string key = feld1;
    const std::size_t chars = CodePointCount(feld1);
    if (chars < kKeyWidth) key.append(kKeyWidth - chars, ' ');
    return key;
}

// FELD12 as a whole number (blanks around it allowed); nothing when it is
// none, so that STSATZ and STSATZ_2 keep what they hold.
std::optional<int> WholeNumber(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int value = 0;
    const char* end = text.data() + text.size();
    auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || rest != end) return std::nullopt;
    return value;
}

// WGRUPP always begins with the marker "#"; the field cuts it to 13 characters.
std::string GroupWithMarker(const std::string& feld9) {
    return !feld9.empty() && feld9.front() == '#' ? feld9 : "#" + feld9;
}

TDate Today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return TDate{std::chrono::year{local.tm_year + 1900},
                 std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                 std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

// Opens the stock master exclusively with MLAGER.NTX as its one index and
// returns that index's order; nothing when either cannot be opened.
std::optional<int> OpenStockMaster(TApolloTable& artikel, const std::string& dataPath) {
    artikel.Close();
    try {
        artikel.SetDatabaseName(dataPath);
        artikel.SetTableName(kStockMasterTableName);
        artikel.SetTableType(ttSXNTX);
        artikel.SetExclusive(true);
        artikel.SetOEMTranslate(false);
        artikel.SetOnNewRecord(apArtikelNewRecord);
        artikel.Open();
        return artikel.IndexOpen(dataPath + kStockMasterIndexName);
    } catch (const std::exception&) {
        artikel.Close();
        return std::nullopt;
    }
}

// Opens the stock log shared unless an earlier call left it open.
bool OpenStockLog(TApolloTable& proto, const std::string& dataPath) {
    if (proto.Active()) return true;
    try {
        proto.SetDatabaseName(dataPath);
        proto.SetTableName(kStockLogTableName);
        proto.SetTableType(ttSXNTX);
        proto.SetExclusive(false);
        proto.SetOEMTranslate(false);
        proto.Open();
        return true;
    } catch (const std::exception&) {
        proto.Close();
        return false;
    }
}

// The walk over the working table; returns the handled count.
class StockWalk {
  public:
    StockWalk(StockTables tables, const StockPaths& paths, StockMode mode, TApolloTable& working,
              const TakeOverSwitchesFn& switches, StepProgress& progress)
        : tables_(tables),
          paths_(paths),
          mode_(mode),
          working_(working),
          switches_(switches),
          progress_(progress) {}

    long Run() {
        const long total = working_.RecordCount();
        progress_.SetMaximum(static_cast<int>(total));
        progress_.SetPosition(0);
        long handled = 0;
        working_.First();
        if (!working_.Eof()) {
            // All three tables stay open through the walk, so their fields stay put.
            const WorkingFields in = BindFields(working_, kWorkingFields);
            const StockFields stock = BindFields(tables_.artikel, kStockFields);
            // Written only in new-item mode, which checks for it.
            TApolloField* const artnum = tables_.artikel.FindField("ARTNUM");
            const StockLogFields log = BindFields(tables_.proto, kStockLogFields);
            const std::string logText =
                mode_ == StockMode::kUpdate ? "\xC3\x84nderung" : "Neuanlage";
            const TDate today = Today();
            for (long counter = 1; !working_.Eof(); ++counter) {
                if (counter % kProgressStep == 0) progress_.SetPosition(static_cast<int>(counter));
                const bool found = tables_.artikel.Seek(SeekKey(in.feld1->AsString()));
                if (found == (mode_ == StockMode::kUpdate)) {
                    ++handled;
                    HandleRecord(in, stock, artnum);
                    WriteStockMovement(tables_.artikel, journal_, paths_.dataPath);
                    WriteLogRecord(in, log, logText, today);
                }
                working_.Next();
                ProcessPendingMessages();
            }
        }
        progress_.SetPosition(static_cast<int>(total));
        return handled;
    }

  private:
    void HandleRecord(const WorkingFields& in, const StockFields& stock, TApolloField* artnum) {
        TApolloTable& artikel = tables_.artikel;
        if (mode_ == StockMode::kUpdate) {
            artikel.Edit();
        } else {
            artikel.Append();
            artnum->Assign(*in.feld1);
        }
        stock.artbez->Assign(*in.feld2);
        stock.tex1->Assign(*in.feld6);
        if (std::optional<int> rate = WholeNumber(in.feld12->AsString())) {
            stock.stsatz->SetAsInteger(*rate);
            stock.stsatz2->SetAsInteger(*rate);
        }
        const TakeOverSwitches take = switches_();
        if (take.sellingPrice && stock.preis->AsFloat() == 0) {
            stock.preis->SetAsFloat(NumberFromText(in.feld3->AsString()));
        }
        if (take.purchasePrice) stock.ekpr->SetAsFloat(NumberFromText(in.feld4->AsString()));
        if (take.group) stock.wgrupp->SetAsString(GroupWithMarker(in.feld9->AsString()));
        if (take.supplier) {
            stock.liferant->Assign(*in.feld5);
            stock.libnr1->Assign(*in.feld13);
        }
        if (take.searchCode) stock.suchcod->Assign(*in.feld8);
        artikel.Post();
    }

    void WriteLogRecord(const WorkingFields& in, const StockLogFields& log, const std::string& text,
                        const TDate& today) {
        tables_.proto.Append();
        log.artbez->Assign(*in.feld2);
        log.artnum->Assign(*in.feld1);
        log.text->SetAsString(text);
        log.datum->SetAsDate(today);
        log.preis->SetAsFloat(NumberFromText(in.feld3->AsString()));
        log.abga->SetAsFloat(0);
        log.rueck->SetAsFloat(0);
        tables_.proto.Post();
    }

    StockTables tables_;
    const StockPaths& paths_;
    StockMode mode_;
    TApolloTable& working_;
    const TakeOverSwitchesFn& switches_;
    StepProgress& progress_;
    TApolloTable journal_;  // opened and closed again for every movement
};

}  // namespace

void StockUpdate(StockTables tables, const StockPaths& paths, StockMode mode, TApolloTable& working,
                 const TakeOverSwitchesFn& switches, StepProgress& progress,
                 std::vector<std::string>& report) {
    std::optional<int> order = OpenStockMaster(tables.artikel, paths.dataPath);
    if (!order) {
        report.push_back(kAccessFailure);
        return;
    }
    if (auto missing = MissingField(tables.artikel, FieldsWritten(mode))) {
        report.push_back(MissingFieldLine(*missing, kStockMasterTableName));
        tables.artikel.Close();
        return;
    }
    if (!OpenStockLog(tables.proto, paths.dataPath)) {
        report.push_back("Lagerupdate: Fehler beim Zugriff auf " + paths.dataPath +
                         kStockLogTableName + "!\r");
        tables.artikel.Close();
        return;
    }
    if (auto missing = MissingField(tables.proto, FieldNames(kStockLogFields))) {
        report.push_back(MissingFieldLine(*missing, kStockLogTableName));
        tables.artikel.Close();
        return;
    }

    // An update killed in the middle may have left its last stock item in
    // MLAGER.DBF but not in MLAGER.NTX, and the other indexes not rebuilt: a
    // new-item run on that index would create the item a second time.  The
    // stock master is ours alone now, so its index is built anew first; the
    // others follow at the end as after every update.
    UnfinishedRunMarker marker(paths.dataPath + kStockMarkerName);
    if (marker.LeftByAnEarlierRun()) {
        const std::string indexFile = paths.dataPath + kStockMasterIndexName;
        try {
            const std::string expression = tables.artikel.IndexKey(*order);
            tables.artikel.Close();
            RebuildIndex(tables.artikel, indexFile, expression,
                         [&progress](int percent) { progress.OnEngineProgress(percent); });
        } catch (const std::exception&) {
            tables.artikel.Close();
            report.push_back(kAccessFailure);
            return;
        }
        order = OpenStockMaster(tables.artikel, paths.dataPath);
        if (!order) {
            report.push_back(kAccessFailure);
            return;
        }
        report.push_back("Lagerupdate: Die letzte Aktualisierung wurde nicht beendet, " +
                         std::string(kStockMasterIndexName) + " wurde neu aufgebaut.\r");
    }
    (void)marker.Begin();

    const bool update = mode == StockMode::kUpdate;
    progress.SetInfo(TextChoice(update, "Lagerupdate", "Lagerneuanlage") +
                     " wird durchgef\xC3\xBChrt...");
    long handled = 0;
    try {
        tables.artikel.SetOrder(*order);
        handled = StockWalk(tables, paths, mode, working, switches, progress).Run();
    } catch (...) {
        // The host must not find its stock master locked after a failed run,
        // nor a later call write a half-filled stock log record.
        tables.proto.Cancel();
        tables.artikel.Close();
        throw;
    }
    report.push_back("Lagerupdate: " + std::to_string(handled) +
                     TextChoice(update, " \xC3\x84nderungen", " Neuanlagen") + "\r");
    tables.artikel.Close();
    RebuildIndexes(kStockMasterBaseName, paths.programDirectory, paths.dataPath, progress);
    marker.Finish();
}

}  // namespace zer1
