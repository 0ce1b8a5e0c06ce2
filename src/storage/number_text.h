// Numbers as dBASE numeric fields store them.
//
// A numeric field holds right-aligned ASCII digits with "." and a fixed number
// of decimals, or blanks when empty.  These helpers turn a double into that
// text (rounded half away from zero on its shortest decimal form, so 1.005
// with two decimals gives 1.01) and read it back, independent of the C locale.
#ifndef ZER1_STORAGE_NUMBER_TEXT_H
#define ZER1_STORAGE_NUMBER_TEXT_H

#include <optional>
#include <string>
#include <string_view>

namespace zer1 {

// `value` with `decimals` decimals, right-aligned in `width` characters;
// nothing when it needs more than `width` characters or is not finite.
std::optional<std::string> FormatNumberField(double value, int width, int decimals);

// The value of stored numeric text; blanks (or nothing readable) give 0.
// Accepts "," as the decimal point too.
double ParseNumberField(std::string_view stored);

// True when the stored text is exactly what FormatNumberField writes for its
// own value with `decimals` decimals (or blanks only): right-aligned, no
// leading zeros, the decimals in full, no sign on a zero.
bool IsCanonicalNumberField(std::string_view stored, int decimals);

// True when the stored text is blanks only.
bool IsBlank(std::string_view stored);

}  // namespace zer1

#endif  // ZER1_STORAGE_NUMBER_TEXT_H
