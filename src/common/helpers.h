// Small free helpers shared by the dialog and the runs: the switch test on
// flag strings, a choice between two texts, the tolerant text-to-number
// conversion and the text split.  The version text lives in version_text.h,
// the two message boxes in messages.h.
#ifndef ZER1_COMMON_HELPERS_H
#define ZER1_COMMON_HELPERS_H

#include <string>
#include <string_view>
#include <vector>

namespace zer1 {

// True exactly when the character at the 1-based `position` of `flags` is
// "1"; a position beyond the end (or 0) gives false.  Positions count
// characters, not bytes.
bool SwitchTest(std::string_view flags, unsigned position);

// `first` when `flag` is set, else `second`.
std::string TextChoice(bool flag, const std::string& first, const std::string& second);

// Reads a number from `text`, never failing: blanks and control characters
// around it are dropped, the first "." is replaced by the current decimal
// separator, and the rest must be an optional sign, digits with at most one
// decimal separator and an optional exponent.  Anything else gives 0.0.
double NumberFromText(std::string_view text);

// Appends the pieces of `text` between `delimiter` characters to `pieces`
// (nothing is cleared first).  A text with n delimiters gives n+1 pieces,
// empty ones included; an empty text gives one empty piece.
void SplitText(std::string_view text, char delimiter, std::vector<std::string>& pieces);

// `text` without the characters up to and including blank at either end
// (blanks and control characters).
std::string_view TrimBlanks(std::string_view text);

}  // namespace zer1

#endif  // ZER1_COMMON_HELPERS_H
