// Field values in their stored form: numbers as right-aligned decimal text,
// dates as YYYYMMDD, logicals as T/F, memo pointers as block numbers.
#ifndef SDE61_DBF_FIELD_VALUE_H
#define SDE61_DBF_FIELD_VALUE_H

#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"
#include "dbf/dbf_format.h"

namespace sde {

// The stored text of a number given as decimal text ("-12.5", " 7 "), rounded
// half away from zero to the field's decimals and right-aligned to its width;
// blanks for an empty text.  A value that does not fit is refused, never cut.
Result<std::string> FormatNumber(std::string_view text, const FieldDesc& field);

// True when `stored` (the field's full width) is already what FormatNumber
// makes of it: right-aligned, no leading zeros, exactly the field's decimals,
// no negative zero.  Such a text is stored as it stands.
bool IsStoredNumberForm(std::string_view stored, const FieldDesc& field);

// Stored text of a field set from caller text (already in the stored code
// page for character fields): padded or refused as its type demands.
Result<std::string> FormatFieldValue(std::string_view text, const FieldDesc& field);

// The block number in a memo field (0: no memo); -1 when the field holds
// something other than blanks and digits.
int64_t ParseMemoPointer(const char* data, size_t width);

// Stored text of a memo pointer.
std::string FormatMemoPointer(uint32_t block, uint32_t width);

// The value a field shows when its table is encrypted and no password was
// given: asterisks for character fields, zero for numbers, empty otherwise.
std::string MaskedValue(const FieldDesc& field);

}  // namespace sde

#endif  // SDE61_DBF_FIELD_VALUE_H
