// The host stand-in's demo world, read back the way the system reads it and
// with independent readers: the pool and its indexes through the table
// layer, the stock master, stock log and their indexes with Perl XBase and
// python3-dbf, the Fowis list appended into a staging table by the engine,
// the archives through the ZIP reader and the member decoders, the
// parameter table with the host's password.
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
#include "tests/support/command_output.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/stock_world.h"
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

TEST_F(DemoDataTest, HostTablesReadBackWithOurTablesAndIndependentReaders) {
    const std::string base = root.path() + "demo/";
    EXPECT_EQ(paths.data_path, base + "data/");
    EXPECT_EQ(paths.fowis_directory, base + "fowis/");
    EXPECT_EQ(paths.output_directory, base + "ausgabe/");
    EXPECT_EQ(paths.fotoco_archive, base + "fotoco/fotoco_artikel.zip");
    EXPECT_TRUE(std::filesystem::is_directory(paths.output_directory));
    for (const char* file : {"VUROZE.LIC", "INDEXES.DBF", "zer1.ini"}) {
        EXPECT_TRUE(PathExists(program / file)) << file;
    }
    EXPECT_TRUE(ui.messages.empty());

    // The pool: the host's fields, the articles an earlier import left, its
    // five indexes in step with it, texts in the DOS code page.
    zer1::TApolloTable pool;
    OpenPool(pool);
    const int widths[] = {13, 40, 10, 10, 15, 40, 40, 13, 13, 8, 2, 1, 13};
    for (int n = 1; n <= 13; ++n) {
        zer1::TApolloField* field = pool.FindField("FELD" + std::to_string(n));
        ASSERT_NE(field, nullptr) << n;
        EXPECT_EQ(field->Size(), widths[n - 1]) << n;
    }
    EXPECT_EQ(pool.RecordCount(), 187);
    pool.SetOrder(2);
    pool.First();
    EXPECT_EQ(Trimmed(pool.GetString("FELD2")), "AKKU LI-ION 1200 MAH");
    pool.Close();
    const std::pair<const char*, const char*> pool_indexes[] = {
        {"JE1", "FELD1"}, {"JE2", "UPPER(FELD2)"}, {"JE3", "FELD13"},
        {"JE4", "FELD9+FELD1"}, {"JE5", "FELD11+FELD1"}};
    for (const auto& [index, expression] : pool_indexes) {
        zer1::testing::ExpectIndexMatchesTable(paths.data_path + "JEVDBF.DBF",
                                               paths.data_path + index + ".NTX", expression);
    }
    const std::string pool_bytes = ReadFile(paths.data_path + "JEVDBF.DBF");
    EXPECT_NE(pool_bytes.find("GR\x94\xE1" "E NACH MA\xE1"), std::string::npos);

    // The stock master in the host's 94 fields, every index of the catalogue
    // built, as Perl XBase and python3-dbf read them.
    const std::string python = zer1::testing::CommandOutput(
        "/usr/bin/python3 -c 'import dbf, sys\n"
        "for name in sys.argv[1:]:\n"
        "    t = dbf.Table(name, codepage=\"cp1252\"); t.open()\n"
        "    print(len(t.field_names), len(t))\n"
        "t = dbf.Table(sys.argv[1], codepage=\"cp1252\"); t.open()\n"
        "print(t[5].artbez.strip(), t[5].preis, t[6].artnum.strip(), t[6].libnr1.strip())' " +
        paths.data_path + "MLAGER.DBF " + paths.data_path + "MLPROTO.DBF 2>&1");
    EXPECT_EQ(python,
              "94 133\n9 2\n"
              "Leihkamera Tagesmiete 25.0 4250124402228 100200\n");
    const std::string perl = zer1::testing::CommandOutput(
        "perl -MXBase -e '$t = XBase->new($ARGV[0]) or die XBase->errstr; "
        "print $t->last_record + 1, \" \", join(\"|\", map { s/ +$//r } "
        "$t->get_record(1, \"ARTNUM\", \"TEXT\", \"BENUTZER\"))' " +
        paths.data_path + "MLPROTO.DBF 2>&1");
    EXPECT_EQ(perl, "2 0|2000010|\xC4nderung|CHEF");
    for (const auto& row : jevhost::DefaultCatalogue()) {
        if (row.dataFile != "MLAGER") continue;
        zer1::testing::ExpectIndexMatchesTable(paths.data_path + "MLAGER.DBF",
                                               paths.data_path + row.indexName + ".NTX",
                                               row.expression);
    }

    // The same world again elsewhere: the same bytes, the parameter table
    // (encrypted afresh) aside.
    TempDir other_program;
    DemoPaths other;
    ASSERT_TRUE(MakeDemoData(root.path() + "zweite", other_program.path(), other, problem))
        << problem;
    for (const std::string& file :
         {std::string("data/MLAGER.DBF"), std::string("data/MLBEZ.NTX"),
          std::string("data/JEVDBF.DBF"), std::string("data/JE4.NTX"),
          std::string("fowis/TRFOWIS.SDF"), std::string("dgh/dgh_artikel.zip"),
          std::string("fotoco/fotoco_artikel.zip")}) {
        EXPECT_EQ(ReadFile(root.path() + "zweite/" + file), ReadFile(base + file)) << file;
    }
    EXPECT_EQ(ReadFile(other_program / "INDEXES.DBF"), ReadFile(program / "INDEXES.DBF"));
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
    EXPECT_EQ(*switches, (zer1::ParameterSwitches{true, true, true, true, true}));

    zer1::SettingsFile ini(program / "zer1.ini");
    EXPECT_EQ(
        ini.ReadString("Settings", "Quellpfad", "") + ini.ReadString("Settings", "Quelldatei", ""),
        paths.dgh_archive);
    EXPECT_EQ(ini.ReadString("Settings", "QuellpfadFotoco", "") +
                  ini.ReadString("Settings", "QuelldateiFotoco", ""),
              paths.fotoco_archive);
    EXPECT_EQ(ini.ReadString("Settings", "Zielpfad", ""), paths.output_directory);
    EXPECT_EQ(ini.ReadString("Settings", "ZielpfadFotoco", ""), paths.output_directory);
    EXPECT_EQ(ini.ReadString("Settings", "QuellPfadFowis", ""),
              paths.fowis_directory + "TRFOWIS.SDF");
    EXPECT_EQ(ini.ReadString("Settings", "FaktorFowis", ""), "10000");
    for (const char* option : {"Pool", "Update", "Standard", "Lagerupdate", "LagerNeu"}) {
        EXPECT_EQ(ini.ReadString("Settings", option, ""), "1") << option;
    }
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
    zer1::testing::ExpectIndexMatchesTable(paths.data_path + "JEVDBF.DBF",
                                           paths.data_path + "JE3.NTX", "FELD13");
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
              (zer1::ParameterSwitches{true, true, true, true, true}));
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
