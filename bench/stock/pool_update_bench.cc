// Timed driver: converts a DGH member of 200,000 lines into the working table,
// then carries the working table into a pool of 100,000 records with five
// indexes (shared, every record committed).  Prints lines or records per
// second of each stage and the peak resident memory of the process.
//
//   bench_pool_update [member lines] [pool records]
#include <sys/resource.h>

#include <array>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "imports/dgh_import.h"
#include "imports/working_record.h"
#include "imports/working_table.h"
#include "stock/pool_update.h"
#include "storage/apollo_table.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the process (user and system), which other load on the
// machine does not stretch the way it stretches wall time.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string Ean(long n) { return std::to_string(4000000000000L + n); }

// A member of `lines` 16-column lines, UTF-16LE with byte-order mark.  Every
// second article is one the pool already holds, so the update both changes
// and adds records.
void WriteMember(const std::string& path, long lines) {
    std::u16string text = u"\uFEFF";
    for (long i = 0; i < lines; ++i) {
        std::u16string number;
        for (char c : Ean(i)) number.push_back(static_cast<char16_t>(c));
        text.append(u"Zusatz;text;").append(number);
        text.append(u";Gr\u00FC\u00DFe Artikel;Lieferant;x;").append(number);
        text.append(u";;;;;;1.50;2.99;;WG");
        text.push_back(static_cast<char16_t>(u'0' + i % 10));
        text.append(u"\r\n");
    }
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

class SilentProgress : public zer1::StepProgress {
public:
    void SetInfo(const std::string&) override {}
    void SetMaximum(int) override {}
    void SetPosition(int) override {}
};

// The pool with FELD1 to FELD13, `records` articles (every second EAN of the
// member) and its five indexes.
void MakePool(const std::string& dir, long records) {
    zer1::TApolloTable maker;
    maker.CreateNew(dir + zer1::kPoolTableName, zer1::kTableTypeNtx, 13);
    for (int n = 1; n <= 13; ++n) {
        maker.CreateField("FELD" + std::to_string(n), "C", zer1::WorkingFieldWidth(n), 0);
    }
    maker.CreateExec();
    zer1::TApolloTable pool;
    pool.SetDatabaseName(dir);
    pool.SetTableName(zer1::kPoolTableName);
    pool.SetExclusive(true);
    pool.Open();
    for (long i = 0; i < records; ++i) {
        pool.Append();
        pool.FieldByName("FELD1").SetAsString(Ean(2 * i));
        pool.FieldByName("FELD2").SetAsString(std::string("POOLARTIKEL ") += std::to_string(i));
        pool.FieldByName("FELD9").SetAsString(std::string("FOWG") += std::to_string(i % 10));
        pool.FieldByName("FELD11").SetAsString("FO");
        std::string order_number = "/";
        order_number += std::to_string(i);
        pool.FieldByName("FELD13").SetAsString(order_number);
        pool.Post();
    }
    const std::array<const char*, zer1::kPoolIndexCount> keys{
        "FELD1", "UPPER(FELD2)", "FELD13", "FELD9+FELD1", "FELD11+FELD1"};
    for (int k = 0; k < zer1::kPoolIndexCount; ++k) {
        pool.Index(dir + zer1::kPoolIndexNames[k], keys[k]);
    }
    pool.Close();
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 200000;
    const long pool_records = argc > 2 ? std::atol(argv[2]) : 100000;
    const zer1::testing::TempDir scratch("zer1-pool-bench");
    const std::string& dir = scratch.path();
    try {
        WriteMember(dir + "ARTIKEL.TXT", lines);
        MakePool(dir, pool_records);

        zer1::CreateWorkingTable(dir + "TMPDGH.DBF");
        zer1::TApolloTable working;
        working.SetDatabaseName(dir);
        working.SetTableName("TMPDGH.DBF");
        working.SetExclusive(true);
        working.Open();
        Clock::time_point start = Clock::now();
        double cpu_start = CpuSeconds();
        const long stored = zer1::ImportDghSourceFile(working, dir + "ARTIKEL.TXT");
        const double convert_seconds = SecondsSince(start);
        const double convert_cpu = CpuSeconds() - cpu_start;
        std::printf("DGH conversion: %ld lines in %.2f s = %.0f lines/s (CPU %.2f s = %.0f lines/s)\n",
                    stored, convert_seconds, stored / convert_seconds, convert_cpu,
                    stored / convert_cpu);

        zer1::TApolloTable pool_table;
        std::array<int, zer1::kPoolIndexCount> orders{};
        std::vector<std::string> report;
        SilentProgress progress;
        working.First();
        start = Clock::now();
        cpu_start = CpuSeconds();
        zer1::UpdatePool(zer1::PoolTable{pool_table, orders}, dir, working, progress, report);
        const double pool_seconds = SecondsSince(start);
        const double pool_cpu = CpuSeconds() - cpu_start;
        std::printf("Pool update:    %ld records in %.2f s = %.0f records/s (CPU %.2f s = %.0f records/s) (%s)\n",
                    stored, pool_seconds, stored / pool_seconds, pool_cpu, stored / pool_cpu,
                    report.empty() ? "no report" : report.back().c_str());
        std::printf("Peak resident memory: %ld KiB\n", PeakResidentKiB());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_pool_update: %s\n", e.what());
        return 1;
    }
    return 0;
}
