#include "imports/fotoco_conversion.h"

#include <array>

#include "common/helpers.h"

namespace zer1 {

namespace {

using namespace working_field;

// Fields of the Fotoco line that the conversion reads.
enum FotocoField {
    kOrderNumberField = 0,
    kDescriptionField = 1,
    kTextField = 2,
    kPurchasePriceField = 3,
    kGroupField = 6,
    kEanField = 16,
    kSalesPriceField = 17,
};

constexpr std::size_t kShortEanLength = 11;

// Splits the line at ";" into its first kFotocoFieldCount fields, trimmed,
// and counts all of them.
int SplitFields(std::string_view line, std::array<std::string_view, kFotocoFieldCount>& fields) {
    int count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(';', start);
        const std::string_view field =
            line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (count < kFotocoFieldCount) fields[static_cast<std::size_t>(count)] = TrimBlanks(field);
        ++count;
        if (end == std::string_view::npos) return count;
        start = end + 1;
    }
}

std::string_view Prefixed(std::string& out, std::string_view prefix, std::string_view text) {
    out.assign(prefix);
    out.append(text);
    return out;
}

}  // namespace

int FotocoLineConverter::Convert(std::string_view line) {
    std::array<std::string_view, kFotocoFieldCount> t{};
    const int count = SplitFields(line, t);
    if (count < kFotocoFieldCount) return count;

    record_.clear();
    record_.set(kOrderNumber, Prefixed(scratch_, "+", t[kOrderNumberField]));
    record_.set(kDescription, t[kDescriptionField]);
    record_.set(kExtraText, t[kTextField]);
    record_.set(kPurchasePrice, t[kPurchasePriceField]);
    record_.set(kProductGroup, Prefixed(scratch_, "#", t[kGroupField]));
    const std::string_view ean = t[kEanField];
    if (ean.empty()) {
        record_.set(kEan, Prefixed(scratch_, ".F", t[kOrderNumberField]));
    } else if (ean.size() == kShortEanLength) {
        record_.set(kEan, Prefixed(scratch_, "00", ean));
    } else {
        record_.set(kEan, ean);
    }
    record_.set(kSalesPrice, t[kSalesPriceField]);
    record_.set(kWholesaler, "FO");
    record_.set(kTaxCode, "1");
    const std::string_view description = t[kDescriptionField];
    const std::size_t dash = description.find('-');
    record_.set(kSupplier,
                dash == std::string_view::npos ? std::string_view() : description.substr(0, dash + 1));
    return count;
}

}  // namespace zer1
