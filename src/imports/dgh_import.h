// Filling the working table from a DGH source file: every non-empty line of
// the member becomes one working table record.
#ifndef ZER1_IMPORTS_DGH_IMPORT_H
#define ZER1_IMPORTS_DGH_IMPORT_H

#include <string>
#include <string_view>

#include "imports/dgh_conversion.h"

namespace zer1 {

class TApolloTable;

// Converts one line and stores it as a new record of the open working table,
// dated with today().
void AppendDghLine(TApolloTable& working, std::string_view line, const TodayFn& today);

// Reads the DGH source file at path into the open, positioned working table,
// letting the user interface process its pending messages every few records.
// Returns the number of records stored. A file that cannot be opened or read
// raises an error naming it; the file is read block by block, so the records
// of lines before a failing read stay stored.
long ImportDghSourceFile(TApolloTable& working, const std::string& path,
                         const TodayFn& today = LocalToday);

}  // namespace zer1

#endif  // ZER1_IMPORTS_DGH_IMPORT_H
