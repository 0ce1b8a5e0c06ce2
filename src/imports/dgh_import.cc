#include "dgh_import.h"

#include "common/ui_services.h"
#include "dgh_source.h"
#include "working_table.h"

namespace zer1 {

void AppendDghLine(TApolloTable& working, std::string_view line, const TodayFn& today) {
    AppendWorkingRecord(working, ConvertDghLine(line, FormatImportDate(today())));
}

long ImportDghSourceFile(TApolloTable& working, const std::string& path, const TodayFn& today) {
    long stored = 0;
    ReadDghSourceFile(path, [&](std::string_view line) {
        AppendDghLine(working, line, today);
        ++stored;
        ProcessPendingMessages();
    });
    return stored;
}

}  // namespace zer1
