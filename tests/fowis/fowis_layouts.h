// The Fowis price and staging tables as they must come out, written field by
// field rather than taken from the definitions under test, and the columns of
// a TRFOWIS.SDF line that follow from the staging table's widths.
#ifndef ZER1_TESTS_FOWIS_FOWIS_LAYOUTS_H
#define ZER1_TESTS_FOWIS_FOWIS_LAYOUTS_H

#include <string>
#include <utility>
#include <vector>

#include "common/file_names.h"
#include "fowis/table_structures.h"

namespace zer1 {

inline std::vector<FieldDefinition> ExpectedPriceTable() {
    std::vector<FieldDefinition> fields = {
        {"artnr1", 'C', 10, 0}, {"ean", 'C', 13, 0}, {"lek", 'N', 8, 2}, {"uevp", 'N', 8, 2}};
    for (const char* group : {"g", "t", "v", "p"}) {
        const bool numeric = group[0] == 't' || group[0] == 'p';
        for (int k = 1; k <= 10; ++k) {
            fields.push_back({group + std::to_string(k), numeric ? 'N' : 'C', numeric ? 8 : 3,
                              numeric ? 2 : 0});
        }
    }
    fields.insert(fields.end(), {{"artikel", 'C', 40, 0},
                                 {"rf_nr", 'C', 10, 0},
                                 {"rf1", 'C', 3, 0},
                                 {"rf2", 'C', 3, 0},
                                 {"rp1", 'N', 8, 2},
                                 {"rp2", 'N', 8, 2},
                                 {"firma", 'C', 4, 0}});
    return fields;
}

inline std::vector<FieldDefinition> ExpectedStagingTable() {
    std::vector<FieldDefinition> fields;
    for (const auto& [name, width] : std::vector<std::pair<const char*, int>>{
             {"firma", 4}, {"kapitel", 4}, {"artnr1", 10}, {"rf_nr", 5}, {"nix", 8},
             {"artikel", 30}, {"ean", 13}, {"nix1", 1}, {"lek", 8}, {"nix2", 1},
             {"uevk", 8}, {"nix3", 8}, {"rp1", 7}, {"rf2", 3}, {"rp2", 7}}) {
        fields.push_back({name, 'C', width, 0});
    }
    for (int k = 1; k <= 21; ++k) {
        fields.push_back({"g" + std::to_string(k), 'C', 3, 0});
        fields.push_back({"t" + std::to_string(k), 'C', k == 21 ? 7 : 8, 0});
    }
    for (int k = 1; k <= 5; ++k) {
        fields.push_back({"v" + std::to_string(k), 'C', 3, 0});
        fields.push_back({"p" + std::to_string(k), 'C', 8, 0});
    }
    return fields;
}

// The columns (first, last, counted from 1) of a staging field in a source
// line: the staging fields lie side by side in their order; {0, 0} when the
// name, compared without regard to case, is none of them.
inline std::pair<int, int> ExpectedSourceColumns(const std::string& name) {
    int first = 1;
    for (const FieldDefinition& field : ExpectedStagingTable()) {
        if (NamesEqualIgnoringCase(field.name, name)) return {first, first + field.width - 1};
        first += field.width;
    }
    return {0, 0};
}

}  // namespace zer1

#endif  // ZER1_TESTS_FOWIS_FOWIS_LAYOUTS_H
