#include "controls/factor_field.h"

namespace zer1 {

void ConfigureFactorFieldProperties(TCustomNumberEdit& field) {
    field.BeginLoading();
    field.SetForceLimitedDecimals(false);
    field.SetAllowNegativeNumber(false);
    field.SetAlignment(TextAlignment::kRight);
    field.SetActOnEnter(false);
    field.SetBeepOnError(true);
    field.SetNumericFormat(TNumericFormat::nfComma);
    field.SetDecimalFigures(kFactorDecimalFigures);
    field.SetCurrencySign("$");
    field.SetThousandSeparator(',');
    field.SetDecimalseparator('.');
    field.SetRoundNumber(false);
    field.SetParenthesisForMinus(false);
    field.SetPositiveColor(kBlack);
    field.SetNegativeColor(kRed);
    // Equal bounds: every value is in range.
    field.SetMinimumAllowedValue(0);
    field.SetMaximumAllowedValue(0);
    field.SetOutOfRangeErrorMessage("Ungültige Eingabe");
    field.SetShowRangeError(true);
    field.SetLockDecimalFigures(false);
    field.EndLoading();
}

}  // namespace zer1
