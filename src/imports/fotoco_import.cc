#include "imports/fotoco_import.h"

#include <optional>
#include <string_view>

#include "common/error.h"
#include "common/helpers.h"
#include "common/ui_services.h"
#include "imports/fotoco_conversion.h"
#include "imports/fotoco_source.h"
#include "imports/working_table.h"

namespace zer1 {

namespace {

constexpr long kHeaderLine = 1;
// Lines stored between two chances for the user interface; its throttle
// then decides, by the clock, whether it is time.
constexpr long kLinesPerMessageCheck = 16;

}  // namespace

std::string TooFewFotocoFieldsMessage(long line_number, const std::string& path, int fields) {
    return "Zeile " + std::to_string(line_number) + " der Datei " + path + " hat nur " +
           std::to_string(fields) + " Felder (" + std::to_string(kFotocoFieldCount) +
           " erwartet).";
}

long ImportFotocoSourceFile(TApolloTable& working, const std::string& path) {
    long stored = 0;
    FotocoLineConverter converter;
    std::optional<WorkingRecordWriter> writer;
    ReadFotocoSourceFile(path, [&](long line_number, std::string_view line) {
        if (line_number == kHeaderLine || TrimBlanks(line).empty()) return;
        const int fields = converter.Convert(line);
        if (fields < kFotocoFieldCount) {
            throw Error(TooFewFotocoFieldsMessage(line_number, path, fields));
        }
        if (!writer) writer.emplace(working);
        writer->Append(converter.Record());
        if (++stored % kLinesPerMessageCheck == 1) ProcessPendingMessages();
    });
    return stored;
}

}  // namespace zer1
