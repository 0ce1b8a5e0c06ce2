// Creating the Fowis tables through the table layer over the real engine; the
// structures are read back from the file header and by an independent reader.
#include "fowis/table_creation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/file_names.h"
#include "common/ui_services.h"
#include "fowis/table_structures.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"
#include "tests/fowis/fowis_layouts.h"
#include "tests/support/command_output.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

struct HeaderField {
    std::string name;
    char type;
    int width;
    int decimals;
};

// The field descriptors of a DBF file: 32-byte header, then one 32-byte
// descriptor per field (name 0-10, type 11, width 16, decimals 17) up to 0x0D.
std::vector<HeaderField> ReadHeaderFields(const std::string& file, int* record_length) {
    std::ifstream in(file, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<HeaderField> fields;
    if (data.size() < 32) return fields;
    *record_length = static_cast<unsigned char>(data[10]) | static_cast<unsigned char>(data[11]) << 8;
    for (size_t at = 32; at + 32 <= data.size() && data[at] != '\x0D'; at += 32) {
        std::string name = data.substr(at, 11);
        name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
        fields.push_back({name, data[at + 11], static_cast<unsigned char>(data[at + 16]),
                          static_cast<unsigned char>(data[at + 17])});
    }
    return fields;
}

// Lower-cased field names as python3-dbf reads them: "name type width decimals" lines.
std::string ReadWithPythonDbf(const std::string& file) {
    const std::string command =
        "/usr/bin/python3 -c \"import dbf,sys\n"
        "t=dbf.Table(sys.argv[1]); t.open()\n"
        "for n in t.field_names:\n"
        "  i=t.field_info(n); print(n, chr(i[0]), i[1], i[2])\" '" + file + "' 2>&1";
    return testing::CommandOutput(command);
}

std::string Describe(const std::vector<FieldDefinition>& fields) {
    std::ostringstream out;
    for (const FieldDefinition& f : fields) {
        out << f.name << ' ' << f.type << ' ' << f.width << ' ' << f.decimals << '\n';
    }
    return out.str();
}

const std::vector<FieldDefinition> kExpectedManufacturerTable = {{"fnr", 'C', 4, 0},
                                                                 {"hersteller", 'C', 15, 0}};

class TableCreationTest : public ::testing::Test {
protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        engine();
    }

    void ExpectStructure(const std::string& file, const std::vector<FieldDefinition>& expected,
                         int expected_record_length) {
        int record_length = 0;
        const std::vector<HeaderField> fields = ReadHeaderFields(file, &record_length);
        ASSERT_EQ(fields.size(), expected.size()) << file;
        EXPECT_EQ(record_length, expected_record_length);
        for (size_t i = 0; i < fields.size(); ++i) {
            EXPECT_TRUE(NamesEqualIgnoringCase(fields[i].name, expected[i].name)) << fields[i].name;
            EXPECT_EQ(fields[i].type, expected[i].type) << expected[i].name;
            EXPECT_EQ(fields[i].width, expected[i].width) << expected[i].name;
            EXPECT_EQ(fields[i].decimals, expected[i].decimals) << expected[i].name;
        }
        EXPECT_EQ(ReadWithPythonDbf(file), Describe(expected));
    }

    RecordingUiServices ui_;
    ScopedUiServices install_ui_{&ui_};
    testing::TempDir dir_;
};

TEST_F(TableCreationTest, PriceTableHasItsFiftyOneFields) {
    TApolloTable table;
    ASSERT_TRUE(CreatePriceTable(table, dir_.path()));
    EXPECT_FALSE(table.Active());
    ExpectStructure(dir_.path() + "fowispr.dbf", ExpectedPriceTable(), 1 + 335);
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TableCreationTest, StagingTableHoldsASourceLine) {
    TApolloTable table;
    ASSERT_TRUE(CreateStagingTable(table, dir_.path()));
    ExpectStructure(dir_.path() + "fo_1.dbf", ExpectedStagingTable(), 1 + 402);

    // One 402-character line appended as SDF text lands in the columns.
    std::string line(402, ' ');
    line.replace(8, 4, "4711");                // artnr1, columns 9-18
    line.replace(340, 7, "1234567");           // t21, columns 341-347
    line.replace(347, 3, "V01");               // v1 from column 348
    dir_.Write("TRFOWIS.SDF", line + "\r\n");
    table.SetDatabaseName(dir_.path());
    table.SetTableName("fo_1.dbf");
    table.SetExclusive(true);
    table.Open();
    ASSERT_TRUE(table.AppendFrom(dir_.path() + "TRFOWIS.SDF", kSdfFile, ""));
    table.First();
    EXPECT_EQ(table.GetString("artnr1"), "4711      ");
    EXPECT_EQ(table.GetString("t21"), "1234567");
    EXPECT_EQ(table.GetString("v1"), "V01");
    table.Close();
}

TEST_F(TableCreationTest, ManufacturerTableIsCreatedSilently) {
    TApolloTable table;
    ASSERT_TRUE(CreateManufacturerTable(table, dir_.path()));
    ExpectStructure(dir_.path() + "FNR.DBF", kExpectedManufacturerTable, 1 + 4 + 15);
}

TEST_F(TableCreationTest, MissingDirectoryGivesTheCreationMessage) {
    TApolloTable table;
    EXPECT_FALSE(CreatePriceTable(table, dir_.path() + "missing/"));
    EXPECT_FALSE(CreateStagingTable(table, dir_.path() + "missing/"));
    EXPECT_FALSE(CreateManufacturerTable(table, dir_.path() + "missing/"));
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[0].text, "FOWISPR.DBF konnte nicht erstellt werden!");
    EXPECT_EQ(ui_.messages[0].caption, "Fehler");
    EXPECT_EQ(ui_.messages[1].text, "FO_1.DBF konnte nicht erstellt werden!");
}

TEST_F(TableCreationTest, StructureThatCannotBeWrittenGivesItsMessage) {
    // The table's name is taken by a directory: the structure cannot be written.
    std::filesystem::create_directory(dir_.path() + "fowispr.dbf");
    std::filesystem::create_directory(dir_.path() + "fo_1.dbf");
    std::filesystem::create_directory(dir_.path() + "FNR.DBF");
    TApolloTable table;
    EXPECT_FALSE(CreatePriceTable(table, dir_.path()));
    EXPECT_FALSE(CreateStagingTable(table, dir_.path()));
    EXPECT_FALSE(CreateManufacturerTable(table, dir_.path()));
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[0].text, "Struktur von FOWISPR.DBF konnte nicht geschrieben werden!");
    EXPECT_EQ(ui_.messages[1].text, "Struktur von FO_1.DBF konnte nicht geschrieben werden!");
}

}  // namespace
}  // namespace zer1
