#include "working_table.h"

#include "storage/apollo_table.h"

namespace zer1 {

bool CreateWorkingTable(const std::string& full_file_name) {
    TApolloTable creator;
    if (!creator.CreateNew(full_file_name, kTableTypeNtx, kWorkingFieldCount)) return false;
    for (const WorkingFieldSpec& field : kWorkingTableLayout) {
        creator.CreateField(field.name, std::string(1, field.type), field.width, 0);
    }
    return creator.CreateExec();
}

void AppendWorkingRecord(TApolloTable& working, const WorkingRecord& record) {
    working.Append();
    try {
        for (int n = 1; n <= kWorkingTextFieldCount; ++n) {
            working.FieldByName("FELD" + std::to_string(n)).SetAsString(record.get(n));
        }
        working.Post();
    } catch (...) {
        working.Cancel();  // never leave a half-filled record for a later move to store
        throw;
    }
}

}  // namespace zer1
