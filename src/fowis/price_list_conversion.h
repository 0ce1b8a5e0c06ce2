// Turning the staged Fowis price list into price records: every record of the
// staging table FO_1.DBF becomes one record of a price table with the
// structure of FOWISPR.DBF.  Text columns are copied, price columns converted
// and scaled by the factor, the EAN is built when the list has none, and the
// article text is upper-cased by the engine.
#ifndef ZER1_FOWIS_PRICE_LIST_CONVERSION_H
#define ZER1_FOWIS_PRICE_LIST_CONVERSION_H

namespace zer1 {

class ProgressWindow;
class TApolloTable;

// The expression whose value, evaluated on the staging record, becomes ARTIKEL.
inline constexpr const char* kArticleExpression = "LTRIM(UPPER(ARTIKEL))";

// Appends one price record to the open `price` table for every record of the
// open `staging` table, from its first record on, and posts the last one.
// Blank staging records (lines of nothing but blanks) are passed over.  The
// progress bar's maximum is the staging record count and its position the
// number of the staging record being looked at.  A factor of 0 or less leaves the
// prices unscaled.  A price text that is no number, or a price that the N 8,2
// field cannot hold, raises PriceConversionError; the record being converted
// is then not stored.  Returns the number of records converted.
long ConvertStagedPriceList(TApolloTable& staging, TApolloTable& price, float factor,
                            ProgressWindow& progress);

}  // namespace zer1

#endif  // ZER1_FOWIS_PRICE_LIST_CONVERSION_H
