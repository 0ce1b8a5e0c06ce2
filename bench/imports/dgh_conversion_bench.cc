// Throughput of reading a DGH member: UTF-16LE decoding with line splitting
// (into UTF-8 and into the table's Windows-1252), the conversion of lines into
// working-record values (UTF-8 and stored bytes), and a whole member into the
// working table.
#include <benchmark/benchmark.h>

#include <string>

#include "imports/dgh_conversion.h"
#include "imports/dgh_import.h"
#include "imports/dgh_source.h"
#include "imports/working_table.h"
#include "storage/apollo_table.h"
#include "tests/support/temp_dir.h"

namespace {

// A member of n typical 16-column lines, UTF-16LE with byte-order mark.
std::string MakeMember(int n) {
    std::u16string text = u"\uFEFF";
    for (int i = 0; i < n; ++i) {
        std::u16string number;
        for (char c : std::to_string(4000000000000 + i)) number += static_cast<char16_t>(c);
        text += u"Zusatz;text;" + number + u";Gr\u00FC\u00DFe Artikel;Lieferant;x;" + number +
                u";;;;;;1.50;2.99 \u20AC;;WG1\r\n";
    }
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

void BM_DecodeDghMember(benchmark::State& state) {
    const std::string member = MakeMember(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        long lines = 0;
        zer1::ForEachDghLine(member, [&lines](std::string_view) { ++lines; });
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(member.size()));
}
BENCHMARK(BM_DecodeDghMember)->Arg(10000);

// The form the import reads in: straight into the working table's code page.
void BM_DecodeDghMemberWindows1252(benchmark::State& state) {
    const std::string member = MakeMember(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        long lines = 0;
        zer1::ForEachDghLine(
            member, [&lines](std::string_view) { ++lines; }, zer1::DghLineText::kWindows1252);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(member.size()));
}
BENCHMARK(BM_DecodeDghMemberWindows1252)->Arg(10000);

void BM_ConvertDghLine(benchmark::State& state) {
    const std::string line =
        "Zusatz;text;4000000000001;Gr\xC3\xBC\xC3\x9F"
        "e Artikel;Lieferant;x;4000000000001;;;;;;"
        "1.50;2.99 \xE2\x82\xAC;;WG1";
    for (auto _ : state) {
        benchmark::DoNotOptimize(zer1::ConvertDghLine(line, "09.03.26"));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertDghLine);

// The same line in Windows-1252 into stored bytes, as the import converts it.
void BM_ConvertDghLineStored(benchmark::State& state) {
    const std::string line =
        "Zusatz;text;4000000000001;Gr\xFC\xDF"
        "e Artikel;Lieferant;x;4000000000001;;;;;;"
        "1.50;2.99 \x80;;WG1";
    zer1::DghLineConverter converter;
    for (auto _ : state) {
        benchmark::DoNotOptimize(&converter.Convert(line, "09.03.26"));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertDghLineStored);

// A whole member into an emptied working table, as the DGH run does it.
void BM_ImportDghSourceFile(benchmark::State& state) {
    const zer1::testing::TempDir dir("zer1-dgh-bench");
    const std::string member = dir / "artikel.txt";
    dir.Write("artikel.txt", MakeMember(static_cast<int>(state.range(0))));
    if (!zer1::CreateWorkingTable(dir / "TMPDGH.DBF")) {
        state.SkipWithError("working table not created");
        return;
    }
    zer1::TApolloTable working;
    working.SetDatabaseName(dir.path());
    working.SetTableName("TMPDGH.DBF");
    working.SetExclusive(true);
    working.Open();
    for (auto _ : state) {
        working.Zap();
        benchmark::DoNotOptimize(zer1::ImportDghSourceFile(working, member));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    working.Close();
}
BENCHMARK(BM_ImportDghSourceFile)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
