// Costs of the helpers that sit in per-record loops: the throttled message
// pump, the text-to-number conversion, the Windows-1252 conversion and the
// file-name resolution of an existing file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/file_names.h"
#include "common/helpers.h"
#include "common/text_encoding.h"
#include "common/ui_services.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace {

void BM_ProcessPendingMessages(benchmark::State& state) {
    zer1::RecordingUiServices ui;
    zer1::ScopedUiServices installed(&ui);
    for (auto _ : state) zer1::ProcessPendingMessages();
    state.counters["pumps"] = ui.process_events_calls;
}
BENCHMARK(BM_ProcessPendingMessages);

void BM_NumberFromText(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(zer1::NumberFromText("  1234.5678 "));
}
BENCHMARK(BM_NumberFromText);

void BM_Utf8ToWindows1252(benchmark::State& state) {
    std::string text;
    while (text.size() < 1024)
        text +=
            "Gr\xC3\xBC\xC3\x9F"
            "e aus M\xC3\xBCnchen, 12,50 \xE2\x82\xAC; ";
    for (auto _ : state) benchmark::DoNotOptimize(zer1::Utf8ToWindows1252(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_Utf8ToWindows1252);

void BM_ResolveExistingFileName(benchmark::State& state) {
    const zer1::testing::TempDir dir("zer1-bench");
    dir.Write("JEVDBF.DBF", "");
    const std::string name = dir / "JEVDBF.DBF";
    for (auto _ : state) benchmark::DoNotOptimize(zer1::ResolveFileName(name));
}
BENCHMARK(BM_ResolveExistingFileName);

}  // namespace
