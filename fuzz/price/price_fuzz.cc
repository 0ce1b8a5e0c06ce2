// Fuzz target of the Fowis price text conversion: the first four bytes of the
// input are the factor (a float, as the run hands it over), the rest is the
// price text.  A text that is no number and a price too large for its field
// must come out as PriceConversionError; any other result is a number that
// fits the field.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fowis/price_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    float factor = 1.0f;
    if (size >= sizeof factor) {
        std::memcpy(&factor, data, sizeof factor);
        data += sizeof factor;
        size -= sizeof factor;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        zer1::ConvertPriceText(text, factor);
    } catch (const zer1::PriceConversionError&) {
    }
    try {
        const double value = zer1::ConvertPriceForField("LEK", text, factor);
        if (!std::isfinite(value) ||
            !zer1::FitsNumericField(value, zer1::kPriceFieldWidth, zer1::kPriceFieldDecimals)) {
            std::fprintf(stderr, "accepted a price the field cannot hold: %g\n", value);
            std::abort();
        }
    } catch (const zer1::PriceConversionError&) {
    }
    return 0;
}
