// The defaults of a stock item that the stock update creates in MLAGER.DBF:
// every price, stock and discount field at 0 and every flag in a defined
// state, set before the imported values are written into the new record.
#ifndef ZER1_STOCK_NEW_ITEM_DEFAULTS_H
#define ZER1_STOCK_NEW_ITEM_DEFAULTS_H

#include <array>
#include <string_view>

namespace zer1 {

class TApolloTable;

enum class DefaultValue { kZero, kTrue, kFalse, kN };

struct NewItemDefault {
    std::string_view field;
    DefaultValue value;
};

// The fields apArtikelNewRecord sets, in the order it sets them.
inline constexpr std::array<NewItemDefault, 22> kNewItemDefaults{{
    {"EKPR", DefaultValue::kZero},        {"KOST", DefaultValue::kZero},
    {"PREIS", DefaultValue::kZero},       {"STRASPREIS", DefaultValue::kZero},
    {"WEBARTIKEL", DefaultValue::kFalse}, {"EINZEL", DefaultValue::kN},
    {"STINK", DefaultValue::kTrue},       {"STINK_2", DefaultValue::kTrue},
    {"KOND", DefaultValue::kZero},        {"LASTEK", DefaultValue::kZero},
    {"ZUGA", DefaultValue::kZero},        {"ABGA", DefaultValue::kZero},
    {"MBEST", DefaultValue::kZero},       {"HBEST", DefaultValue::kZero},
    {"MIDLEK", DefaultValue::kZero},      {"EINHEIT", DefaultValue::kZero},
    {"RESV", DefaultValue::kZero},        {"RABA", DefaultValue::kZero},
    {"RABB", DefaultValue::kZero},        {"RABC", DefaultValue::kZero},
    {"SERNUMVERW", DefaultValue::kFalse}, {"BSTWARNUNG", DefaultValue::kFalse},
}};

// New-record handler of the stock master's table object: fills the 22
// defaults of the record that Append has just started.  A missing field
// raises the table layer's error.
void apArtikelNewRecord(TApolloTable& artikel);

}  // namespace zer1

#endif  // ZER1_STOCK_NEW_ITEM_DEFAULTS_H
