// Price text conversion at the rate of a Fowis run: every record of the price
// list carries 24 price columns.
#include <benchmark/benchmark.h>

#include <array>

#include "common/number_format.h"
#include "fowis/price_text.h"

namespace {

const std::array<const char*, 8> kPriceTexts = {"  12,50 ", "1.234", "12,-", "   -    ",
                                                "        ", "9999,99", "0,95", "1,5-"};

void BM_ConvertPriceText(benchmark::State& state) {
    zer1::ScopedNumberFormat keep;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zer1::ConvertPriceText(kPriceTexts[i++ % kPriceTexts.size()], 1.1f));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ConvertPriceText);

// One staging record: 24 price fields with the field check.
void BM_ConvertRecordPrices(benchmark::State& state) {
    zer1::ScopedNumberFormat keep;
    for (auto _ : state) {
        double sum = 0;
        for (int field = 0; field < 24; ++field) {
            sum += zer1::ConvertPriceForField("T1", kPriceTexts[field % kPriceTexts.size()], 1.25f);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ConvertRecordPrices);

}  // namespace

BENCHMARK_MAIN();
