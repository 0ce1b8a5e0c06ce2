// Number texts of the numeric edit field: the grouped display form with a fixed
// number of decimals, the general (shortest) form, and the count of decimals a
// value needs.  Separators are always passed in; the C locale is never used.
#ifndef ZER1_CONTROLS_DECIMAL_TEXT_H
#define ZER1_CONTROLS_DECIMAL_TEXT_H

#include <string>

namespace zer1 {

// The value with exactly `decimals` decimals (rounded half away from zero on its
// 18-digit decimal form), digits grouped by three with `thousands_separator`, a
// leading "-" for negative values and no digit in front of the separator when the
// integer part is 0: 0.5 gives ".50", 1234.5 gives "1,234.50", 0 without decimals
// gives "".  A value that rounds to 0 carries no sign.
std::string FormatGrouped(long double value, int decimals, char decimal_separator,
                          char thousands_separator);

// The shortest general form with at most 15 significant digits: "1.25", "-3",
// "1.5E20", "1.5E-7".
std::string FormatGeneral(long double value, char decimal_separator);

// Number of decimals needed to show the fractional part of `value` written with 12
// significant digits (trailing zeros dropped); at most 15.  1.2345 needs 4, 7 needs 0.
int DecimalsNeeded(long double value);

}  // namespace zer1

#endif  // ZER1_CONTROLS_DECIMAL_TEXT_H
