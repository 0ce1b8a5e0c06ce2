// Filling the working table from a Fotoco member file: the first line is a
// header and is skipped, empty lines are skipped, and every other line is
// one article that becomes one working table record.
#ifndef ZER1_IMPORTS_FOTOCO_IMPORT_H
#define ZER1_IMPORTS_FOTOCO_IMPORT_H

#include <string>

namespace zer1 {

class TApolloTable;

// "Zeile <n> der Datei <path> hat nur <k> Felder (18 erwartet)."
std::string TooFewFotocoFieldsMessage(long line_number, const std::string& path, int fields);

// Reads the Fotoco member at path into the open, positioned working table,
// letting the user interface process its pending messages as it goes.
// Returns the number of records stored.  An article line with fewer than 18
// fields raises zer1::Error with TooFewFotocoFieldsMessage; nothing of that
// line is stored, the records of the lines before it stay.  A file that
// cannot be opened or read raises an error naming it.
long ImportFotocoSourceFile(TApolloTable& working, const std::string& path);

}  // namespace zer1

#endif  // ZER1_IMPORTS_FOTOCO_IMPORT_H
