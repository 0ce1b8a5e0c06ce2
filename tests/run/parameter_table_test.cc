// The host's parameter table against the real engine: encrypted tables
// written by the creation tool, read back at start-up as the dialog does,
// and the failures that end the program or only switch the take-over off.
#include "run/parameter_table.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/ui_services.h"
#include "storage/engine_loader.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;

// How many of this process's file descriptors point at `path`.
int OpenDescriptorsOf(const std::string& path) {
    const std::string wanted = std::filesystem::canonical(path).string();
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string() == wanted) ++count;
    }
    return count;
}

class ParameterTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        engine();
    }

    std::string LicFile() const { return program / "VUROZE.LIC"; }

    // Reads the switches as the dialog's start-up does.
    std::optional<ParameterSwitches> StartUp(ParameterTable& table,
                                            const std::string& password = HostTablePassword()) {
        return table.ReadAtStartUp(program.path(), password);
    }

    void ExpectFatal(const std::optional<ParameterSwitches>& result, const ParameterTable& table) {
        EXPECT_FALSE(result.has_value());
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
        EXPECT_EQ(ui.messages[0].caption, "Fehler");
        EXPECT_EQ(ui.messages[0].text, "Schwerer Fehler! Programm wird beendet!");
        EXPECT_EQ(ui.quit_requests, 1);
        EXPECT_FALSE(table.Active());
    }

    TempDir program;
    RecordingUiServices ui;
    ScopedUiServices scoped_ui{&ui};
};

TEST(SwitchesFromTextTest, PositionsOneToFourAndSevenOnlyAnOneSwitchesOn) {
    EXPECT_EQ(SwitchesFromText("1111001"), (ParameterSwitches{true, true, true, true, true}));
    EXPECT_EQ(SwitchesFromText("1111000"), (ParameterSwitches{true, true, true, true, false}));
    // Positions 5 and 6 are not used.
    EXPECT_EQ(SwitchesFromText("0000110"), ParameterSwitches{});
    EXPECT_EQ(SwitchesFromText("0101001"), (ParameterSwitches{false, true, false, true, true}));
    // Any character but "1" is off, and so is a position beyond the end.
    EXPECT_EQ(SwitchesFromText("x1 2T1"), (ParameterSwitches{false, true, false, false, false}));
    EXPECT_EQ(SwitchesFromText("111111"), (ParameterSwitches{true, true, true, true, false}));
    EXPECT_EQ(SwitchesFromText(""), ParameterSwitches{});
}

struct SwitchCase {
    const char* schalter;
    ParameterSwitches expected;
};

class ParameterTableSwitchTest : public ParameterTableTest,
                                 public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(ParameterTableSwitchTest, StartUpReadsTheSwitchesOfTheEncryptedTable) {
    ASSERT_TRUE(CreateParameterTable(program.path(), GetParam().schalter));
    ParameterTable table;
    const std::optional<ParameterSwitches> switches = StartUp(table);
    ASSERT_TRUE(switches.has_value());
    EXPECT_EQ(*switches, GetParam().expected);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.quit_requests, 0);
    // The table stays open for its owner.
    EXPECT_TRUE(table.Active());
    EXPECT_GT(OpenDescriptorsOf(LicFile()), 0);
}

INSTANTIATE_TEST_SUITE_P(Schalter, ParameterTableSwitchTest,
                         ::testing::Values(SwitchCase{"1111001", {true, true, true, true, true}},
                                           SwitchCase{"1111000", {true, true, true, true, false}},
                                           SwitchCase{"", {}},
                                           SwitchCase{"0010001", {false, false, true, false, true}},
                                           SwitchCase{"111111", {true, true, true, true, false}}));

TEST_F(ParameterTableTest, TheTableOnDiskIsEncryptedAndReadsMaskedWithoutPassword) {
    ASSERT_TRUE(CreateParameterTable(program.path(), "1111001"));
    const std::string bytes = ReadFile(LicFile());
    EXPECT_EQ(bytes.find("1111001"), std::string::npos);
    EXPECT_EQ(bytes.find("Sonnenschein"), std::string::npos);

    TApolloTable plain;
    plain.SetDatabaseName(program.path());
    plain.SetTableName("VUROZE.LIC");
    plain.Open();
    EXPECT_EQ(plain.RecordCount(), 1);
    EXPECT_EQ(plain.GetString("SCHALTER"), std::string(20, '*'));
    plain.Close();
}

TEST_F(ParameterTableTest, StartUpNeverWritesTheTableAndSharesIt) {
    ASSERT_TRUE(CreateParameterTable(program.path(), "1111001"));
    const std::string before = ReadFile(LicFile());
    {
        ParameterTable table;
        ASSERT_TRUE(StartUp(table).has_value());
        // Opened shared: the host (another table object) can open it meanwhile.
        TApolloTable host;
        host.SetDatabaseName(program.path());
        host.SetTableName("VUROZE.LIC");
        host.SetPassword(HostTablePassword());
        host.Open();
        EXPECT_EQ(host.GetString("SCHALTER").substr(0, 7), "1111001");
        host.Close();
        EXPECT_TRUE(table.Active());
    }
    EXPECT_EQ(ReadFile(LicFile()), before);
    // Released with its owner.
    EXPECT_EQ(OpenDescriptorsOf(LicFile()), 0);
}

TEST_F(ParameterTableTest, TheFileIsFoundWhateverTheCaseOfItsName) {
    ASSERT_TRUE(CreateParameterTable(program.path(), "0100000"));
    std::filesystem::rename(LicFile(), program / "vuroze.lic");
    ParameterTable table;
    const auto switches = StartUp(table);
    ASSERT_TRUE(switches.has_value());
    EXPECT_EQ(*switches, (ParameterSwitches{false, true, false, false, false}));
}

TEST_F(ParameterTableTest, MissingTableIsFatal) {
    ParameterTable table;
    ExpectFatal(StartUp(table), table);
    EXPECT_FALSE(PathExists(LicFile()));
}

TEST_F(ParameterTableTest, WrongPasswordIsFatal) {
    ASSERT_TRUE(CreateParameterTable(program.path(), "1111001", "richtig"));
    ParameterTable table;
    ExpectFatal(StartUp(table, "falsch"), table);
    // The table itself is unharmed: the right password still reads it.
    ui.messages.clear();
    ParameterTable again;
    const auto switches = StartUp(again, "richtig");
    ASSERT_TRUE(switches.has_value());
    EXPECT_TRUE(switches->vk_preis);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ParameterTableTest, TheBuildsPasswordIsTheOneTheDefaultsUse) {
    ASSERT_TRUE(CreateParameterTable(program.path(), "1000000"));
    ParameterTable table;
    EXPECT_THROW(table.Open(program.path(), HostTablePassword() + "x"), EApolloError);
    EXPECT_FALSE(table.Active());
    table.Open(program.path());
    EXPECT_TRUE(table.ReadSwitches().warengruppe);
}

TEST_F(ParameterTableTest, AFileThatIsNoTableIsFatal) {
    testing::WriteFile(LicFile(), "Dies ist keine Tabelle.\r\n");
    ParameterTable table;
    ExpectFatal(StartUp(table), table);
}

TEST_F(ParameterTableTest, ARecordCountBeyondTheFileIsFatalAndLeavesTheFile) {
    ASSERT_TRUE(CreateParameterTable(program.path(), "1111001"));
    std::string bytes = ReadFile(LicFile());
    bytes.replace(4, 4, std::string("\x10\x27\0\0", 4));  // 10,000 records
    testing::WriteFile(LicFile(), bytes);
    ParameterTable table;
    ExpectFatal(StartUp(table), table);
    EXPECT_EQ(ReadFile(LicFile()), bytes);
}

TEST_F(ParameterTableTest, TableWithoutSchalterLeavesTheSwitchesOffAndGoesOn) {
    TApolloTable maker;
    ASSERT_TRUE(maker.CreateNew(LicFile(), kTableTypeNtx, 2));
    maker.CreateField("FIRMA", "C", 40, 0);
    maker.CreateField("OPTIONEN", "C", 20, 0);
    engine().CreatePassword(HostTablePassword().c_str());
    ASSERT_TRUE(maker.CreateExec());
    maker.SetDatabaseName(program.path());
    maker.SetTableName("VUROZE.LIC");
    maker.SetPassword(HostTablePassword());
    maker.Open();
    maker.Append();
    maker.FieldByName("OPTIONEN").SetAsString("1111111");
    maker.Post();
    maker.Close();

    ParameterTable table;
    const auto switches = StartUp(table);
    ASSERT_TRUE(switches.has_value());
    EXPECT_EQ(*switches, ParameterSwitches{});
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
    EXPECT_NE(ui.messages[0].text.find("SCHALTER"), std::string::npos) << ui.messages[0].text;
    EXPECT_EQ(ui.quit_requests, 0);
    EXPECT_TRUE(table.Active());
    EXPECT_THROW(table.ReadSwitches(), EApolloError);
}

TEST_F(ParameterTableTest, ReadingAClosedTableIsAnError) {
    ParameterTable table;
    EXPECT_THROW(table.ReadSwitches(), EApolloError);
}

TEST_F(ParameterTableTest, CreationReplacesAnEarlierTable) {
    ASSERT_TRUE(CreateParameterTable(program.path(), "1111001"));
    ASSERT_TRUE(CreateParameterTable(program.path(), "0000000"));
    ParameterTable table;
    const auto switches = StartUp(table);
    ASSERT_TRUE(switches.has_value());
    EXPECT_EQ(*switches, ParameterSwitches{});
    EXPECT_EQ(table.Table().RecordCount(), 1);
}

TEST_F(ParameterTableTest, CreationInAMissingDirectoryFails) {
    EXPECT_FALSE(CreateParameterTable(program / "fehlt/", "1111001"));
}

}  // namespace
}  // namespace zer1
