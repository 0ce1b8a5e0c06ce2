#include "run/settings_file.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/error.h"
#include "run/remembered_inputs.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Runs `action` in a child process for which file permissions bind: as the
// user "nobody" when the tests run as the superuser, whom no permission stops.
// Returns the text of the Error it raised, "" when it returned normally.
std::string ErrorOfUnprivileged(const std::function<void()>& action) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child < 0) return "no child process";
    if (child == 0) {
        ::close(fds[0]);
        std::string report;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            report = "cannot give up the superuser's rights";
        } else {
            try {
                action();
            } catch (const Error& error) {
                report = error.what();
            }
        }
        const bool sent = ::write(fds[1], report.data(), report.size()) == ssize_t(report.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) report += " (child process failed)";
    return report;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    std::string IniPath() const { return dir_ / "zer1.ini"; }
    TempDir dir_;
    SettingsFile settings_{dir_ / "zer1.ini"};
};

// The thirteen remembered settings of the [Settings] section with their kinds.
struct ExpectedSetting {
    std::string key;
    SettingKind kind;
};
const std::vector<ExpectedSetting> kExpectedSettings = {
    {"Quellpfad", SettingKind::kText},         {"Quelldatei", SettingKind::kText},
    {"Zielpfad", SettingKind::kText},          {"QuellpfadFotoco", SettingKind::kText},
    {"QuelldateiFotoco", SettingKind::kText},  {"ZielpfadFotoco", SettingKind::kText},
    {"QuellPfadFowis", SettingKind::kText},    {"FaktorFowis", SettingKind::kInteger},
    {"Pool", SettingKind::kBoolean},           {"Update", SettingKind::kBoolean},
    {"Standard", SettingKind::kBoolean},       {"Lagerupdate", SettingKind::kBoolean},
    {"LagerNeu", SettingKind::kBoolean},
};

TEST_F(SettingsFileTest, MissingFileReadsAsDefaultsAndIsNotCreatedByReading) {
    ASSERT_EQ(std::size(kSettingDescriptions), kExpectedSettings.size());
    for (std::size_t i = 0; i < kExpectedSettings.size(); ++i) {
        const ExpectedSetting& setting = kExpectedSettings[i];
        EXPECT_EQ(kSettingDescriptions[i].key, setting.key);
        EXPECT_EQ(kSettingDescriptions[i].kind, setting.kind) << setting.key;
        switch (setting.kind) {
            case SettingKind::kText:
                EXPECT_EQ(settings_.ReadString("Settings", setting.key, ""), "");
                break;
            case SettingKind::kInteger:
                EXPECT_EQ(settings_.ReadInteger("Settings", setting.key, 0), 0);
                break;
            case SettingKind::kBoolean:
                EXPECT_FALSE(settings_.ReadBool("Settings", setting.key, false));
                EXPECT_TRUE(settings_.ReadBool("Settings", setting.key, true));
                break;
        }
    }
    EXPECT_FALSE(PathExists(IniPath()));
}

TEST_F(SettingsFileTest, FirstWriteCreatesTheFileAndEveryWriteIsOnDiskAtOnce) {
    settings_.WriteBool("Settings", "Pool", true);
    EXPECT_EQ(ReadFile(IniPath()), "[Settings]\nPool=1\n");
    settings_.WriteInteger("Settings", "FaktorFowis", 12500);
    settings_.WriteString("Settings", "Quellpfad", "/daten/dgh/");
    settings_.WriteBool("Settings", "Pool", false);
    EXPECT_EQ(ReadFile(IniPath()),
              "[Settings]\nPool=0\nFaktorFowis=12500\nQuellpfad=/daten/dgh/\n");

    // A second object on the same file sees every value at once (no caching).
    SettingsFile other(IniPath());
    EXPECT_EQ(other.ReadInteger("Settings", "FaktorFowis", 0), 12500);
    EXPECT_EQ(other.ReadString("Settings", "Quellpfad", "x"), "/daten/dgh/");
    EXPECT_FALSE(other.ReadBool("Settings", "Pool", true));
    // Nothing is left behind beside the file.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(SettingsFileTest, NamesMatchWithoutRegardToCaseAndOtherContentIsKept) {
    const std::string original =
        "; written by hand\r\n"
        "[Other]\r\n"
        "Pool=7\r\n"
        "\r\n"
        "[SETTINGS]\r\n"
        "  quellpfad = \"/alt/\"  \r\n"
        "FAKTORFOWIS=20000\r\n"
        "unknown line\r\n"
        "\r\n"
        "[Tail]\r\n"
        "x=y\r\n";
    WriteFile(IniPath(), original);
    EXPECT_EQ(settings_.ReadString("settings", "QUELLPFAD", ""), "/alt/");
    EXPECT_EQ(settings_.ReadInteger("Settings", "FaktorFowis", 0), 20000);
    EXPECT_FALSE(
        settings_.ReadBool("Settings", "Pool", false));  // other section
    EXPECT_EQ(settings_.ReadString("other", "pool", ""), "7");

    settings_.WriteString("Settings", "Quellpfad", "/neu/");
    settings_.WriteBool("Settings", "LagerNeu", true);
    EXPECT_EQ(ReadFile(IniPath()),
              "; written by hand\r\n"
              "[Other]\r\n"
              "Pool=7\r\n"
              "\r\n"
              "[SETTINGS]\r\n"
              "Quellpfad=/neu/\r\n"
              "FAKTORFOWIS=20000\r\n"
              "unknown line\r\n"
              "LagerNeu=1\r\n"
              "\r\n"
              "[Tail]\r\n"
              "x=y\r\n");
}

TEST_F(SettingsFileTest, NewSectionIsAppendedAfterExistingContent) {
    WriteFile(IniPath(), "[Other]\nkey=value");
    settings_.WriteString("Settings", "Zielpfad", "/ziel/");
    EXPECT_EQ(ReadFile(IniPath()), "[Other]\nkey=value\n\n[Settings]\nZielpfad=/ziel/\n");
    EXPECT_EQ(settings_.ReadString("OTHER", "KEY", ""), "value");
}

TEST_F(SettingsFileTest, IntegersAndBooleansThatDoNotReadGiveTheDefault) {
    WriteFile(IniPath(),
              "[Settings]\nFaktorFowis=12,5\nPool=ja\nUpdate=2\nStandard=-1\nLagerupdate=\n"
              "LagerNeu= 0 \nZielpfad=99999999999\n");
    EXPECT_EQ(settings_.ReadInteger("Settings", "FaktorFowis", 17), 17);
    EXPECT_TRUE(settings_.ReadBool("Settings", "Pool", true));
    EXPECT_FALSE(settings_.ReadBool("Settings", "Pool", false));
    EXPECT_TRUE(settings_.ReadBool("Settings", "Update", false));
    EXPECT_TRUE(settings_.ReadBool("Settings", "Standard", false));
    EXPECT_TRUE(settings_.ReadBool("Settings", "Lagerupdate", true));
    EXPECT_FALSE(settings_.ReadBool("Settings", "LagerNeu", true));
    EXPECT_EQ(settings_.ReadInteger("Settings", "Zielpfad", 3), 3);       // out of range
    EXPECT_EQ(settings_.ReadString("Settings", "Lagerupdate", "d"), "");  // present, empty
}

TEST_F(SettingsFileTest, FileFoundWhateverItsCaseAndValuesKeepUtf8) {
    WriteFile(dir_ / "ZER1.INI", "[Settings]\nQuelldatei=Gro\xC3\x9F.zip\n");
    EXPECT_EQ(settings_.ReadString("Settings", "Quelldatei", ""), "Gro\xC3\x9F.zip");
    settings_.WriteString("Settings", "Quelldatei", "\xC3\x84nderung.zip");
    EXPECT_FALSE(PathExists(IniPath()));
    EXPECT_EQ(ReadFile(dir_ / "ZER1.INI"), "[Settings]\nQuelldatei=\xC3\x84nderung.zip\n");
}

TEST_F(SettingsFileTest, LineBreaksInAValueCannotAddKeys) {
    settings_.WriteString("Settings", "Zielpfad", "/a\nPool=1\r\n");
    EXPECT_FALSE(settings_.ReadBool("Settings", "Pool", false));
    EXPECT_EQ(settings_.ReadString("Settings", "Zielpfad", ""), "/a Pool=1");
}

// Where the directory takes no new file but zer1.ini itself may be written,
// the file is rewritten in place: shorter and longer texts, same file, nothing
// beside it.  Where the file may not be written either, the write raises the
// German message and the old text stays.
TEST_F(SettingsFileTest, DirectoryWithoutNewFilesGetsTheFileRewrittenInPlace) {
    WriteFile(IniPath(), "; von Hand\n[Settings]\nPool=1\nZielpfad=/ein/langer/pfad/\n");
    ::chmod(IniPath().c_str(), 0666);
    struct stat before;
    ASSERT_EQ(::stat(IniPath().c_str(), &before), 0);
    ::chmod(dir_.path().c_str(), ::geteuid() == 0 ? 0755 : 0555);
    EXPECT_EQ(ErrorOfUnprivileged([&] {
                  settings_.WriteBool("Settings", "Pool", false);
                  settings_.WriteString("Settings", "Zielpfad", "/kurz/");
                  settings_.WriteString("Settings", "Quellpfad", "/daten/dgh/archive/");
              }),
              "");
    EXPECT_EQ(ReadFile(IniPath()),
              "; von Hand\n[Settings]\nPool=0\nZielpfad=/kurz/\nQuellpfad=/daten/dgh/archive/\n");
    struct stat after;
    ASSERT_EQ(::stat(IniPath().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                            std::filesystem::directory_iterator()),
              1);

    ::chmod(IniPath().c_str(), 0444);
    const std::string kept = ReadFile(IniPath());
    EXPECT_EQ(ErrorOfUnprivileged([&] { settings_.WriteBool("Settings", "Pool", true); }),
              "Die Einstellungen konnten nicht in \"" + IniPath() + "\" gespeichert werden.");
    EXPECT_EQ(ReadFile(IniPath()), kept);

    ::chmod(IniPath().c_str(), 0000);  // unreadable: defaults, and no write over it
    EXPECT_EQ(ErrorOfUnprivileged([&] {
                  if (!settings_.ReadBool("Settings", "Pool", true)) throw Error("read");
                  settings_.WriteBool("Settings", "Update", true);
              }),
              "Die Einstellungen konnten nicht in \"" + IniPath() + "\" gespeichert werden.");
    ::chmod(IniPath().c_str(), 0600);
    EXPECT_EQ(ReadFile(IniPath()), kept);
}

TEST_F(SettingsFileTest, FileThatCannotBeReadIsNeitherReadNorReplaced) {
    std::filesystem::create_directory(IniPath());  // a directory in the file's place
    WriteFile(IniPath() + "/keep", "x");
    EXPECT_EQ(settings_.ReadString("Settings", "Zielpfad", "d"), "d");
    EXPECT_THROW(settings_.WriteString("Settings", "Zielpfad", "x"), Error);
    EXPECT_EQ(ReadFile(IniPath() + "/keep"), "x");
}

TEST_F(SettingsFileTest, MissingDirectoryRaisesOnWrite) {
    SettingsFile nowhere(dir_ / "fehlt/zer1.ini");
    EXPECT_EQ(nowhere.ReadString("Settings", "Zielpfad", "d"), "d");
    EXPECT_THROW(nowhere.WriteString("Settings", "Zielpfad", "x"), Error);
}

TEST_F(SettingsFileTest, WritingKeepsThePermissionsOfTheFile) {
    WriteFile(IniPath(), "[Settings]\n");
    ::chmod(IniPath().c_str(), 0640);
    settings_.WriteBool("Settings", "Pool", true);
    struct stat st;
    ASSERT_EQ(::stat(IniPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// The remembered inputs land under the dialog's keys, an archive split into
// its directory and its file name, and come back as they were saved.
TEST_F(SettingsFileTest, RememberedInputsGoUnderTheirKeysAndComeBack) {
    SaveArchiveInputs(settings_, kDghInputKeys, "/daten/dgh/GH_0815.ZIP", "/ausgabe/dgh/");
    SaveArchiveInputs(settings_, kFotocoInputKeys, "/daten/fotoco/fc.zip", "/ausgabe/fc/");
    SaveFowisInputs(settings_, "/transfer/TRFOWIS.SDF", 1.25L);
    SaveOptions(settings_, {.pool = true, .update = false, .standard = true,
                            .lagerupdate = false, .lager_neu = true});

    const SettingsFile other(IniPath());
    EXPECT_EQ(other.ReadString("Settings", "Quellpfad", ""), "/daten/dgh/");
    EXPECT_EQ(other.ReadString("Settings", "Quelldatei", ""), "GH_0815.ZIP");
    EXPECT_EQ(other.ReadString("Settings", "Zielpfad", ""), "/ausgabe/dgh/");
    EXPECT_EQ(other.ReadString("Settings", "QuellpfadFotoco", ""), "/daten/fotoco/");
    EXPECT_EQ(other.ReadString("Settings", "QuelldateiFotoco", ""), "fc.zip");
    EXPECT_EQ(other.ReadString("Settings", "ZielpfadFotoco", ""), "/ausgabe/fc/");
    EXPECT_EQ(other.ReadString("Settings", "QuellPfadFowis", ""), "/transfer/TRFOWIS.SDF");
    EXPECT_EQ(other.ReadInteger("Settings", "FaktorFowis", 0), 12500);
    EXPECT_TRUE(other.ReadBool("Settings", "Pool", false));
    EXPECT_FALSE(other.ReadBool("Settings", "Update", true));
    EXPECT_TRUE(other.ReadBool("Settings", "Standard", false));
    EXPECT_FALSE(other.ReadBool("Settings", "Lagerupdate", true));
    EXPECT_TRUE(other.ReadBool("Settings", "LagerNeu", false));

    const RememberedArchiveInputs dgh = LoadArchiveInputs(other, kDghInputKeys);
    EXPECT_EQ(dgh.Archive(), "/daten/dgh/GH_0815.ZIP");
    EXPECT_EQ(dgh.output, "/ausgabe/dgh/");
    EXPECT_EQ(LoadArchiveInputs(other, kFotocoInputKeys).Archive(), "/daten/fotoco/fc.zip");
    const RememberedFowisInputs fowis = LoadFowisInputs(other);
    EXPECT_EQ(fowis.source, "/transfer/TRFOWIS.SDF");
    EXPECT_EQ(fowis.factor, 1.25L);
    const RememberedOptions options = LoadOptions(other);
    EXPECT_TRUE(options.pool && options.standard && options.lager_neu);
    EXPECT_FALSE(options.update || options.lagerupdate);
}

}  // namespace
}  // namespace zer1
