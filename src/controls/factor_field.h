// The Fowis factor field of the interfaces dialog: a numeric edit field with four
// decimals that accepts no negative numbers.
#ifndef ZER1_CONTROLS_FACTOR_FIELD_H
#define ZER1_CONTROLS_FACTOR_FIELD_H

#include "controls/number_edit.h"

namespace zer1 {

inline constexpr const char* kFactorFieldName = "sleFaktorFowis";
inline constexpr int kFactorDecimalFigures = 4;

// Sets every property of the factor field as the dialog description gives them and
// shows its value (0.0000 for a new field).  Formatting makes "." and "," the
// process-wide decimal and thousands separators.  The control's own AutoSelect
// (on) is set by the toolkit adapter.
void ConfigureFactorFieldProperties(TCustomNumberEdit& field);

}  // namespace zer1

#endif  // ZER1_CONTROLS_FACTOR_FIELD_H
