#include "dgh_import.h"

#include "dgh_source.h"
#include "working_table.h"

namespace zer1 {

void AppendDghLine(TApolloTable& working, std::string_view line, const TodayFn& today) {
    AppendWorkingRecord(working, ConvertDghLine(line, FormatImportDate(today())));
}

long ImportDghSourceFile(TApolloTable& working, const std::string& path, const TodayFn& today,
                         const std::function<void()>& pump) {
    long stored = 0;
    ReadDghSourceFile(path, [&](std::string_view line) {
        AppendDghLine(working, line, today);
        ++stored;
        if (pump) pump();
    });
    return stored;
}

}  // namespace zer1
