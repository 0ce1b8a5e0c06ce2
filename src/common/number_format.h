// The process-wide number format: the current decimal separator and
// thousands separator that the library's text/number conversions follow.
// They start as on a German Windows system ("," and "."); the numeric edit
// field and the Fowis price conversion switch them.  The C locale is never
// consulted.
#ifndef ZER1_COMMON_NUMBER_FORMAT_H
#define ZER1_COMMON_NUMBER_FORMAT_H

#include <optional>
#include <string_view>

namespace zer1 {

inline constexpr char kDefaultDecimalSeparator = ',';
inline constexpr char kDefaultThousandsSeparator = '.';

char DecimalSeparator();
void SetDecimalSeparator(char separator);
char ThousandsSeparator();
void SetThousandsSeparator(char separator);

// Keeps the current separators and restores them when it goes out of scope
// (for tests, and for code that must not leave a changed setting behind).
class ScopedNumberFormat {
  public:
    ScopedNumberFormat() : decimal_(DecimalSeparator()), thousands_(ThousandsSeparator()) {}
    ScopedNumberFormat(char decimal, char thousands) : ScopedNumberFormat() {
        SetDecimalSeparator(decimal);
        SetThousandsSeparator(thousands);
    }
    ~ScopedNumberFormat() {
        SetDecimalSeparator(decimal_);
        SetThousandsSeparator(thousands_);
    }
    ScopedNumberFormat(const ScopedNumberFormat&) = delete;
    ScopedNumberFormat& operator=(const ScopedNumberFormat&) = delete;

  private:
    char decimal_;
    char thousands_;
};

// Reads the whole of `text` as a decimal number: an optional sign, digits
// with at most one `decimal_separator`, and an optional exponent ("E" or "e",
// optional sign, digits).  At least one mantissa digit is required; no blanks,
// no thousands separators, nothing else.  Nothing when the text is not such
// a number or its value is out of range.
std::optional<long double> ParseDecimal(std::string_view text, char decimal_separator);

}  // namespace zer1

#endif  // ZER1_COMMON_NUMBER_FORMAT_H
