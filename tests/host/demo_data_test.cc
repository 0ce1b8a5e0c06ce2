// The host stand-in's demo data set, read back the way the system reads it:
// the pool and its indexes through the table layer, the Fowis list appended
// into a staging table by the engine, the DGH archive through the ZIP reader
// and the DGH line decoder, the parameter table with the host's password.
#include "host/demo_data.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <filesystem>

#include "common/ui_services.h"
#include "fowis/fowis_run.h"
#include "fowis/table_creation.h"
#include "fowis/table_structures.h"
#include "imports/dgh_source.h"
#include "imports/working_record.h"
#include "imports/zip_archive.h"
#include "recording_run_host.h"
#include "run/parameter_table.h"
#include "run/settings_file.h"
#include "stock/pool_update.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace jevhost {
namespace {

using zer1::testing::PathExists;
using zer1::testing::ReadFile;
using zer1::testing::TempDir;
using zer1::testing::WriteFile;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

class DemoDataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        zer1::processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        zer1::engine();
        ASSERT_TRUE(MakeDemoData(root.path() + "demo", program.path(), paths, problem)) << problem;
    }

    void OpenPool(zer1::TApolloTable& pool) {
        pool.SetDatabaseName(paths.data_path);
        pool.SetTableName("JEVDBF.DBF");
        pool.Open();
        for (const char* index : zer1::kPoolIndexNames) {
            ASSERT_GT(pool.IndexOpen(paths.data_path + index), 0) << index;
        }
        pool.SetOEMTranslate(true);
    }

    TempDir root;
    TempDir program;
    zer1::RecordingUiServices ui;
    zer1::ScopedUiServices scoped_ui{&ui};
    DemoPaths paths;
    std::string problem;
};

TEST_F(DemoDataTest, LaysOutTheDemoFoldersWithTrailingSeparators) {
    const std::string base = root.path() + "demo/";
    EXPECT_EQ(paths.data_path, base + "data/");
    EXPECT_EQ(paths.fowis_directory, base + "fowis/");
    EXPECT_EQ(paths.output_directory, base + "ausgabe/");
    EXPECT_TRUE(std::filesystem::is_directory(paths.output_directory));
    EXPECT_TRUE(PathExists(paths.data_path + "JEVDBF.DBF"));
    for (const char* index : zer1::kPoolIndexNames) {
        EXPECT_TRUE(PathExists(paths.data_path + index)) << index;
    }
    EXPECT_TRUE(PathExists(paths.fowis_directory + "TRFOWIS.SDF"));
    EXPECT_TRUE(PathExists(paths.dgh_archive));
    EXPECT_TRUE(PathExists(program / "VUROZE.LIC"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DemoDataTest, PoolHoldsTheHostsFieldsAndDosTextsAndItsIndexesOrderIt) {
    zer1::TApolloTable pool;
    OpenPool(pool);
    // The widths of the working table's text fields FELD1 to FELD13.
    const int widths[] = {13, 40, 10, 10, 15, 40, 40, 13, 13, 8, 2, 1, 13};
    for (int n = 1; n <= 13; ++n) {
        const std::string name = "FELD" + std::to_string(n);
        zer1::TApolloField* field = pool.FindField(name);
        ASSERT_NE(field, nullptr) << name;
        EXPECT_EQ(field->Size(), widths[n - 1]) << name;
    }
    EXPECT_EQ(pool.RecordCount(), 2);

    // JE1.NTX finds by FELD1, as the pool update seeks.
    ASSERT_TRUE(zer1::FindRecordByKey(pool, 1, "4250999900011"));
    EXPECT_EQ(Trimmed(pool.GetString("FELD6")), "GRÖSSE 13X18 CM");
    EXPECT_EQ(pool.GetString("FELD11"), "FO");
    // JE2.NTX orders by the upper-cased description.
    pool.SetOrder(2);
    pool.First();
    EXPECT_EQ(Trimmed(pool.GetString("FELD2")), "BILDERRAHMEN 13X18 BUCHE");
    pool.Next();
    EXPECT_EQ(Trimmed(pool.GetString("FELD2")), "KLEINBILDFILM 200 ASA 36 AUFN.");
    pool.Close();

    // On disk the umlaut is in the DOS code page (0x99), not in Windows-1252.
    const std::string bytes = ReadFile(paths.data_path + "JEVDBF.DBF");
    EXPECT_NE(bytes.find("GR\x99SSE"), std::string::npos);
    EXPECT_EQ(bytes.find("GR\xD6SSE"), std::string::npos);
}

TEST_F(DemoDataTest, FowisListFillsTheStagingTableColumnByColumn) {
    const std::string list = ReadFile(paths.fowis_directory + "TRFOWIS.SDF");
    const std::vector<std::string> lines = DemoFowisLines();
    std::string expected;
    for (const std::string& line : lines) {
        EXPECT_EQ(line.size(), 402u);
        expected += line + "\r\n";
    }
    EXPECT_EQ(list, expected);
    EXPECT_EQ(lines[0].substr(75, 8), "   89,90");  // lek, columns 76-83
    EXPECT_EQ(lines[0].substr(8, 10), "4711      ");

    zer1::TApolloTable staging;
    ASSERT_TRUE(zer1::CreateStagingTable(staging, program.path()));
    staging.SetDatabaseName(program.path());
    staging.SetTableName("fo_1.dbf");
    staging.SetExclusive(true);
    staging.Open();
    ASSERT_TRUE(staging.AppendFrom(paths.fowis_directory + "TRFOWIS.SDF", zer1::kSdfFile, ""));
    ASSERT_EQ(staging.RecordCount(), static_cast<long>(lines.size()));
    staging.First();
    EXPECT_EQ(Trimmed(staging.GetString("FIRMA")), "LUMA");
    EXPECT_EQ(Trimmed(staging.GetString("ARTNR1")), "4711");
    EXPECT_EQ(Trimmed(staging.GetString("ARTIKEL")), "Kompaktkamera LX 20");
    EXPECT_EQ(staging.GetString("EAN"), "4250123400017");
    EXPECT_EQ(Trimmed(staging.GetString("LEK")), "89,90");
    EXPECT_EQ(Trimmed(staging.GetString("UEVK")), "149,00");
    EXPECT_EQ(Trimmed(staging.GetString("T2")), "129,00");
    EXPECT_EQ(Trimmed(staging.GetString("P1")), "145,00");
    EXPECT_EQ(Trimmed(staging.GetString("V1")), "VK1");
    for (int i = 0; i < 4; ++i) staging.Next();
    // Windows-1252 in the file, UTF-8 once read.
    EXPECT_EQ(Trimmed(staging.GetString("ARTIKEL")), "Passbild-Mappe grün");
    staging.Close();
}

TEST_F(DemoDataTest, FowisRunConvertsTheWholeDemoList) {
    zer1::RecordingRunHost host(paths.data_path, program.path());
    host.texts[zer1::DialogControl::kSleQuelleFowis] = paths.fowis_directory + "TRFOWIS.SDF";
    host.texts[zer1::DialogControl::kSleZielFowis] = paths.data_path;
    host.factor = 1.0L;
    zer1::RunFowisConversion(host);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;

    zer1::TApolloTable prices;
    prices.SetDatabaseName(paths.data_path);
    prices.SetTableName("fowispr.dbf");
    prices.Open();
    ASSERT_EQ(prices.RecordCount(), static_cast<long>(DemoFowisLines().size()));
    prices.First();
    EXPECT_EQ(prices.GetString("EAN"), "4250123400017");
    EXPECT_EQ(Trimmed(prices.GetString("LEK")), "89.90");
    EXPECT_EQ(Trimmed(prices.GetString("T2")), "129.00");
    prices.Next();
    EXPECT_EQ(Trimmed(prices.GetString("UEVP")), "199.00");
    prices.Next();
    // No EAN in the list: the firm code and article number stand in.
    EXPECT_EQ(Trimmed(prices.GetString("EAN")), "FOTX815");
    EXPECT_EQ(Trimmed(prices.GetString("LEK")), "12.00");
    prices.Close();
    // Without a transfer directory the list stays where it is.
    EXPECT_TRUE(PathExists(paths.fowis_directory + "TRFOWIS.SDF"));
}

TEST_F(DemoDataTest, DghArchiveHoldsAUtf16ArticleMember) {
    auto archive = zer1::ZipArchive::Open(paths.dgh_archive);
    ASSERT_EQ(archive->members().size(), 2u);
    EXPECT_EQ(archive->members()[0].name, "ARTIKEL.TXT");
    EXPECT_EQ(archive->members()[1].name, "LIESMICH.TXT");
    std::string member;
    archive->Extract(archive->members()[0], [&](const uint8_t* data, std::size_t length) {
        member.append(reinterpret_cast<const char*>(data), length);
        return true;
    });
    ASSERT_GE(member.size(), 2u);
    EXPECT_EQ(member.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(zer1::DecodeDghLines(member), DemoDghLines());
    for (const std::string& line : DemoDghLines()) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ';'), 15) << line;
    }
}

TEST_F(DemoDataTest, ParameterTableAndSettingsGoToTheProgramDirectory) {
    zer1::ParameterTable parameters;
    const auto switches = parameters.ReadAtStartUp(program.path());
    ASSERT_TRUE(switches.has_value());
    EXPECT_EQ(*switches, (zer1::ParameterSwitches{true, true, true, true, false}));

    zer1::SettingsFile ini(program / "zer1.ini");
    EXPECT_EQ(
        ini.ReadString("Settings", "Quellpfad", "") + ini.ReadString("Settings", "Quelldatei", ""),
        paths.dgh_archive);
    EXPECT_EQ(ini.ReadString("Settings", "Zielpfad", ""), paths.output_directory);
}

TEST_F(DemoDataTest, ASecondRunKeepsWhatExistsAndMakesWhatIsMissing) {
    WriteFile(paths.fowis_directory + "TRFOWIS.SDF", "eigene Liste\r\n");
    ASSERT_TRUE(zer1::CreateParameterTable(program.path(), "0000001"));
    zer1::SettingsFile(program / "zer1.ini").WriteString("Settings", "Zielpfad", "/eigen/");
    const std::string pool_before = ReadFile(paths.data_path + "JEVDBF.DBF");
    const std::string archive_before = ReadFile(paths.dgh_archive);
    std::filesystem::remove(paths.data_path + "JE3.NTX");

    DemoPaths again;
    ASSERT_TRUE(MakeDemoData(root.path() + "demo", program.path(), again, problem)) << problem;
    EXPECT_EQ(ReadFile(paths.fowis_directory + "TRFOWIS.SDF"), "eigene Liste\r\n");
    EXPECT_EQ(ReadFile(paths.data_path + "JEVDBF.DBF"), pool_before);
    EXPECT_EQ(ReadFile(paths.dgh_archive), archive_before);
    EXPECT_EQ(zer1::SettingsFile(program / "zer1.ini").ReadString("Settings", "Zielpfad", ""),
              "/eigen/");
    zer1::ParameterTable parameters;
    EXPECT_EQ(*parameters.ReadAtStartUp(program.path()),
              (zer1::ParameterSwitches{false, false, false, false, true}));

    // The missing index is built again and orders by FELD13.
    ASSERT_TRUE(PathExists(paths.data_path + "JE3.NTX"));
    zer1::TApolloTable pool;
    OpenPool(pool);
    pool.SetOrder(3);
    pool.First();
    EXPECT_EQ(Trimmed(pool.GetString("FELD13")), "/100234");
    pool.Close();
}

// A parameter table the engine cannot open (here: its encryption mark names
// scheme 1, which this engine refuses) is made again; the old file is kept.
TEST_F(DemoDataTest, AParameterTableTheEngineCannotOpenIsMadeAgain) {
    std::string old_table = ReadFile(program / "VUROZE.LIC");
    old_table[14] = 1;
    // A mark of its own with a checksum that holds (BLAKE2b over header
    // bytes 12-29, its first two bytes at 30): a mark whose checksum fails
    // is no mark, and the table would read as plain.
    ASSERT_GE(sodium_init(), 0);
    uint8_t digest[16];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const uint8_t*>(&old_table[12]), 18,
                       nullptr, 0);
    old_table.replace(30, 2, reinterpret_cast<const char*>(digest), 2);
    WriteFile(program / "VUROZE.LIC", old_table);
    DemoPaths again;
    ASSERT_TRUE(MakeDemoData(root.path() + "demo", program.path(), again, problem)) << problem;
    EXPECT_EQ(ReadFile(program / "VUROZE.LIC.alt"), old_table);
    zer1::ParameterTable parameters;
    EXPECT_EQ(*parameters.ReadAtStartUp(program.path()),
              (zer1::ParameterSwitches{true, true, true, true, false}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DemoDataTest, AFolderThatCannotBeMadeIsReported) {
    WriteFile(root / "datei", "x");
    DemoPaths blocked;
    std::string why;
    EXPECT_FALSE(MakeDemoData(root / "datei", program.path(), blocked, why));
    EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace jevhost
