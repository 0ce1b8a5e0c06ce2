#include "imports/dgh_import.h"

#include <chrono>
#include <optional>

#include "common/ui_services.h"
#include "imports/dgh_source.h"
#include "imports/working_table.h"

namespace zer1 {

namespace {

// Lines stored between two chances for the user interface; far below the
// throttle's interval even on a slow machine.
constexpr long kLinesPerMessageCheck = 16;

}  // namespace

void AppendDghLine(TApolloTable& working, std::string_view line, const TodayFn& today) {
    AppendWorkingRecord(working, ConvertDghLine(line, FormatImportDate(today())));
}

long ImportDghSourceFile(TApolloTable& working, const std::string& path, const TodayFn& today) {
    long stored = 0;
    // Every line is dated with the day it is stored on; the text of that day
    // is made again only when the day has changed.
    std::chrono::year_month_day formattedDay{};
    std::string dateText;
    // Lines come in the table's code page and are stored as they are
    // converted: no UTF-8 on the way, no buffers made per line. The table is
    // first touched by the first line, as a line-by-line store would.
    DghLineConverter converter;
    std::optional<WorkingRecordWriter> writer;
    ReadDghSourceFile(
        path,
        [&](std::string_view line) {
            const std::chrono::year_month_day day = today();
            if (dateText.empty() || day != formattedDay) {
                dateText = FormatImportDate(day);
                formattedDay = day;
            }
            if (!writer) writer.emplace(working);
            writer->Append(converter.Convert(line, dateText));
            // The user interface gets its turn every few lines: its throttle
            // reads the clock, which costs more than storing a line's fields.
            if (++stored % kLinesPerMessageCheck == 1) ProcessPendingMessages();
        },
        DghLineText::kWindows1252);
    return stored;
}

}  // namespace zer1
