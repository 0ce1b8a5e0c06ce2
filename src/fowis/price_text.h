// Fowis price texts: a price as written in a column of the Fowis price list
// (German or English decimal notation, "-" standing for zeros) becomes a number
// scaled by the user's factor, and the result is checked against the price
// table's numeric fields.
#ifndef ZER1_FOWIS_PRICE_TEXT_H
#define ZER1_FOWIS_PRICE_TEXT_H

#include <string>
#include <string_view>

#include "common/error.h"

namespace zer1 {

inline constexpr const char* kNoFloatValueMessage = "'%s' ist kein gültiger Gleitkommawert";
inline constexpr const char* kPriceDoesNotFitMessage =
    "Der Wert %s passt nicht in das Feld %s (N %d,%d)!";

// Width and decimals of every price field of FOWISPR.DBF.
inline constexpr int kPriceFieldWidth = 8;
inline constexpr int kPriceFieldDecimals = 2;

// A price text that is no number, or a price too large for its field.
class PriceConversionError : public Error {
public:
    using Error::Error;
};

// Converts one price text.  A text holding a "." makes "." the process-wide decimal
// separator, any other text ","; the setting stays in force afterwards.  Blanks and
// control characters around the text are dropped, an empty text is 0, every "-"
// counts as "0".  A factor above 0 multiplies the number; the product is formed at
// extended precision from the single-precision factor (10,00 with factor 1.1 gives
// 11.00000024).  Throws PriceConversionError with kNoFloatValueMessage for a text
// that is no number.
double ConvertPriceText(std::string_view text, float factor);

// True when `value` written with `decimals` decimals fits into `width` characters.
bool FitsNumericField(double value, int width, int decimals);

// ConvertPriceText for the price field `field_name` (N 8,2): a result that the
// field cannot hold (above 99999.99) is refused with PriceConversionError naming
// the field and the value.
double ConvertPriceForField(std::string_view field_name, std::string_view text, float factor);

}  // namespace zer1

#endif  // ZER1_FOWIS_PRICE_TEXT_H
