// StockWorld: a data path, program directory and output directory in a fresh
// temporary folder, holding the host's stock tables as the host keeps them:
// MLAGER.DBF with the 34 fields the library handles and 60 further fields of
// the host, in the host's field order, MLAGER.NTX on ARTNUM, the stock log
// MLPROTO.DBF, the index catalogue INDEXES.DBF with rows for MLAGER and for
// other data files, and an open working table TMPDGH.DBF.  Every stock item
// gets distinct values in every field, so that a check can tell a field the
// library wrote from one it left alone, byte for byte.
#ifndef ZER1_TESTS_SUPPORT_STOCK_WORLD_H
#define ZER1_TESTS_SUPPORT_STOCK_WORLD_H

#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/ui_services.h"
#include "imports/working_record.h"
#include "stock/step_progress.h"
#include "stock/stock_update.h"
#include "stock_layout.h"
#include "storage/apollo_table.h"
#include "tests/support/raw_dbf.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1::testing {

// Everything a step does to the progress window, in order: "info:<text>",
// "max:<n>", "pos:<n>", "tag:<n>".  Engine reports reach "pos:" while the
// tag is 99.
class RecordingProgress : public StepProgress {
  public:
    void SetInfo(const std::string& text) override { events.push_back("info:" + text); }
    void SetMaximum(int maximum) override { events.push_back("max:" + std::to_string(maximum)); }
    void SetPosition(int position) override { events.push_back("pos:" + std::to_string(position)); }
    void SetTag(int tag) override {
        StepProgress::SetTag(tag);
        events.push_back("tag:" + std::to_string(tag));
    }
    // The events that start with `prefix`.
    std::vector<std::string> Only(const std::string& prefix) const;

    std::vector<std::string> events;
};

class StockWorld {
  public:
    StockWorld();
    ~StockWorld();

    // Appends stock items to MLAGER.DBF (MLAGER.NTX kept up to date): the
    // given values, and for every other field a value of its own made from
    // the record number.
    void AddStockItems(const std::vector<FieldValues>& items);
    void WriteCatalogue(const std::vector<CatalogueRow>& rows);
    // Replaces MLAGER.DBF and MLAGER.NTX by empty ones whose stock master
    // lacks the field `missing`.
    void RecreateStockMasterWithout(const std::string& missing);
    void AddArticle(const WorkingRecord& record);

    // One call of the stock update with the world's tables and paths.
    void RunStockUpdate(StockMode mode, const TakeOverSwitches& switches);

    RawDbf StockMaster() const { return ReadRawDbf(dataPath + "MLAGER.DBF"); }
    RawDbf StockLog() const { return ReadRawDbf(dataPath + "MLPROTO.DBF"); }
    RawDbf Movements() const { return ReadRawDbf(dataPath + "BEWEGZ.DBF"); }

    // Every field of record `recno` in `after` other than `changed` holds the
    // same bytes as in `before`.
    static void ExpectUnchangedExcept(const RawDbf& before, const RawDbf& after, long recno,
                                      const std::set<std::string>& changed);

    // The index file dataPath + indexName + ".NTX" holds every record of
    // MLAGER.DBF once, ordered by the key `expression` computed here from
    // the stored bytes (field names joined by "+", UPPER(), DTOS(),
    // STR(field,width,decimals)), as Perl XBase reads the file.
    void ExpectIndexMatchesStockMaster(const std::string& indexName,
                                       const std::string& expression) const;
    // The same for every MLAGER row of DefaultCatalogue().
    void ExpectCatalogueIndexesMatchStockMaster() const;

    TempDir root;
    std::string dataPath;
    std::string programDirectory;
    std::string outputDirectory;
    TApolloTable working;
    TApolloTable artikel;
    TApolloTable proto;
    RecordingProgress progress;
    std::vector<std::string> report;
    RecordingUiServices ui;

  private:
    void CreateStockMaster(const std::string& missing = "");
    void CreateStockLog();
    ScopedUiServices uiScope_{&ui};
    long itemsWritten_ = 0;
};

// The index file holds every record of the table once, ordered by the key
// `expression` computed here from the stored bytes (field names joined by
// "+", UPPER(), DTOS(), STR(field,width,decimals)), as Perl XBase reads it.
void ExpectIndexMatchesTable(const std::string& tableFile, const std::string& indexFile,
                             const std::string& expression);

// Padded to `width` with blanks, as a character field stores it.
std::string Pad(std::string value, std::size_t width);

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_STOCK_WORLD_H
