#include "stock/stock_movement.h"

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "common/file_names.h"
#include "common/messages.h"
#include "stock/stock_fields.h"
#include "storage/apollo_table.h"

namespace zer1 {

namespace {

bool IsQuantityField(std::string_view name) {
    return SameFieldName(name, "ZUGA") || SameFieldName(name, "ABGA");
}

// Whether the journal's field at each position takes a stock master value,
// kept from the last record: the journal's fields rarely change, and the name
// at each position is compared before the answer is used.
bool TakesStockValue(std::string_view name, int index) {
    static std::vector<std::pair<std::string, bool>> known;
    const auto at = static_cast<std::size_t>(index);
    if (at >= known.size()) known.resize(at + 1);
    auto& [knownName, takes] = known[at];
    if (knownName != name) {
        knownName.assign(name);
        takes = !IsQuantityField(name) && IsHandledStockField(name);
    }
    return takes;
}

// The stock master's handled field for field `index` of the journal, or
// none.  A journal made from the stock master's structure has the same field
// at the same position, which is tried first.
const TApolloField* HandledSource(TApolloTable& artikel, std::string_view name, int index) {
    if (!TakesStockValue(name, index)) return nullptr;
    if (index < artikel.FieldCount()) {
        const TApolloField& same = artikel.Fields(index);
        if (same.FieldName() == name) return &same;
    }
    return artikel.FindField(name);
}

// The journal's fields that take a stock master value, each with its
// source, worked out for one pair of field sets (see FieldsStamp).
struct HandledPairs {
    unsigned long artikelStamp = 0;
    unsigned long journalStamp = 0;
    std::vector<std::pair<TApolloField*, const TApolloField*>> pairs;
};

const HandledPairs& PairsFor(TApolloTable& artikel, TApolloTable& journal) {
    static HandledPairs known;
    if (known.artikelStamp == artikel.FieldsStamp() && known.journalStamp == journal.FieldsStamp())
        return known;
    known.artikelStamp = known.journalStamp = 0;  // nothing valid until worked out
    known.pairs.clear();
    for (int i = 0; i < journal.FieldCount(); ++i) {
        TApolloField& target = journal.Fields(i);
        if (const TApolloField* source = HandledSource(artikel, target.FieldName(), i)) {
            known.pairs.emplace_back(&target, source);
        }
    }
    known.artikelStamp = artikel.FieldsStamp();
    known.journalStamp = journal.FieldsStamp();
    return known;
}

void CopyHandledFields(TApolloTable& artikel, TApolloTable& journal) {
    for (const auto& [targetField, source] : PairsFor(artikel, journal).pairs) {
        TApolloField& target = *targetField;
        try {
            target.Assign(*source);
        } catch (const std::exception&) {
            // A value the journal's field cannot hold leaves that field blank.
            target.Clear();
        }
    }
}

// Opens the journal shared, creating it with the stock master's structure
// when there is none.  The journal exists on every call but the first, so
// the open is tried before anything else is asked of the file system.
void OpenJournal(TApolloTable& journal, TApolloTable& artikel, const std::string& directory) {
    journal.SetDatabaseName(directory);
    journal.SetTableName(kMovementTableName);
    journal.SetTableType(ttSXNTX);
    journal.SetExclusive(false);
    try {
        journal.Open();
        return;
    } catch (const std::exception&) {
        const std::string fileName = directory + kMovementTableName;
        if (FileExists(fileName)) throw;
        // A failed copy shows up when the journal is opened again.
        artikel.CopyStructure(fileName);
    }
    journal.Open();
}

}  // namespace

bool WriteStockMovement(TApolloTable& artikel, const std::string& directory) {
    TApolloTable journal;
    return WriteStockMovement(artikel, journal, directory);
}

bool WriteStockMovement(TApolloTable& artikel, TApolloTable& journal,
                        const std::string& directory) {
    journal.Close();
    try {
        OpenJournal(journal, artikel, directory);
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
