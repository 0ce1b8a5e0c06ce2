// Speed of NTX indexes through the C interface: a build over a million
// records, random seeks, and appends with five indexes open, exclusive and
// shared, every record committed with its index changes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/file.h"
#include "ntx/ntx_index.h"
#include "sde61.h"
#include "tests/support/temp_dir.h"

namespace {

// A file in the program's scratch directory, which is removed when the program ends.
std::string Scratch(const std::string& name) {
    static const zer1::testing::TempDir dir("sde61-bench-ntx");
    return dir / name;
}

constexpr uint32_t kBigRecords = 1000000;

std::string ArticleNumber(uint32_t n) {
    char buf[16];
    snprintf(buf, sizeof buf, "%013u", (n * 2654435761u) % 9999999967u);
    return buf;
}

// ARTNR (C 13) and NAME (C 20) over a million records, written straight into
// the file after an empty table made by the engine.
const std::string& BigTable() {
    static std::string path = [] {
        std::string p = Scratch("BIG.DBF");
        sx_CreateNew(p.c_str(), "BIG", SX_SDENTX, 2);
        sx_CreateField("ARTNR", "C", 13, 0);
        sx_CreateField("NAME", "C", 20, 0);
        sx_CreateExec();
        sx_Close();
        std::string bytes;
        {
            std::ifstream in(p, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        uint16_t header_length = uint16_t(uint8_t(bytes[8]) | (uint8_t(bytes[9]) << 8));
        bytes.resize(header_length);
        bytes.reserve(header_length + size_t(kBigRecords) * 34 + 1);
        for (uint32_t i = 1; i <= kBigRecords; ++i) {
            bytes += ' ';
            bytes += ArticleNumber(i);
            char name[24];
            snprintf(name, sizeof name, "%-20s", ("Artikel " + std::to_string(i)).c_str());
            bytes.append(name, 20);
        }
        bytes += '\x1a';
        for (int b = 0; b < 4; ++b) bytes[size_t(4 + b)] = char((kBigRecords >> (8 * b)) & 0xff);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        return p;
    }();
    return path;
}

void BM_BuildIndex1M(benchmark::State& state) {
    const std::string& table = BigTable();
    for (auto _ : state) {
        sx_UseEx(table.c_str(), "BIG", SX_EXCLUSIVE, SX_SDENTX, SX_COMMIT_NORMAL);
        int order = sx_Index(Scratch("BIG.NTX").c_str(), "ARTNR", "", 0, 0);
        if (order != 1) state.SkipWithError(sx_ErrorText());
        sx_Close();
    }
    state.counters["records"] = kBigRecords;
}
BENCHMARK(BM_BuildIndex1M)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Seek100k(benchmark::State& state) {
    const std::string& table = BigTable();
    if (!std::filesystem::exists(Scratch("BIG.NTX"))) {
        sx_UseEx(table.c_str(), "BIG", SX_EXCLUSIVE, SX_SDENTX, SX_COMMIT_NORMAL);
        sx_Index(Scratch("BIG.NTX").c_str(), "ARTNR", "", 0, 0);
        sx_Close();
    }
    std::mt19937 rng(42);
    std::vector<std::string> keys;
    for (int i = 0; i < 100000; ++i) keys.push_back(ArticleNumber(1 + rng() % kBigRecords));
    sx_UseEx(table.c_str(), "BIG", SX_EXCLUSIVE, SX_SDENTX, SX_COMMIT_NORMAL);
    sx_IndexOpen(Scratch("BIG.NTX").c_str());
    for (auto _ : state) {
        int found = 0;
        for (const auto& k : keys) found += sx_Seek(k.c_str());
        if (found != int(keys.size())) state.SkipWithError("a key was not found");
    }
    sx_Close();
    state.counters["seeks"] = double(keys.size());
}
BENCHMARK(BM_Seek100k)->Unit(benchmark::kMillisecond)->Iterations(5);

// Appends 100,000 records to a fresh table with five indexes open: each in
// one call with its data (as the table layer appends), or blank first and
// then filled.
void AppendWithFiveIndexes(benchmark::State& state, int mode, bool blank_first = false) {
    const int kRecords = 100000;
    std::mt19937 rng(7);
    std::vector<std::string> records;
    // Record layout: flag, ARTNR C13, NAME C40, GRP C5, PRICE N10.2, DAY D8.
    for (int i = 0; i < kRecords; ++i) {
        char rec[128];
        snprintf(rec, sizeof rec, " %013u%-40s%-5s%10.2f%04u%02u%02u",
                 (uint32_t(i) * 2654435761u) % 1000000007u,
                 ("Artikel " + std::to_string(rng() % 50000)).c_str(),
                 ("G" + std::to_string(rng() % 100)).c_str(),
                 (int(rng() % 2000000) - 500000) / 100.0, 2000 + unsigned(rng() % 30),
                 1 + unsigned(rng() % 12), 1 + unsigned(rng() % 28));
        records.emplace_back(rec, 1 + 13 + 40 + 5 + 10 + 8);
    }
    const char* indexes[][2] = {{"A1.NTX", "ARTNR"},
                                {"A2.NTX", "UPPER(NAME)"},
                                {"A3.NTX", "GRP+ARTNR"},
                                {"A4.NTX", "STR(PRICE,10,2)"},
                                {"A5.NTX", "DTOS(DAY)"}};
    for (auto _ : state) {
        state.PauseTiming();
        std::string table = Scratch("APP.DBF");
        sx_CreateNew(table.c_str(), "APP", SX_SDENTX, 5);
        sx_CreateField("ARTNR", "C", 13, 0);
        sx_CreateField("NAME", "C", 40, 0);
        sx_CreateField("GRP", "C", 5, 0);
        sx_CreateField("PRICE", "N", 10, 2);
        sx_CreateField("DAY", "D", 8, 0);
        sx_CreateExec();
        for (auto& ix : indexes) {
            sx_Index(Scratch(ix[0]).c_str(), ix[1], "", 0, 0);
            sx_IndexClose();
        }
        sx_Close();
        sx_UseEx(table.c_str(), "APP", mode, SX_SDENTX, SX_COMMIT_NORMAL);
        for (auto& ix : indexes) sx_IndexOpen(Scratch(ix[0]).c_str());
        state.ResumeTiming();
        for (const auto& rec : records) {
            bool appended = blank_first ? sx_AppendBlank() == 1 &&
                                              sx_PutRecord(rec.data(), int(rec.size())) == 1
                                        : sx_AppendRecord(rec.data(), int(rec.size())) == 1;
            if (!appended || sx_Commit() != 1) {
                state.SkipWithError(sx_ErrorText());
                break;
            }
            if (mode == SX_SHARED) sx_Unlock(0);
        }
        state.PauseTiming();
        sx_Close();
        state.ResumeTiming();
    }
    state.counters["records"] = kRecords;
}

void BM_Append100kFiveIndexesExclusive(benchmark::State& state) {
    AppendWithFiveIndexes(state, SX_EXCLUSIVE);
}
void BM_Append100kFiveIndexesShared(benchmark::State& state) {
    AppendWithFiveIndexes(state, SX_SHARED);
}
void BM_Append100kFiveIndexesSharedBlankFirst(benchmark::State& state) {
    AppendWithFiveIndexes(state, SX_SHARED, true);
}
BENCHMARK(BM_Append100kFiveIndexesExclusive)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Append100kFiveIndexesShared)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Append100kFiveIndexesSharedBlankFirst)->Unit(benchmark::kMillisecond)->Iterations(2);

// ---- The index module alone: no table, no record reads ----------------------

// 100,000 random seeks of existing keys with a cursor on the million-key index.
void BM_ModuleSeek100k(benchmark::State& state) {
    const std::string& table = BigTable();
    if (!std::filesystem::exists(Scratch("BIG.NTX"))) {
        sx_UseEx(table.c_str(), "BIG", SX_EXCLUSIVE, SX_SDENTX, SX_COMMIT_NORMAL);
        sx_Index(Scratch("BIG.NTX").c_str(), "ARTNR", "", 0, 0);
        sx_Close();
    }
    auto file = sde::DefaultEnv()->Open(Scratch("BIG.NTX"), sde::FileAccess::kReadOnly);
    auto index = sde::NtxIndex::Open(std::move(*file), false);
    if (!index.ok()) {
        state.SkipWithError(index.status().message().c_str());
        return;
    }
    std::mt19937 rng(42);
    std::vector<std::string> keys;
    for (int i = 0; i < 100000; ++i) keys.push_back(ArticleNumber(1 + rng() % kBigRecords));
    sde::NtxCursor cursor(index->get());
    for (auto _ : state) {
        int found = 0;
        for (const auto& k : keys) {
            bool f = false;
            (void)cursor.Seek(k, &f);
            found += f;
        }
        if (found != int(keys.size())) state.SkipWithError("a key was not found");
    }
}
BENCHMARK(BM_ModuleSeek100k)->Unit(benchmark::kMillisecond)->Iterations(5);

// 100,000 inserts into each of five indexes (keys of 13, 40, 18, 10 and 8
// bytes), every insert written to the file before the next.
void ModuleInsertFive(benchmark::State& state, bool shared) {
    const int sizes[5] = {13, 40, 18, 10, 8};
    std::mt19937 rng(3);
    std::vector<std::string> keys[5];
    for (int i = 0; i < 100000; ++i) {
        char buf[64];
        snprintf(buf, sizeof buf, "%013u", (uint32_t(i) * 2654435761u) % 1000000007u);
        keys[0].emplace_back(buf, 13);
        snprintf(buf, sizeof buf, "%-40s", ("ARTIKEL " + std::to_string(rng() % 50000)).c_str());
        keys[1].emplace_back(buf, 40);
        snprintf(buf, sizeof buf, "G%-4u%013u", unsigned(rng() % 100), unsigned(rng()));
        keys[2].emplace_back(buf, 18);
        snprintf(buf, sizeof buf, "%10.2f", (int(rng() % 2000000) - 500000) / 100.0);
        keys[3].emplace_back(buf, 10);
        snprintf(buf, sizeof buf, "%04u%02u%02u", 2000 + unsigned(rng() % 30),
                 1 + unsigned(rng() % 12), 1 + unsigned(rng() % 28));
        keys[4].emplace_back(buf, 8);
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<sde::NtxIndex> indexes[5];
        for (int x = 0; x < 5; ++x) {
            auto file = sde::DefaultEnv()->Create(Scratch("M" + std::to_string(x) + ".NTX"));
            auto header = sde::NewNtxHeader("K", "", sizes[x], 0, false, false);
            auto index = sde::NtxIndex::Create(std::move(*file), header, shared);
            indexes[x] = std::move(*index);
        }
        state.ResumeTiming();
        for (int i = 0; i < 100000; ++i) {
            for (int x = 0; x < 5; ++x) {
                sde::Status s = indexes[x]->Insert(keys[x][size_t(i)], uint32_t(i + 1));
                if (!s.ok()) state.SkipWithError(s.message().c_str());
            }
        }
    }
}
void BM_ModuleInsert100kFiveExclusive(benchmark::State& state) {
    ModuleInsertFive(state, false);
}
void BM_ModuleInsert100kFiveShared(benchmark::State& state) {
    ModuleInsertFive(state, true);
}
BENCHMARK(BM_ModuleInsert100kFiveExclusive)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ModuleInsert100kFiveShared)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
