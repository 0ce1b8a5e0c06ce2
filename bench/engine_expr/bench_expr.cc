// Speed of compiled expressions evaluated on one record, as an index build or
// a conversion run evaluates them once per record.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "expr/expr.h"
#include "expr_test_table.h"

namespace {

sde::MemoryTable StagingRecord() {
    sde::MemoryTable table("FO_1");
    table.AddField("ARTIKEL", 'C', 40);
    table.AddField("ARTNR1", 'C', 13);
    table.AddField("LEK", 'N', 10, 2);
    table.AddField("DATUM", 'D', 8);
    table.Set("ARTIKEL", "   Stativ Kugelkopf, schwarz mit Schnellwechselplatte");
    table.Set("ARTNR1", "4006381333931");
    table.Set("LEK", "123.45");
    table.Set("DATUM", "20260115");
    return table;
}

void Evaluate(benchmark::State& state, const char* text) {
    sde::MemoryTable table = StagingRecord();
    auto compiled = sde::Expression::Compile(text, table);
    if (!compiled.ok()) {
        state.SkipWithError(compiled.status().message().c_str());
        return;
    }
    sde::Expression& expr = **compiled;
    sde::Value value;
    for (auto _ : state) {
        sde::Status s = expr.Evaluate(table, &value);
        if (!s.ok()) std::abort();
        benchmark::DoNotOptimize(value.text.data());
    }
}

void EvaluateKey(benchmark::State& state, const char* text) {
    sde::MemoryTable table = StagingRecord();
    auto compiled = sde::Expression::Compile(text, table);
    if (!compiled.ok()) {
        state.SkipWithError(compiled.status().message().c_str());
        return;
    }
    sde::Expression& expr = **compiled;
    auto shape = expr.KeyShape(table);
    std::string key;
    for (auto _ : state) {
        sde::Status s = expr.EvaluateKey(table, shape->width, shape->decimals, &key);
        if (!s.ok()) std::abort();
        benchmark::DoNotOptimize(key.data());
    }
}

BENCHMARK_CAPTURE(Evaluate, LtrimUpperArtikel, "LTRIM(UPPER(ARTIKEL))")->Iterations(1000000);
BENCHMARK_CAPTURE(Evaluate, StrConcat, "STR(LEK,10,2)+ARTNR1");
BENCHMARK_CAPTURE(EvaluateKey, NumericKey, "LEK");
BENCHMARK_CAPTURE(EvaluateKey, DtosConcatKey, "DTOS(DATUM)+UPPER(ARTNR1)");

void CompileOnly(benchmark::State& state) {
    sde::MemoryTable table = StagingRecord();
    for (auto _ : state) {
        auto compiled = sde::Expression::Compile("LTRIM(UPPER(ARTIKEL))", table);
        benchmark::DoNotOptimize(compiled.ok());
    }
}
BENCHMARK(CompileOnly);

}  // namespace

BENCHMARK_MAIN();
