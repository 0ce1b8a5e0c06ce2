#include "stock/new_item_defaults.h"

#include <cstddef>

#include "storage/apollo_table.h"

namespace zer1 {

namespace {

// The default fields of one set of stock master fields (see FieldsStamp),
// looked up by name once instead of for every new item.
std::array<TApolloField*, kNewItemDefaults.size()>& DefaultFields(TApolloTable& artikel) {
    static unsigned long knownStamp = 0;
    static std::array<TApolloField*, kNewItemDefaults.size()> fields{};
    if (knownStamp == 0 || knownStamp != artikel.FieldsStamp() || !artikel.Active()) {
        knownStamp = 0;
        for (std::size_t i = 0; i < kNewItemDefaults.size(); ++i) {
            fields[i] = &artikel.FieldByName(kNewItemDefaults[i].field);
        }
        knownStamp = artikel.FieldsStamp();
    }
    return fields;
}

}  // namespace

void apArtikelNewRecord(TApolloTable& artikel) {
    const auto& fields = DefaultFields(artikel);
    for (std::size_t i = 0; i < kNewItemDefaults.size(); ++i) {
        const NewItemDefault& item = kNewItemDefaults[i];
        TApolloField& field = *fields[i];
        switch (item.value) {
            case DefaultValue::kZero:
                field.SetAsFloat(0);
                break;
            case DefaultValue::kTrue:
                field.SetAsBoolean(true);
                break;
            case DefaultValue::kFalse:
                field.SetAsBoolean(false);
                break;
            case DefaultValue::kN:
                field.SetAsString("N");
                break;
        }
    }
}

}  // namespace zer1
