// The Fowis run as the user meets it: inputs checked, settings remembered, the
// price list converted into FOWISPR.DBF, the index removed and the list moved
// into its backups.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fowis/price_list_conversion.h"
#include "fowis_run_fixture.h"
#include "run/remembered_inputs.h"
#include "run/settings_file.h"

namespace zer1 {
namespace {

const std::string kOneLine = Lines({SourceLine(
    {{"FIRMA", "A123"}, {"ARTNR1", "4711"}, {"ARTIKEL", "Schraube"}, {"LEK", "10,00"}})});

TEST_F(FowisRunTest, InputChecksStopBeforeAnythingIsWritten) {
    // Source text of blanks only.
    host_->texts[DialogControl::kSleQuelleFowis] = "   ";
    Run();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{
                                  "Der Bereich \"Quelldatei\" enthält keine gültige Eingabe!"});
    EXPECT_EQ(ui_.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(host_->focus_moves, std::vector<DialogControl>{DialogControl::kSleQuelleFowis});

    // A source file that does not exist, named as entered.
    const std::string missing = SourceDirectory() + "fehlt.sdf ";
    host_->texts[DialogControl::kSleQuelleFowis] = missing;
    Run();
    EXPECT_EQ(MessageTexts().back(), "Die Datei \"" + missing + "\" existiert nicht!");
    EXPECT_EQ(host_->focus_moves.size(), 2u);

    // A target directory that does not exist: the focus stays.
    WriteSource(kOneLine);
    host_->texts[DialogControl::kSleQuelleFowis] = SourceDirectory() + "TRFOWIS.SDF";
    host_->texts[DialogControl::kSleZielFowis] = DataDirectory() + "nix/";
    Run();
    EXPECT_EQ(MessageTexts().back(), "Der Bereich \"Zielpfad\" enthält keine gültige Eingabe!");
    EXPECT_EQ(host_->focus_moves.size(), 2u);

    // A factor beyond the range of a 32-bit float: refused, the focus on it.
    host_->texts[DialogControl::kSleZielFowis] = DataDirectory();
    for (long double factor : {3.5e38L, 1e4000L}) {
        host_->factor = factor;
        Run();
        EXPECT_EQ(MessageTexts().back(), "Ungültige Eingabe");
        EXPECT_EQ(host_->focus_moves.back(), DialogControl::kSleFaktorFowis);
    }
    EXPECT_EQ(host_->focus_moves.size(), 4u);

    EXPECT_EQ(uncaught_, "");
    EXPECT_FALSE(temp_.Has("prog/zer1.ini"));
    EXPECT_TRUE(host_->enable_requests.empty());
    EXPECT_TRUE(host_->progress_windows.empty());
    EXPECT_FALSE(temp_.Has("data/fowispr.dbf"));
}

TEST_F(FowisRunTest, FactorZeroTakesPricesUnscaledAndCreatesTheTables) {
    WriteSource(kOneLine);
    Run();
    EXPECT_EQ(uncaught_, "");
    EXPECT_TRUE(ui_.messages.empty());
    ExpectButtonsRestored();

    const auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].at("LEK"), "10.00");
    EXPECT_EQ(records[0].size(), 51u);

    SettingsFile settings(ProgramDirectory() + "zer1.ini");
    EXPECT_EQ(settings.ReadInteger("Settings", "FaktorFowis", -1), 0);
    EXPECT_EQ(settings.ReadString("Settings", "QuellPfadFowis", ""),
              SourceDirectory() + "TRFOWIS.SDF");
    EXPECT_TRUE(temp_.Has("prog/fo_1.dbf"));
    EXPECT_TRUE(temp_.Has("prog/FNR.DBF"));

    ASSERT_EQ(host_->progress_windows.size(), 1u);
    const ProgressLog& progress = *host_->progress_windows[0];
    EXPECT_EQ(progress.caption, "Info");
    EXPECT_TRUE(progress.shown);
    EXPECT_TRUE(progress.released);
    EXPECT_EQ(progress.infos,
              (std::vector<std::string>{"Daten aus TRFOWIS.SDF werden eingelesen...",
                                        "Daten werden nach FOWISPR.DBF geschrieben..."}));
    EXPECT_EQ(progress.maximums, std::vector<int>{1});
    EXPECT_EQ(progress.positions, std::vector<int>{1});
    // The table that took the price table's place reads the same elsewhere.
    EXPECT_EQ(ReadPriceTableWithPythonDbf(), "1\n4711 10.0 F1234711\n");
    // Nothing is left of the table the records were built in.
    EXPECT_FALSE(temp_.Has("data/fowispr_neu.dbf"));
}

TEST_F(FowisRunTest, FactorScalesEveryPriceColumnAndIsRemembered) {
    std::map<std::string, std::string> values{{"FIRMA", "A123"}, {"ARTNR1", "4711"},
                                              {"LEK", "10,00"},  {"UEVK", "12.40"},
                                              {"RP1", "2,-"},    {"RP2", "2,4-"}};
    for (int i = 1; i <= 10; ++i) values["T" + std::to_string(i)] = std::to_string(i) + ",00";
    for (int i = 1; i <= 5; ++i) values["P" + std::to_string(i)] = std::to_string(10 * i) + ",00";
    WriteSource(Lines({SourceLine(values)}));
    host_->factor = 1.25L;
    Run();
    EXPECT_EQ(uncaught_, "");
    const auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 1u);
    const PriceRecord& r = records[0];
    EXPECT_EQ(r.at("LEK"), "12.50");
    EXPECT_EQ(r.at("UEVP"), "15.50");
    EXPECT_EQ(r.at("RP1"), "2.50");
    EXPECT_EQ(r.at("RP2"), "3.00");
    EXPECT_EQ(r.at("T1"), "1.25");
    EXPECT_EQ(r.at("T10"), "12.50");
    EXPECT_EQ(r.at("P1"), "12.50");
    EXPECT_EQ(r.at("P5"), "62.50");
    for (int i = 6; i <= 10; ++i) EXPECT_EQ(r.at("P" + std::to_string(i)), "") << i;

    SettingsFile settings(ProgramDirectory() + "zer1.ini");
    EXPECT_EQ(settings.ReadInteger("Settings", "FaktorFowis", -1), 12500);
}

TEST(FowisFactorSetting, RoundsToNearestWithHalvesToEven) {
    EXPECT_EQ(FactorSettingValue(0), 0);
    EXPECT_EQ(FactorSettingValue(1.25L), 12500);
    EXPECT_EQ(FactorSettingValue(1.2345L), 12345);
    EXPECT_EQ(FactorSettingValue(0.00004L), 0);
    EXPECT_EQ(FactorSettingValue(0.00006L), 1);
    EXPECT_EQ(FactorSettingValue(0.00005L), 0);
    EXPECT_EQ(FactorSettingValue(0.00015L), 2);
    // Exact halves (multiples of 2^-k times 10000 are exact here).
    const long double two_and_a_half = 2.5L / 10000.0L;
    ASSERT_EQ(two_and_a_half * 10000.0L, 2.5L);
    EXPECT_EQ(FactorSettingValue(two_and_a_half), 2);
    const long double three_and_a_half = 3.5L / 10000.0L;
    ASSERT_EQ(three_and_a_half * 10000.0L, 3.5L);
    EXPECT_EQ(FactorSettingValue(three_and_a_half), 4);
    EXPECT_EQ(FactorSettingValue(1e12L), 2147483647);
}

TEST_F(FowisRunTest, RecordsAreMappedFieldByField) {
    std::map<std::string, std::string> full{{"FIRMA", "B77"},
                                            {"KAPITEL", "K1"},
                                            {"ARTNR1", "X-1"},
                                            {"RF_NR", "12345"},
                                            {"NIX", "nichts"},
                                            {"ARTIKEL", "  schraube m8"},
                                            {"EAN", "4001234567890"},
                                            {"RF2", "abc"},
                                            {"V1", "v1"},
                                            {"V5", "v5"}};
    for (int i = 1; i <= 10; ++i) full["G" + std::to_string(i)] = "g" + std::to_string(i);
    for (int i = 11; i <= 21; ++i) {
        full["G" + std::to_string(i)] = "ZZZ";
        full["T" + std::to_string(i)] = "kaputt";  // never converted: would stop the run
    }
    const std::string built = SourceLine({{"FIRMA", "A123"}, {"ARTNR1", "4711"}});
    const std::string cut = SourceLine({{"FIRMA", "A123"}, {"ARTNR1", "0123456789"}});
    const std::string short_firma = SourceLine({{"FIRMA", "Q"}, {"ARTNR1", "55"}});
    WriteSource(Lines({SourceLine(full), built, cut, short_firma}));
    Run();
    EXPECT_EQ(uncaught_, "");
    const auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 4u);

    const PriceRecord& r = records[0];
    EXPECT_EQ(r.at("ARTNR1"), "X-1");
    EXPECT_EQ(r.at("EAN"), "4001234567890");
    EXPECT_EQ(r.at("ARTIKEL"), "SCHRAUBE M8");
    EXPECT_EQ(r.at("RF_NR"), "12345");
    EXPECT_EQ(r.at("RF1"), "");
    EXPECT_EQ(r.at("RF2"), "abc");
    EXPECT_EQ(r.at("FIRMA"), "B77");
    EXPECT_EQ(r.at("G1"), "g1");
    EXPECT_EQ(r.at("G10"), "g10");
    EXPECT_EQ(r.at("V1"), "v1");
    EXPECT_EQ(r.at("V5"), "v5");
    EXPECT_EQ(r.at("V6"), "");
    EXPECT_EQ(r.at("LEK"), "0.00");
    // Nothing of G11..G21 / T11..T21 reaches the price record.
    for (const auto& [name, value] : r) {
        EXPECT_EQ(value.find("ZZZ"), std::string::npos) << name;
    }

    EXPECT_EQ(records[1].at("EAN"), "F1234711");
    EXPECT_EQ(records[2].at("EAN"), "F123012345678");  // ARTNR1 cut after 9 characters
    EXPECT_EQ(records[3].at("EAN"), "F55");
}

TEST_F(FowisRunTest, SecondRunReplacesTheFirstRunsRecords) {
    WriteSource(Lines({SourceLine({{"ARTNR1", "1"}}), SourceLine({{"ARTNR1", "2"}}),
                       SourceLine({{"ARTNR1", "3"}})}));
    Run();
    // The host's installation gave the table its owner, group and mode; the
    // replaced table keeps them (as far as this process may hand them on).
    const uid_t owner = ::geteuid() == 0 ? 4321 : ::geteuid();
    const gid_t group = ::geteuid() == 0 ? 8765 : ::getegid();
    ASSERT_EQ(::chown(PriceFile().c_str(), owner, group), 0);
    ASSERT_EQ(::chmod(PriceFile().c_str(), 0640), 0);
    WriteSource(Lines({SourceLine({{"ARTNR1", "7"}}), SourceLine({{"ARTNR1", "8"}})}));
    Run();
    EXPECT_EQ(uncaught_, "");
    EXPECT_TRUE(ui_.messages.empty());
    struct stat replaced;
    ASSERT_EQ(::stat(PriceFile().c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_uid, owner);
    EXPECT_EQ(replaced.st_gid, group);
    EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    const auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].at("ARTNR1"), "7");
    EXPECT_EQ(records[1].at("ARTNR1"), "8");
    ASSERT_EQ(host_->progress_windows.size(), 2u);
    EXPECT_EQ(host_->progress_windows[1]->positions, (std::vector<int>{1, 2}));
}

TEST_F(FowisRunTest, IndexFileIsDeletedUnlessItIsInUse) {
    WriteSource(kOneLine);
    temp_.Write("data/FOWISPR.NTX", "index");
    Run();
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_FALSE(temp_.Has("data/FOWISPR.NTX"));

    // Another program holds the index open: the warning, and the run goes on.
    temp_.Write("data/fowispr.ntx", "index");
    const int holder = ::open((DataDirectory() + "fowispr.ntx").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_SH | LOCK_NB), 0);
    WriteSource(Lines({SourceLine({{"ARTNR1", "a"}}), SourceLine({{"ARTNR1", "b"}})}));
    Run();
    ::close(holder);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].kind, MessageKind::kInformation);
    EXPECT_EQ(ui_.messages[0].text,
              "ACHTUNG - " + DataDirectory() + "FOWISPR.NTX konnte nicht gelöscht werden!");
    EXPECT_TRUE(temp_.Has("data/fowispr.ntx"));
    EXPECT_EQ(ReadPriceTable().size(), 2u);

    // The host (this process) holds a record lock on the index through a
    // descriptor of its own: the index stays, and so does the lock.
    const std::string index = DataDirectory() + "fowispr.ntx";
    const int host_fd = ::open(index.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 1000000000;
    lock.l_len = 1;
    ASSERT_EQ(::fcntl(host_fd, F_SETLK, &lock), 0);
    Run();
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[1].text, ui_.messages[0].text);
    EXPECT_TRUE(temp_.Has("data/fowispr.ntx"));
    const pid_t child = ::fork();
    if (child == 0) {
        struct flock probe = lock;
        ::fcntl(::open(index.c_str(), O_RDONLY), F_GETLK, &probe);
        ::_exit(probe.l_type == F_WRLCK ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the host's lock was dropped";
    ::close(host_fd);
}

TEST_F(FowisRunTest, BackupRotationOnlyWithATransferDirectory) {
    WriteSource(kOneLine);
    Run();
    EXPECT_TRUE(temp_.Has("src/TRFOWIS.SDF"));
    EXPECT_FALSE(temp_.Has("src/TRFOW001.SDF"));

    MakeHost(SourceDirectory());
    Run();
    EXPECT_EQ(uncaught_, "");
    EXPECT_FALSE(temp_.Has("src/TRFOWIS.SDF"));
    EXPECT_EQ(temp_.Read("src/TRFOW001.SDF"), kOneLine);
}

TEST_F(FowisRunTest, ChosenFileUnderAnotherNameLeavesItAndRotatesTrfowis) {
    const std::string other = Lines({SourceLine({{"ARTNR1", "anders"}})});
    WriteSource(other, "liste.sdf");
    WriteSource(kOneLine);
    MakeHost("/transfer/");
    host_->texts[DialogControl::kSleQuelleFowis] = SourceDirectory() + "liste.sdf";
    Run();
    EXPECT_EQ(uncaught_, "");
    const auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].at("ARTNR1"), "anders");
    EXPECT_TRUE(temp_.Has("src/liste.sdf"));
    EXPECT_FALSE(temp_.Has("src/TRFOWIS.SDF"));
    EXPECT_EQ(temp_.Read("src/TRFOW001.SDF"), kOneLine);
}

// The engine's SDF append as the run relies on it: columns by position, a
// short line filled with blanks, a long line cut after 402 characters, a last
// line without line end; an empty file is refused before the append.
TEST_F(FowisRunTest, SdfAppendTakesLinesByColumn) {
    const std::string full = SourceLine({{"ARTNR1", "4711"}, {"P5", "9,99"}});
    const std::string short_line =
        SourceLine({{"ARTNR1", "kurz"}, {"ARTIKEL", "halb"}}).substr(0, 33);
    const std::string long_line = SourceLine({{"ARTNR1", "lang"}, {"P5", "1,00"}}) + "123,45 Rest";
    const std::string last = SourceLine({{"ARTNR1", "letzte"}});
    WriteSource(full + "\r\n" + short_line + "\n" + long_line + "\r\n" + last);
    Run();
    EXPECT_EQ(uncaught_, "");
    auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].at("ARTNR1"), "4711");
    EXPECT_EQ(records[0].at("P5"), "9.99");
    EXPECT_EQ(records[1].at("ARTNR1"), "kurz");
    EXPECT_EQ(records[1].at("ARTIKEL"), "HA");  // the line ends after column 33
    EXPECT_EQ(records[1].at("P5"), "0.00");
    EXPECT_EQ(records[2].at("ARTNR1"), "lang");
    EXPECT_EQ(records[2].at("P5"), "1.00");
    EXPECT_EQ(records[3].at("ARTNR1"), "letzte");

    // An empty file holds no record: refused, the price table stays.
    WriteSource("");
    Run();
    EXPECT_EQ(uncaught_, "");
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Die Datei \"" + SourceDirectory() +
                                                       "TRFOWIS.SDF\" enthält keine Datensätze!"});
    EXPECT_EQ(ReadPriceTable().size(), 4u);
}

}  // namespace
}  // namespace zer1
