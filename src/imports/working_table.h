// The working table of the archive imports (TMPDGH.DBF, TMPFOTOCO.DBF):
// creating the table file with its 14 fields, and storing one record of
// converted values in it. Both imports fill tables of this one layout.
#ifndef ZER1_IMPORTS_WORKING_TABLE_H
#define ZER1_IMPORTS_WORKING_TABLE_H

#include <array>
#include <string>

#include "imports/working_record.h"

namespace zer1 {

class TApolloTable;

// Creates an empty working table at full_file_name with the fields "feld1" to
// "feld14" (NTX table type, .DBT memo file). The creation uses a table object
// of its own, so it works whatever state the caller's table objects are in,
// also while another working table is open. Returns false when the engine
// cannot create the file; misuse of the table layer is raised as its error.
bool CreateWorkingTable(const std::string& full_file_name);

// Appends a record to the open working table, fills FELD1 to FELD13 with the
// record's values (FELD14 stays empty) and writes it.
void AppendWorkingRecord(TApolloTable& working, const WorkingRecord& record);

// Appends records of stored values to one open working table, record after
// record, like AppendWorkingRecord but without a code page conversion; the
// fields FELD1 to FELD13 are looked up once, when the writer is made.
class WorkingRecordWriter {
  public:
    explicit WorkingRecordWriter(TApolloTable& working);
    void Append(const StoredWorkingRecord& record);

  private:
    TApolloTable& working_;
    std::array<int, kWorkingTextFieldCount> fieldIndexes_{};  // position of FELDn - 1
};

}  // namespace zer1

#endif  // ZER1_IMPORTS_WORKING_TABLE_H
