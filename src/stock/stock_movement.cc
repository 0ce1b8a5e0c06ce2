#include "stock/stock_movement.h"

#include <exception>
#include <string>

#include "common/file_names.h"
#include "common/messages.h"
#include "stock/stock_fields.h"
#include "storage/apollo_table.h"

namespace zer1 {

namespace {

bool IsQuantityField(std::string_view name) {
    return SameFieldName(name, "ZUGA") || SameFieldName(name, "ABGA");
}

// The stock master's handled field of that name, or none.
const TApolloField* HandledSource(TApolloTable& artikel, std::string_view name) {
    if (IsQuantityField(name) || !IsHandledStockField(name)) return nullptr;
    return artikel.FindField(name);
}

void CopyHandledFields(TApolloTable& artikel, TApolloTable& journal) {
    for (int i = 0; i < journal.FieldCount(); ++i) {
        TApolloField& target = journal.Fields(i);
        const TApolloField* source = HandledSource(artikel, target.FieldName());
        if (source == nullptr) continue;
        try {
            target.Assign(*source);
        } catch (const std::exception&) {
            // A value the journal's field cannot hold leaves that field blank.
            target.Clear();
        }
    }
}

}  // namespace

bool WriteStockMovement(TApolloTable& artikel, const std::string& directory) {
    const std::string fileName = directory + kMovementTableName;
    // A failed copy shows up when the journal is opened below.
    if (!FileExists(fileName)) artikel.CopyStructure(fileName);

    TApolloTable journal;
    try {
        journal.SetDatabaseName(directory);
        journal.SetTableName(kMovementTableName);
        journal.SetTableType(ttSXNTX);
        journal.SetExclusive(false);
        journal.Open();
        journal.Append();
        CopyHandledFields(artikel, journal);
        journal.Post();
        journal.Close();
    } catch (const std::exception&) {
        journal.Close();
        ErrorMessage("Fehler");
    }
    return true;
}

}  // namespace zer1
