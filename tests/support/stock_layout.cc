#include "stock_layout.h"

#include <cstdio>

#include "storage/apollo_table.h"

namespace zer1::testing {

std::string FillerValue(const StockFieldDef& f, long recno, int i) {
    const long n = recno * 7 + i;
    switch (f.type) {
        case 'C':
            if (f.width == 1) return std::string(1, static_cast<char>('A' + n % 26));
            return (f.name + ("-" + std::to_string(recno))).substr(0, f.width);
        case 'N': {
            long limit = 1;
            for (int d = 0; d < f.width - f.decimals - 2; ++d) limit *= 10;
            char text[40];
            std::snprintf(text, sizeof text, "%.*f", f.decimals,
                          static_cast<double>(n % limit) + (f.decimals > 0 ? 0.25 : 0));
            return text;
        }
        case 'D': {
            char text[16];
            std::snprintf(text, sizeof text, "%04ld%02ld%02ld", 2020 + n % 6, 1 + n % 12,
                          1 + recno % 28);
            return text;
        }
        default:
            return n % 2 ? "T" : "F";
    }
}

void AppendStockItem(TApolloTable& stock, const FieldValues& values, long recno) {
    const auto& layout = StockMasterLayout();
    stock.Append();
    for (int i = 0; i < static_cast<int>(layout.size()); ++i) {
        TApolloField* field = stock.FindField(layout[i].name);
        if (field == nullptr) continue;
        auto given = values.find(layout[i].name);
        field->SetAsString(given != values.end() ? given->second
                                                 : FillerValue(layout[i], recno, i));
    }
    stock.Post();
}

}  // namespace zer1::testing
