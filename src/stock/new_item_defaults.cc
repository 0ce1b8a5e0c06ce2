#include "stock/new_item_defaults.h"

#include "storage/apollo_table.h"

namespace zer1 {

void apArtikelNewRecord(TApolloTable& artikel) {
    for (const NewItemDefault& item : kNewItemDefaults) {
        TApolloField& field = artikel.FieldByName(item.field);
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
