// Speed of opening an encrypted table's key and of the record stream.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "dbf/crypto.h"

namespace {

void OpenWithPassword(benchmark::State& state) {
    std::vector<uint8_t> header(32, 0);
    if (!sde::TableEncryption::Create("jev-para-2026", header.data()).ok()) std::abort();
    for (auto _ : state) {
        auto cipher = sde::TableEncryption::Open(header.data(), "jev-para-2026", "VUROZE.LIC");
        if (!cipher.ok()) std::abort();
        benchmark::DoNotOptimize(&cipher);
    }
}
BENCHMARK(OpenWithPassword);

// A record of 400 bytes, about the width of the Fowis staging table.
void DecryptRecord(benchmark::State& state) {
    std::vector<uint8_t> header(32, 0);
    auto cipher = sde::TableEncryption::Create("jev-para-2026", header.data());
    if (!cipher.ok()) std::abort();
    std::vector<uint8_t> record(400, 'x');
    uint32_t recno = 1;
    for (auto _ : state) {
        cipher->DecryptRecord(recno++, record.data(), record.size());
        benchmark::DoNotOptimize(record.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(record.size()));
}
BENCHMARK(DecryptRecord);

}  // namespace
