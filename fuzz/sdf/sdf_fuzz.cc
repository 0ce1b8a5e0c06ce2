// Fuzz target of the Fowis staging: the input is a price list TRFOWIS.SDF.
// As the Fowis run does, it is first looked at; a usable list is appended to
// the staging table FO_1.DBF by the engine's SDF append and converted into a
// price table with the structure of FOWISPR.DBF, through the table layer and
// the engine loaded as the run loads it.  Both tables are created once and
// emptied before every input.  Bad lines must end in the check's outcome,
// an engine error or a PriceConversionError, never in a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/error.h"
#include "common/scratch.h"
#include "fowis/price_list_conversion.h"
#include "fowis/price_list_source.h"
#include "fowis/price_text.h"
#include "fowis/table_creation.h"
#include "fowis/table_structures.h"
#include "run/run_host.h"
#include "storage/apollo_error.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"

namespace {

// The run's progress window without a window.
class NoProgress : public zer1::ProgressWindow {
  public:
    void SetCaption(const std::string&) override {}
    void SetInfo(const std::string&) override {}
    void Show() override {}
    void SetMaximum(int maximum) override { maximum_ = maximum; }
    void SetPosition(int position) override { position_ = position; }
    int Maximum() const override { return maximum_; }
    int Position() const override { return position_; }
    void SetTag(int tag) override { tag_ = tag; }
    int Tag() const override { return tag_; }
    void OnEngineProgress(int) override {}

  private:
    int maximum_ = 0;
    int position_ = 0;
    int tag_ = 0;
};

struct Tables {
    zer1::TApolloTable staging;
    zer1::TApolloTable price;
};

void OpenExclusive(zer1::TApolloTable& table, const std::string& directory, const char* file) {
    table.Close();
    table.SetDatabaseName(directory);
    table.SetTableName(file);
    table.SetTableType(zer1::ttSXNTX);
    table.SetExclusive(true);
    table.Open();
}

Tables& Setup() {
    static Tables* tables = [] {
        const std::string& directory = zer1_fuzz::ScratchDirectory("sdf");
        auto* t = new Tables;
        try {
            if (!zer1::CreateStagingTable(t->staging, directory) ||
                !zer1::CreatePriceTable(t->price, directory)) {
                std::fprintf(stderr, "the Fowis tables cannot be created\n");
                std::abort();
            }
            OpenExclusive(t->staging, directory, zer1::kStagingTableFile);
            OpenExclusive(t->price, directory, zer1::kPriceTableFile);
        } catch (const zer1::Error& error) {
            std::fprintf(stderr, "the Fowis tables cannot be opened: %s\n", error.what());
            std::abort();
        }
        return t;
    }();
    return *tables;
}

}  // namespace

// Loads the engine before the fuzzing starts, so that its coverage counts.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zer1::engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Tables& tables = Setup();
    const std::string source = zer1_fuzz::ScratchDirectory("sdf") + "TRFOWIS.SDF";
    zer1_fuzz::WriteScratchFile(source, data, size);

    const zer1::PriceListSourceCheck check =
        zer1::CheckPriceListSource(source, zer1::kSourceLineLength);
    if (check.outcome != zer1::PriceListSourceCheck::Outcome::kUsable) return 0;
    try {
        tables.staging.Zap();
        tables.price.Zap();
        if (!tables.staging.AppendFrom(source, zer1::kSdfFile, "")) return 0;
        NoProgress progress;
        zer1::ConvertStagedPriceList(tables.staging, tables.price, 1.1f, progress);
    } catch (const zer1::PriceConversionError&) {
    } catch (const zer1::EApolloError&) {
    }
    return 0;
}
