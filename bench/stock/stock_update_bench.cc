// Timed driver of the stock update: a working table of 100,000 articles
// against a stock master of 100,000 items of the host's 94-field layout, half
// of the articles matching, with the index catalogue's six MLAGER indexes.
// Runs update mode, then new-item mode (movement journal, stock log and index
// rebuild included) and prints, per mode, the handled records per second of
// the walk, the time of each index build, and the peak resident memory.
//
//   bench_stock_update [working records] [stock items]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "imports/working_record.h"
#include "imports/working_table.h"
#include "stock/stock_update.h"
#include "stock_layout.h"
#include "storage/apollo_table.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Processor time of the process (user and system), which other load on the
// machine does not stretch the way it stretches wall time.
double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string Ean(long n) {
    return std::to_string(4000000000000L + n);
}

// Notes when the walk ends (the first catalogue row) and how long each index
// build takes (from its "Erstelle" line to the tag going back to 0).
class TimingProgress : public zer1::StepProgress {
  public:
    void SetInfo(const std::string& text) override {
        const auto now = Clock::now();
        if (walkEnd == Clock::time_point{} && text == "Indizierung...") {
            walkEnd = now;
            walkEndCpu = CpuSeconds();
        }
        if (text.rfind("Erstelle ", 0) == 0) {
            builds.emplace_back(text.substr(9, text.size() - 13), 0.0);
            buildStart = now;
        }
    }
    void SetMaximum(int) override {}
    void SetPosition(int) override {}
    void SetTag(int tag) override {
        zer1::StepProgress::SetTag(tag);
        if (tag == 0 && !builds.empty()) builds.back().second = Seconds(buildStart, Clock::now());
    }

    Clock::time_point walkEnd{};
    double walkEndCpu = 0;
    Clock::time_point buildStart{};
    std::vector<std::pair<std::string, double>> builds;
};

void MakeStockMaster(const std::string& dataPath, long items) {
    zer1::testing::CreateTable(dataPath + "MLAGER.DBF", zer1::testing::StockMasterLayout());
    zer1::TApolloTable stock;
    stock.SetDatabaseName(dataPath);
    stock.SetTableName("MLAGER.DBF");
    stock.SetExclusive(true);
    stock.Open();
    for (long i = 0; i < items; ++i) {
        zer1::testing::AppendStockItem(
            stock, {{"ARTNUM", Ean(2 * i)}, {"PREIS", i % 3 ? "9.90" : "0"}}, i + 1);
    }
    stock.Index(dataPath + "MLAGER.NTX", "ARTNUM");
    stock.Close();
    zer1::testing::CreateTable(dataPath + "MLPROTO.DBF", zer1::testing::StockLogLayout());
}

void FillWorkingTable(zer1::TApolloTable& working, long records) {
    for (long i = 0; i < records; ++i) {
        zer1::WorkingRecord rec;
        rec.set(1, Ean(i));
        rec.set(2, "Artikel " + std::to_string(i));
        rec.set(3, "     12.50");
        rec.set(4, "      7.25");
        rec.set(5, "GROSSHANDEL");
        rec.set(6, "Zusatz");
        rec.set(8, "SUCH" + std::to_string(i % 1000));
        rec.set(9, "WG" + std::to_string(i % 50));
        rec.set(12, "1");
        rec.set(13, "B" + std::to_string(i));
        zer1::AppendWorkingRecord(working, rec);
    }
}

void RunMode(zer1::StockMode mode, zer1::TApolloTable& working, zer1::TApolloTable& artikel,
             zer1::TApolloTable& proto, const std::string& dataPath,
             const std::string& programDirectory) {
    TimingProgress progress;
    std::vector<std::string> report;
    const zer1::TakeOverSwitches all{true, true, true, true, true};
    const auto start = Clock::now();
    const double startCpu = CpuSeconds();
    zer1::StockUpdate(
        zer1::StockTables{artikel, proto}, zer1::StockPaths{dataPath, programDirectory}, mode,
        working, [all] { return all; }, progress, report);
    const auto end = Clock::now();
    const std::string line = report.empty() ? "no report" : report.back();
    const long handled = std::atol(line.c_str() + line.find(": ") + 2);
    const double walk = Seconds(start, progress.walkEnd);
    const double walkCpu = progress.walkEndCpu - startCpu;
    std::printf(
        "%s (%s): %ld of %ld working records handled\n"
        "  walk %.2f s = %.0f handled records/s (CPU %.2f s = %.0f handled records/s); "
        "whole step %.2f s\n",
        mode == zer1::StockMode::kUpdate ? "Update mode" : "New-item mode",
        line.substr(0, line.size() - 1).c_str(), handled, working.RecordCount(), walk,
        handled / walk, walkCpu, handled / walkCpu, Seconds(start, end));
    for (const auto& [index, seconds] : progress.builds) {
        std::printf("  index %-12s %.3f s\n", index.c_str(), seconds);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::atol(argv[1]) : 100000;
    const long items = argc > 2 ? std::atol(argv[2]) : 100000;
    const zer1::testing::TempDir scratch("zer1-stock-bench");
    const std::string& root = scratch.path();
    const std::string dataPath = root + "daten/";
    const std::string programDirectory = root + "programm/";
    try {
        std::filesystem::create_directories(dataPath);
        std::filesystem::create_directories(programDirectory);
        MakeStockMaster(dataPath, items);
        zer1::testing::WriteCatalogueFile(programDirectory, zer1::testing::DefaultCatalogue());
        zer1::CreateWorkingTable(root + "TMPDGH.DBF");
        zer1::TApolloTable working;
        working.SetDatabaseName(root);
        working.SetTableName("TMPDGH.DBF");
        working.SetExclusive(true);
        working.Open();
        FillWorkingTable(working, records);
        std::printf("Stock master of %ld items, %ld working records (every second one matching)\n",
                    items, records);

        zer1::TApolloTable artikel;
        zer1::TApolloTable proto;
        RunMode(zer1::StockMode::kUpdate, working, artikel, proto, dataPath, programDirectory);
        RunMode(zer1::StockMode::kNewItems, working, artikel, proto, dataPath, programDirectory);
        std::printf("Peak resident memory: %ld KiB\n", PeakResidentKiB());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_stock_update: %s\n", e.what());
        return 1;
    }
    return 0;
}
