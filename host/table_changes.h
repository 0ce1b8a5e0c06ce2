// What a tour of the dialog changed in the host's data folder: the records
// of the tables before and after (appended ones and changed ones, compared
// byte for byte), and the index files that were written.  Read from
// the files themselves, without the engine.
#ifndef ZER1_HOST_TABLE_CHANGES_H
#define ZER1_HOST_TABLE_CHANGES_H

#include <map>
#include <string>
#include <vector>

namespace jevhost {

struct TableState {
    bool exists = false;
    std::vector<std::string> records;  // the bytes of each record, flag included
};

struct FolderState {
    std::map<std::string, TableState> tables;   // by the name asked for
    std::map<std::string, std::string> indexes;  // every .NTX file: name -> bytes
};

// The state of `tables` (names in any case) and of every index file in
// `directory`.  Throws std::runtime_error when a table's header does not
// fit its file.
FolderState ReadFolderState(const std::string& directory, const std::vector<std::string>& tables);

// One line per table and one for the indexes, for example
// "MLAGER.DBF: 118 -> 230 Sätze, 112 neu, 118 geändert".
std::vector<std::string> DescribeChanges(const FolderState& before, const FolderState& after);

}  // namespace jevhost

#endif  // ZER1_HOST_TABLE_CHANGES_H
