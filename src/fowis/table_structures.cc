#include "fowis/table_structures.h"

#include "common/file_names.h"

namespace zer1 {
namespace {

constexpr int kFirmaWidth = 4;

// "g1", "t21", ...
std::string Numbered(char letter, int number) {
    std::string name(1, letter);
    name += std::to_string(number);
    return name;
}

std::vector<FieldDefinition> BuildPriceTableFields() {
    std::vector<FieldDefinition> fields = {
        {"artnr1", 'C', 10, 0},
        {"ean", 'C', 13, 0},
        {"lek", 'N', 8, 2},
        {"uevp", 'N', 8, 2},
    };
    for (int k = 1; k <= 10; ++k) fields.push_back({Numbered('g', k), 'C', 3, 0});
    for (int k = 1; k <= 10; ++k) fields.push_back({Numbered('t', k), 'N', 8, 2});
    for (int k = 1; k <= 10; ++k) fields.push_back({Numbered('v', k), 'C', 3, 0});
    for (int k = 1; k <= 10; ++k) fields.push_back({Numbered('p', k), 'N', 8, 2});
    fields.insert(fields.end(), {
                                    {"artikel", 'C', 40, 0},
                                    {"rf_nr", 'C', 10, 0},
                                    {"rf1", 'C', 3, 0},
                                    {"rf2", 'C', 3, 0},
                                    {"rp1", 'N', 8, 2},
                                    {"rp2", 'N', 8, 2},
                                    {"firma", 'C', kFirmaWidth, 0},
                                });
    return fields;
}

std::vector<FieldDefinition> BuildStagingTableFields() {
    std::vector<FieldDefinition> fields = {
        {"firma", 'C', kFirmaWidth, 0}, {"kapitel", 'C', 4, 0}, {"artnr1", 'C', 10, 0},
        {"rf_nr", 'C', 5, 0},           {"nix", 'C', 8, 0},     {"artikel", 'C', 30, 0},
        {"ean", 'C', 13, 0},            {"nix1", 'C', 1, 0},    {"lek", 'C', 8, 0},
        {"nix2", 'C', 1, 0},            {"uevk", 'C', 8, 0},    {"nix3", 'C', 8, 0},
        {"rp1", 'C', 7, 0},             {"rf2", 'C', 3, 0},     {"rp2", 'C', 7, 0},
    };
    for (int k = 1; k <= 21; ++k) {
        fields.push_back({Numbered('g', k), 'C', 3, 0});
        fields.push_back({Numbered('t', k), 'C', k == 21 ? 7 : 8, 0});
    }
    for (int k = 1; k <= 5; ++k) {
        fields.push_back({Numbered('v', k), 'C', 3, 0});
        fields.push_back({Numbered('p', k), 'C', 8, 0});
    }
    return fields;
}

}  // namespace

const std::vector<FieldDefinition>& PriceTableFields() {
    static const std::vector<FieldDefinition> fields = BuildPriceTableFields();
    return fields;
}

const std::vector<FieldDefinition>& StagingTableFields() {
    static const std::vector<FieldDefinition> fields = BuildStagingTableFields();
    return fields;
}

const std::vector<FieldDefinition>& ManufacturerTableFields() {
    static const std::vector<FieldDefinition> fields = {
        {"fnr", 'C', kFirmaWidth, 0},
        {"hersteller", 'C', 15, 0},
    };
    return fields;
}

int FieldDataWidth(const std::vector<FieldDefinition>& fields) {
    int width = 0;
    for (const FieldDefinition& field : fields) width += field.width;
    return width;
}

SourceColumns StagingFieldColumns(std::string_view name) {
    int column = 1;
    for (const FieldDefinition& field : StagingTableFields()) {
        if (NamesEqualIgnoringCase(field.name, name)) return {column, column + field.width - 1};
        column += field.width;
    }
    return {0, 0};
}

}  // namespace zer1
