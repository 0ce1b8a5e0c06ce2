// The Fowis run over a price list of 100,000 lines.  Each benchmark reports
// "lines/s": the SDF append into FO_1.DBF, the conversion of the staged
// records into a price table, and the whole run as the start button starts it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/number_format.h"
#include "fowis/fowis_run.h"
#include "fowis/price_list_conversion.h"
#include "fowis/table_creation.h"
#include "fowis/table_structures.h"
#include "recording_run_host.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

constexpr int kLines = 100000;

// A progress window that costs nothing, so the loop is measured alone.
class SilentProgress : public ProgressWindow {
  public:
    void SetCaption(const std::string&) override {}
    void SetInfo(const std::string&) override {}
    void Show() override {}
    void SetMaximum(int maximum) override { maximum_ = maximum; }
    void SetPosition(int position) override { position_ = position; }
    int Maximum() const override { return maximum_; }
    int Position() const override { return position_; }
    void SetTag(int) override {}
    int Tag() const override { return 0; }
    void OnEngineProgress(int) override {}

  private:
    int maximum_ = 0;
    int position_ = 0;
};

// Puts `value` at the columns of staging field `name`.
void Put(std::string& line, const char* name, const std::string& value) {
    const SourceColumns columns = StagingFieldColumns(name);
    const std::size_t width = static_cast<std::size_t>(columns.last - columns.first + 1);
    line.replace(static_cast<std::size_t>(columns.first - 1), std::min(width, value.size()),
                 value.substr(0, width));
}

// Program, data and source directories with TRFOWIS.SDF of kLines lines: a
// realistic mix of filled and empty price columns, every other line without
// an EAN.
struct BenchFiles {
    testing::TempDir scratch{"zer1-fowis-bench"};
    std::string root = scratch.path();
    std::string program;
    std::string data;
    std::string source;

    BenchFiles() {
        program = root + "prog/";
        data = root + "data/";
        for (const std::string& dir : {program, data}) std::filesystem::create_directory(dir);
        source = root + "TRFOWIS.SDF";
        std::ofstream out(source, std::ios::binary);
        const char* prices[] = {"12,50", "1.95", "12,-", "-", "", "999,99", "0,95", "1,5-"};
        for (int i = 0; i < kLines; ++i) {
            std::string line(kSourceLineLength, ' ');
            Put(line, "FIRMA", "A" + std::to_string(100 + i % 900));
            Put(line, "ARTNR1", std::to_string(1000000 + i));
            Put(line, "ARTIKEL", "  schraube m" + std::to_string(i % 20));
            if (i % 2 == 0) Put(line, "EAN", std::to_string(4000000000000LL + i));
            Put(line, "LEK", prices[i % 8]);
            Put(line, "UEVK", prices[(i + 1) % 8]);
            for (int k = 1; k <= 10; ++k) {
                Put(line, ("G" + std::to_string(k)).c_str(), "g" + std::to_string(k));
                Put(line, ("T" + std::to_string(k)).c_str(), prices[(i + k) % 8]);
            }
            for (int k = 1; k <= 5; ++k) {
                Put(line, ("V" + std::to_string(k)).c_str(), "v" + std::to_string(k));
                Put(line, ("P" + std::to_string(k)).c_str(), prices[(i + 2 * k) % 8]);
            }
            Put(line, "RP1", prices[(i + 3) % 8]);
            out << line << "\r\n";
        }
    }
};

BenchFiles& Files() {
    static BenchFiles files;
    return files;
}

void Prepare() {
    processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
    engine();
}

void OpenExclusive(TApolloTable& table, const std::string& directory, const char* file) {
    table.SetDatabaseName(directory);
    table.SetTableName(file);
    table.SetExclusive(true);
    table.Open();
}

void ReportLines(benchmark::State& state) {
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(kLines) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}

void BM_SdfAppend(benchmark::State& state) {
    Prepare();
    BenchFiles& files = Files();
    TApolloTable staging;
    if (!CreateStagingTable(staging, files.program)) std::abort();
    OpenExclusive(staging, files.program, kStagingTableFile);
    for (auto _ : state) {
        staging.Zap();
        if (!staging.AppendFrom(files.source, kSdfFile, "")) state.SkipWithError("append failed");
    }
    if (staging.RecordCount() != kLines) state.SkipWithError("wrong record count");
    ReportLines(state);
    staging.Close();
    std::filesystem::remove(files.program + kStagingTableFile);
}
BENCHMARK(BM_SdfAppend)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ConversionLoop(benchmark::State& state) {
    Prepare();
    ScopedNumberFormat keep;
    BenchFiles& files = Files();
    TApolloTable staging;
    TApolloTable price;
    if (!CreateStagingTable(staging, files.program) || !CreatePriceTable(price, files.data))
        std::abort();
    OpenExclusive(staging, files.program, kStagingTableFile);
    OpenExclusive(price, files.data, kPriceTableFile);
    staging.AppendFrom(files.source, kSdfFile, "");
    SilentProgress progress;
    for (auto _ : state) {
        price.Zap();
        ConvertStagedPriceList(staging, price, 1.25f, progress);
    }
    if (price.RecordCount() != kLines) state.SkipWithError("wrong record count");
    ReportLines(state);
    staging.Close();
    price.Close();
    std::filesystem::remove(files.program + kStagingTableFile);
    std::filesystem::remove(files.data + kPriceTableFile);
}
BENCHMARK(BM_ConversionLoop)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The whole run: checks, settings, tables, append, conversion, replacement.
void BM_FowisRun(benchmark::State& state) {
    Prepare();
    ScopedNumberFormat keep;
    BenchFiles& files = Files();
    RecordingRunHost host(files.data, files.program);
    host.texts[DialogControl::kSleQuelleFowis] = files.source;
    host.texts[DialogControl::kSleZielFowis] = files.data;
    host.factor = 1.25L;
    for (auto _ : state) {
        RunFowisConversion(host);
        host.progress_windows.clear();
    }
    ReportLines(state);
}
BENCHMARK(BM_FowisRun)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace zer1

BENCHMARK_MAIN();
