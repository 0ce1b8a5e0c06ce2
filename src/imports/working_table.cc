#include "imports/working_table.h"

#include <array>
#include <string>

#include "storage/apollo_table.h"

namespace zer1 {

bool CreateWorkingTable(const std::string& full_file_name) {
    TApolloTable creator;
    if (!creator.CreateNew(full_file_name, kTableTypeNtx, kWorkingFieldCount)) return false;
    for (const WorkingFieldLayout& field : kWorkingTableLayout) {
        creator.CreateField(field.name, std::string(1, field.type), field.width, 0);
    }
    return creator.CreateExec();
}

namespace {

// "FELD1" to "FELD13", built once.
const std::array<std::string, kWorkingTextFieldCount>& TextFieldNames() {
    static const std::array<std::string, kWorkingTextFieldCount> names = [] {
        std::array<std::string, kWorkingTextFieldCount> built;
        for (int n = 1; n <= kWorkingTextFieldCount; ++n) built[n - 1] = "FELD" + std::to_string(n);
        return built;
    }();
    return names;
}

// FELDn of the working table: found at its created position without a search,
// by name when the table was laid out otherwise.
TApolloField& TextField(TApolloTable& working, int n) {
    const std::string& name = TextFieldNames()[n - 1];
    if (n <= working.FieldCount()) {
        TApolloField& field = working.Fields(n - 1);
        if (field.FieldName() == name) return field;
    }
    return working.FieldByName(name);
}

// Appends a record, lets fill() set its fields and writes it.
template <class Fill>
void AppendFilled(TApolloTable& working, const Fill& fill) {
    working.Append();
    try {
        fill();
        working.Post();
    } catch (...) {
        working.Cancel();  // never leave a half-filled record for a later move to store
        throw;
    }
}

}  // namespace

void AppendWorkingRecord(TApolloTable& working, const WorkingRecord& record) {
    AppendFilled(working, [&] {
        for (int n = 1; n <= kWorkingTextFieldCount; ++n) {
            TextField(working, n).SetAsString(record.get(n));
        }
    });
}

WorkingRecordWriter::WorkingRecordWriter(TApolloTable& working) : working_(working) {
    for (int n = 1; n <= kWorkingTextFieldCount; ++n) {
        fieldIndexes_[n - 1] = TextField(working, n).Index();
    }
}

void WorkingRecordWriter::Append(const StoredWorkingRecord& record) {
    AppendFilled(working_, [&] {
        for (int n = 1; n <= kWorkingTextFieldCount; ++n) {
            working_.Fields(fieldIndexes_[n - 1]).SetStoredText(record.get(n));
        }
    });
}

}  // namespace zer1
