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
#include "stock/index_rebuild.h"
#include "stock/new_item_defaults.h"
#include "stock/stock_fields.h"
#include "stock/stock_movement.h"
#include "storage/apollo_table.h"

namespace zer1 {

namespace {

constexpr std::size_t kKeyWidth = 13;  // ARTNUM and the key of MLAGER.NTX
constexpr long kProgressStep = 100;

constexpr const char* kAccessFailure =
    "Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!\r";

// The stock master's fields that one mode writes: both modes write the
// imported values, new items also their article number and defaults.
std::vector<std::string_view> FieldsWritten(StockMode mode) {
    std::vector<std::string_view> names{"ARTBEZ", "TEX1",   "STSATZ",   "STSATZ_2", "PREIS",
                                        "EKPR",   "WGRUPP", "LIFERANT", "LIBNR1",   "SUCHCOD"};
    if (mode == StockMode::kNewItems) {
        names.push_back("ARTNUM");
        for (const NewItemDefault& item : kNewItemDefaults) names.push_back(item.field);
    }
    return names;
}

constexpr std::string_view kStockLogFields[] = {"ARTBEZ", "ARTNUM", "TEXT", "DATUM",
                                                "PREIS",  "ABGA",   "RUECK"};

// The first of `names` that `table` lacks, if any.
template <class Names>
std::optional<std::string_view> MissingField(TApolloTable& table, const Names& names) {
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

// The fields of one working record that the step reads.
struct WorkingFields {
    explicit WorkingFields(TApolloTable& working)
        : feld1(working.FieldByName("FELD1")),
          feld2(working.FieldByName("FELD2")),
          feld3(working.FieldByName("FELD3")),
          feld4(working.FieldByName("FELD4")),
          feld5(working.FieldByName("FELD5")),
          feld6(working.FieldByName("FELD6")),
          feld8(working.FieldByName("FELD8")),
          feld9(working.FieldByName("FELD9")),
          feld12(working.FieldByName("FELD12")),
          feld13(working.FieldByName("FELD13")) {}
    TApolloField &feld1, &feld2, &feld3, &feld4, &feld5, &feld6, &feld8, &feld9, &feld12, &feld13;
};

struct StockFields {
    explicit StockFields(TApolloTable& artikel)
        : artnum(artikel.FindField("ARTNUM")),
          artbez(artikel.FieldByName("ARTBEZ")),
          tex1(artikel.FieldByName("TEX1")),
          stsatz(artikel.FieldByName("STSATZ")),
          stsatz2(artikel.FieldByName("STSATZ_2")),
          preis(artikel.FieldByName("PREIS")),
          ekpr(artikel.FieldByName("EKPR")),
          wgrupp(artikel.FieldByName("WGRUPP")),
          liferant(artikel.FieldByName("LIFERANT")),
          libnr1(artikel.FieldByName("LIBNR1")),
          suchcod(artikel.FieldByName("SUCHCOD")) {}
    TApolloField* artnum;  // written only in new-item mode, which checks for it
    TApolloField &artbez, &tex1, &stsatz, &stsatz2, &preis, &ekpr, &wgrupp, &liferant, &libnr1,
        &suchcod;
};

struct StockLogFields {
    explicit StockLogFields(TApolloTable& proto)
        : artbez(proto.FieldByName("ARTBEZ")),
          artnum(proto.FieldByName("ARTNUM")),
          text(proto.FieldByName("TEXT")),
          datum(proto.FieldByName("DATUM")),
          preis(proto.FieldByName("PREIS")),
          abga(proto.FieldByName("ABGA")),
          rueck(proto.FieldByName("RUECK")) {}
    TApolloField &artbez, &artnum, &text, &datum, &preis, &abga, &rueck;
};

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
            WorkingFields in(working_);
            StockFields stock(tables_.artikel);
            StockLogFields log(tables_.proto);
            const std::string logText =
                mode_ == StockMode::kUpdate ? "\xC3\x84nderung" : "Neuanlage";
            const TDate today = Today();
            for (long counter = 1; !working_.Eof(); ++counter) {
                if (counter % kProgressStep == 0) progress_.SetPosition(static_cast<int>(counter));
                const bool found = tables_.artikel.Seek(SeekKey(in.feld1.AsString()));
                if (found == (mode_ == StockMode::kUpdate)) {
                    ++handled;
                    HandleRecord(in, stock);
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
    void HandleRecord(WorkingFields& in, StockFields& stock) {
        TApolloTable& artikel = tables_.artikel;
        if (mode_ == StockMode::kUpdate) {
            artikel.Edit();
        } else {
            artikel.Append();
            stock.artnum->Assign(in.feld1);
        }
        stock.artbez.Assign(in.feld2);
        stock.tex1.Assign(in.feld6);
        if (std::optional<int> rate = WholeNumber(in.feld12.AsString())) {
            stock.stsatz.SetAsInteger(*rate);
            stock.stsatz2.SetAsInteger(*rate);
        }
        const TakeOverSwitches take = switches_();
        if (take.sellingPrice && stock.preis.AsFloat() == 0) {
            stock.preis.SetAsFloat(NumberFromText(in.feld3.AsString()));
        }
        if (take.purchasePrice) stock.ekpr.SetAsFloat(NumberFromText(in.feld4.AsString()));
        if (take.group) stock.wgrupp.SetAsString(GroupWithMarker(in.feld9.AsString()));
        if (take.supplier) {
            stock.liferant.Assign(in.feld5);
            stock.libnr1.Assign(in.feld13);
        }
        if (take.searchCode) stock.suchcod.Assign(in.feld8);
        artikel.Post();
    }

    void WriteLogRecord(WorkingFields& in, StockLogFields& log, const std::string& text,
                        const TDate& today) {
        tables_.proto.Append();
        log.artbez.Assign(in.feld2);
        log.artnum.Assign(in.feld1);
        log.text.SetAsString(text);
        log.datum.SetAsDate(today);
        log.preis.SetAsFloat(NumberFromText(in.feld3.AsString()));
        log.abga.SetAsFloat(0);
        log.rueck.SetAsFloat(0);
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
    if (auto missing = MissingField(tables.proto, kStockLogFields)) {
        report.push_back(MissingFieldLine(*missing, kStockLogTableName));
        tables.artikel.Close();
        return;
    }

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
}

}  // namespace zer1
