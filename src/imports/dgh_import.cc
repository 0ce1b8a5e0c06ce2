#include "dgh_import.h"

#include <chrono>

#include "common/ui_services.h"
#include "dgh_source.h"
#include "working_table.h"

namespace zer1 {

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
    // converted: no UTF-8 on the way, no buffers made per line.
    DghLineConverter converter;
    WorkingRecordWriter writer(working);
    ReadDghSourceFile(
        path,
        [&](std::string_view line) {
            const std::chrono::year_month_day day = today();
            if (dateText.empty() || day != formattedDay) {
                dateText = FormatImportDate(day);
                formattedDay = day;
            }
            writer.Append(converter.Convert(line, dateText));
            ++stored;
            ProcessPendingMessages();
        },
        DghLineText::kWindows1252);
    return stored;
}

}  // namespace zer1
