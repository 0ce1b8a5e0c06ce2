#include "fowis/table_structures.h"

#include <gtest/gtest.h>

namespace zer1 {
namespace {

std::string Names(const std::vector<FieldDefinition>& fields) {
    std::string names;
    for (const FieldDefinition& field : fields) names += (names.empty() ? "" : ",") + field.name;
    return names;
}

TEST(PriceTableStructure, FieldsInCreationOrder) {
    const auto& fields = PriceTableFields();
    ASSERT_EQ(fields.size(), 51u);
    EXPECT_EQ(FieldDataWidth(fields), 335);
    EXPECT_EQ(Names(fields),
              "artnr1,ean,lek,uevp,g1,g2,g3,g4,g5,g6,g7,g8,g9,g10,"
              "t1,t2,t3,t4,t5,t6,t7,t8,t9,t10,v1,v2,v3,v4,v5,v6,v7,v8,v9,v10,"
              "p1,p2,p3,p4,p5,p6,p7,p8,p9,p10,artikel,rf_nr,rf1,rf2,rp1,rp2,firma");
    int numeric = 0;
    for (const FieldDefinition& field : fields) {
        if (field.type == 'N') {
            ++numeric;
            EXPECT_EQ(field.width, 8) << field.name;
            EXPECT_EQ(field.decimals, 2) << field.name;
        } else {
            EXPECT_EQ(field.type, 'C') << field.name;
            EXPECT_EQ(field.decimals, 0) << field.name;
        }
    }
    EXPECT_EQ(numeric, 24);  // lek, uevp, t1..t10, p1..p10, rp1, rp2
    EXPECT_EQ(fields[1].width, 13);
    EXPECT_EQ(fields[44].name, "artikel");
    EXPECT_EQ(fields[44].width, 40);
    EXPECT_EQ(fields[24].width, 3);  // v1
}

TEST(StagingTableStructure, FieldsAreTheColumnsOfASourceLine) {
    const auto& fields = StagingTableFields();
    ASSERT_EQ(fields.size(), 67u);
    EXPECT_EQ(FieldDataWidth(fields), 402);
    for (const FieldDefinition& field : fields) {
        EXPECT_EQ(field.type, 'C') << field.name;
        EXPECT_EQ(field.decimals, 0) << field.name;
    }
    EXPECT_EQ(fields[15].name, "g1");
    EXPECT_EQ(fields[16].name, "t1");
    EXPECT_EQ(fields[54].name, "t20");
    EXPECT_EQ(fields[55].name, "g21");
    EXPECT_EQ(fields[57].name, "v1");
    EXPECT_EQ(fields[66].name, "p5");
}

TEST(StagingTableStructure, ColumnsOfTheSourceLine) {
    struct Expected {
        const char* name;
        int first;
        int last;
    };
    const Expected expected[] = {
        {"firma", 1, 4},     {"kapitel", 5, 8},   {"artnr1", 9, 18},   {"rf_nr", 19, 23},
        {"nix", 24, 31},     {"artikel", 32, 61}, {"ean", 62, 74},     {"nix1", 75, 75},
        {"lek", 76, 83},     {"nix2", 84, 84},    {"uevk", 85, 92},    {"nix3", 93, 100},
        {"rp1", 101, 107},   {"rf2", 108, 110},   {"rp2", 111, 117},   {"g1", 118, 120},
        {"t1", 121, 128},    {"g2", 129, 131},    {"t2", 132, 139},    {"g10", 217, 219},
        {"t10", 220, 227},   {"g20", 327, 329},   {"t20", 330, 337},   {"g21", 338, 340},
        {"t21", 341, 347},   {"v1", 348, 350},    {"p1", 351, 358},    {"v5", 392, 394},
        {"P5", 395, 402},
    };
    for (const Expected& field : expected) {
        const SourceColumns columns = StagingFieldColumns(field.name);
        EXPECT_EQ(columns.first, field.first) << field.name;
        EXPECT_EQ(columns.last, field.last) << field.name;
    }
    EXPECT_EQ(StagingFieldColumns("uevp").first, 0);
}

TEST(ManufacturerTableStructure, FirmCodeAndName) {
    const auto& fields = ManufacturerTableFields();
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(Names(fields), "fnr,hersteller");
    EXPECT_EQ(fields[0].width, 4);  // as wide as firma
    EXPECT_EQ(fields[1].width, 15);
}

}  // namespace
}  // namespace zer1
