// Engine speed through the C API of libsde61.so:
//   - 1,000,000 appends of a 14-field record (291 bytes), each committed,
//     on an exclusively opened table;
//   - reading those records back field by field by name;
//   - appending 100,000 SDF lines of 402 characters.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sde61.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr long kRecords = 1000000;
constexpr long kSdfLines = 100000;

// The program's scratch directory, removed when the program ends.
const zer1::testing::TempDir& Scratch() {
    static const zer1::testing::TempDir dir("sde61-bench");
    return dir;
}

const char* const kFieldNames[14] = {"FELD1",  "FELD2",  "FELD3",  "FELD4", "FELD5",
                                     "FELD6",  "FELD7",  "FELD8",  "FELD9", "FELD10",
                                     "FELD11", "FELD12", "FELD13", "FELD14"};

// 14 character fields, 290 bytes of field data: a 291-byte record.
void CreateWideTable(const std::string& path) {
    if (sx_CreateNew(path.c_str(), "BENCH", SX_SDENTX, 14) != 1) std::abort();
    for (int i = 0; i < 14; ++i) {
        if (sx_CreateField(kFieldNames[i], "C", i < 12 ? 21 : 19, 0) != 1) std::abort();
    }
    if (sx_CreateExec() != 1 || sx_Close() != 1) std::abort();
}

void BM_AppendCommitEachRecord(benchmark::State& state) {
    std::string path = Scratch() / "APPEND.DBF";
    for (auto _ : state) {
        state.PauseTiming();
        CreateWideTable(path);
        if (sx_UseEx(path.c_str(), "APPEND", SX_EXCLUSIVE, SX_SDENTX, SX_COMMIT_NORMAL) < 1)
            std::abort();
        std::string record(size_t(sx_RecSize()), ' ');
        state.ResumeTiming();
        for (long i = 0; i < kRecords; ++i) {
            // A different record each time: the number in the first field.
            std::snprintf(record.data() + 1, 12, "%011ld", i);
            record[12] = ' ';
            if (sx_AppendBlank() != 1 || sx_PutRecord(record.data(), int(record.size())) != 1 ||
                sx_Commit() != 1) {
                state.SkipWithError(sx_ErrorText());
                break;
            }
        }
        state.PauseTiming();
        if (sx_RecCount() != kRecords) state.SkipWithError("record count is wrong");
        sx_Close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_AppendCommitEachRecord)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReadBackByName(benchmark::State& state) {
    std::string path = Scratch() / "APPEND.DBF";
    char buf[64];
    long fields_read = 0;
    for (auto _ : state) {
        if (sx_UseEx(path.c_str(), "READ", SX_EXCLUSIVE, SX_SDENTX, SX_COMMIT_NORMAL) < 1) {
            state.SkipWithError(sx_ErrorText());
            break;
        }
        long records = 0;
        for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) {
            for (const char* name : kFieldNames) {
                if (sx_GetString(name, buf, sizeof buf) < 0) std::abort();
                ++fields_read;
            }
            ++records;
        }
        sx_Close();
        if (records != kRecords) state.SkipWithError("records missing");
        state.SetItemsProcessed(records);
    }
    state.counters["fields"] = double(fields_read);
}
BENCHMARK(BM_ReadBackByName)->Iterations(1)->Unit(benchmark::kMillisecond);

// The staging table of the price list: 67 character fields, 402 columns.
void CreateStagingTable(const std::string& path) {
    std::vector<int> widths{4, 4, 10, 5, 8, 30, 13, 1, 8, 1, 8, 8, 7, 3, 7};
    for (int k = 0; k < 20; ++k) {
        widths.push_back(3);
        widths.push_back(8);
    }
    widths.push_back(3);
    widths.push_back(7);
    for (int k = 0; k < 5; ++k) {
        widths.push_back(3);
        widths.push_back(8);
    }
    if (sx_CreateNew(path.c_str(), "FO_1", SX_SDENTX, int(widths.size())) != 1) std::abort();
    for (size_t i = 0; i < widths.size(); ++i) {
        std::string name = "F" + std::to_string(i + 1);
        if (sx_CreateField(name.c_str(), "C", widths[i], 0) != 1) std::abort();
    }
    if (sx_CreateExec() != 1 || sx_Close() != 1) std::abort();
}

void BM_SdfAppend(benchmark::State& state) {
    std::string path = Scratch() / "FO_1.DBF";
    std::string source = Scratch() / "TRFOWIS.SDF";
    {
        std::string text;
        text.reserve(size_t(kSdfLines) * 404);
        for (long i = 0; i < kSdfLines; ++i) {
            std::string line(402, 'x');
            std::string number = std::to_string(i);
            line.replace(8, number.size(), number);
            text += line + "\r\n";
        }
        FILE* f = std::fopen(source.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    for (auto _ : state) {
        state.PauseTiming();
        CreateStagingTable(path);
        if (sx_UseEx(path.c_str(), "FO_1", SX_EXCLUSIVE, SX_SDENTX, SX_COMMIT_NORMAL) < 1)
            std::abort();
        state.ResumeTiming();
        if (sx_AppendFrom(source.c_str(), SX_SDF_FILE, "") != 1 || sx_Commit() != 1) {
            state.SkipWithError(sx_ErrorText());
        }
        state.PauseTiming();
        if (sx_RecCount() != kSdfLines) state.SkipWithError("line count is wrong");
        sx_Close();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kSdfLines);
}
BENCHMARK(BM_SdfAppend)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
