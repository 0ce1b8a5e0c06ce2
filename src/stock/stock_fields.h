// The stock master MLAGER.DBF as this library sees it: the names of the 34
// fields it handles.  Every other field of a stock record belongs to the host
// and is never read or written here.
#ifndef ZER1_STOCK_STOCK_FIELDS_H
#define ZER1_STOCK_STOCK_FIELDS_H

#include <array>
#include <string_view>

namespace zer1 {

inline constexpr const char* kStockMasterTableName = "MLAGER.DBF";
inline constexpr const char* kStockMasterIndexName = "MLAGER.NTX";
inline constexpr const char* kStockMasterBaseName = "MLAGER";
inline constexpr const char* kStockLogTableName = "MLPROTO.DBF";
inline constexpr const char* kMovementTableName = "BEWEGZ.DBF";

inline constexpr std::array<std::string_view, 34> kHandledStockFields{
    "ARTNUM", "ARTBEZ",     "TEX1",       "STSATZ",     "STSATZ_2",   "PREIS",  "EKPR",
    "WGRUPP", "LIFERANT",   "LIBNR1",     "SUCHCOD",    "VKPR",       "KOST_2", "KOND_2",
    "KOST",   "STRASPREIS", "KOND",       "LASTEK",     "ZUGA",       "ABGA",   "MBEST",
    "HBEST",  "MIDLEK",     "EINHEIT",    "RESV",       "RABA",       "RABB",   "RABC",
    "STINK",  "STINK_2",    "WEBARTIKEL", "SERNUMVERW", "BSTWARNUNG", "EINZEL",
};

// True when `name` is one of the handled fields (without regard to case).
bool IsHandledStockField(std::string_view name);

// True when two field names are equal without regard to ASCII case, as the
// engine compares them.
bool SameFieldName(std::string_view a, std::string_view b);

}  // namespace zer1

#endif  // ZER1_STOCK_STOCK_FIELDS_H
