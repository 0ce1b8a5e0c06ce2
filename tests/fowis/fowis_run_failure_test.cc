// A Fowis run that fails: the message as the user sees it, the buttons and
// tables released, and the price table left exactly as it was.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/file_names.h"
#include "fowis/price_text.h"
#include "fowis_run_fixture.h"

namespace zer1 {
namespace {

class FowisRunFailureTest : public FowisRunTest {
  protected:
    // A first, successful run leaves a price table of two records.
    void SetUp() override {
        FowisRunTest::SetUp();
        WriteSource(Lines({SourceLine({{"ARTNR1", "alt1"}, {"LEK", "1,00"}}),
                           SourceLine({{"ARTNR1", "alt2"}, {"LEK", "2,00"}})}));
        Run();
        ASSERT_EQ(uncaught_, "");
        ASSERT_TRUE(ui_.messages.empty());
        before_ = temp_.Read("data/fowispr.dbf");
        ASSERT_FALSE(before_.empty());
        host_->enable_requests.clear();
    }

    // The run ended with its tables closed and nothing left behind.
    void ExpectUnchangedAndReleased() {
        EXPECT_EQ(temp_.Read("data/fowispr.dbf"), before_);
        EXPECT_FALSE(temp_.Has("data/fowispr_neu.dbf"));
        ExpectButtonsRestored();
        for (const auto& progress : host_->progress_windows) EXPECT_TRUE(progress->released);
        // Closed: both tables open exclusively again.
        for (const std::string& file : {PriceFile(), ProgramDirectory() + "fo_1.dbf"}) {
            TApolloTable table;
            table.SetDatabaseName(DirectoryPart(file));
            table.SetTableName(FileNamePart(file));
            table.SetExclusive(true);
            EXPECT_NO_THROW(table.Open()) << file;
        }
    }

    // The run as a user without privileges: root may create files in any
    // directory, so as root the run goes to a forked child that becomes
    // "nobody".  Returns the texts of its message boxes and of an error that
    // escaped the run, one line each, then "Knöpfe frei" when the buttons were
    // enabled again at the end.
    std::string RunUnprivileged() {
        auto report = [&] {
            std::string lines;
            for (const auto& message : ui_.messages) lines += message.text + "\n";
            if (!uncaught_.empty()) lines += uncaught_ + "\n";
            const auto& requests = host_->enable_requests;
            if (requests.size() >= 2 &&
                requests.back() == std::make_pair(DialogControl::kPbClose, true)) {
                lines += "Knöpfe frei";
            }
            return lines;
        };
        if (::geteuid() != 0) {
            Run();
            return report();
        }
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) return "kein Benutzer nobody";
        int pipe_ends[2];
        if (::pipe(pipe_ends) != 0) return "keine Pipe";
        const pid_t child = ::fork();
        if (child < 0) return "kein Kindprozess";
        if (child == 0) {
            ::close(pipe_ends[0]);
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                ::setuid(nobody->pw_uid) != 0) {
                ::_exit(3);
            }
            Run();
            const std::string lines = report();
            const bool written =
                ::write(pipe_ends[1], lines.data(), lines.size()) == static_cast<ssize_t>(lines.size());
            ::_exit(written ? 0 : 4);
        }
        ::close(pipe_ends[1]);
        std::string lines;
        char buffer[512];
        for (ssize_t got; (got = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
            lines.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(pipe_ends[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "Kindprozess gescheitert";
        return lines;
    }

    std::string before_;
};

TEST_F(FowisRunFailureTest, PriceTextThatIsNoNumberStopsTheRun) {
    MakeHost(SourceDirectory());  // with a transfer directory: no backup after a failure
    WriteSource(Lines({SourceLine({{"ARTNR1", "neu1"}, {"LEK", "3,00"}}),
                       SourceLine({{"ARTNR1", "neu2"}, {"UEVK", "1.234,56"}}),
                       SourceLine({{"ARTNR1", "neu3"}})}));
    Run();
    EXPECT_EQ(uncaught_, "'1.234,56' ist kein gültiger Gleitkommawert");
    EXPECT_TRUE(ui_.messages.empty());  // shown by the dialog's default error display
    ExpectUnchangedAndReleased();
    const auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].at("ARTNR1"), "alt1");
    EXPECT_TRUE(temp_.Has("src/TRFOWIS.SDF"));
    EXPECT_FALSE(temp_.Has("src/TRFOW001.SDF"));

    // The next good run converts as usual.
    WriteSource(Lines({SourceLine({{"ARTNR1", "neu"}})}));
    Run();
    EXPECT_EQ(uncaught_, "");
    ASSERT_EQ(ReadPriceTable().size(), 1u);
}

TEST_F(FowisRunFailureTest, PriceBeyondTheFieldIsRefusedNotStored) {
    WriteSource(Lines({SourceLine({{"ARTNR1", "teuer"}, {"T3", "60000,00"}})}));
    host_->factor = 2;
    Run();
    EXPECT_EQ(uncaught_, "Der Wert 120000.00 passt nicht in das Feld T3 (N 8,2)!");
    ExpectUnchangedAndReleased();

    // 99999.99 itself still fits.
    WriteSource(Lines({SourceLine({{"ARTNR1", "grenze"}, {"T3", "99999,99"}})}));
    host_->factor = 0;
    Run();
    EXPECT_EQ(uncaught_, "");
    const auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].at("T3"), "99999.99");
}

TEST_F(FowisRunFailureTest, StagingTableInUseCannotBeOpened) {
    const int holder = ::open((ProgramDirectory() + "fo_1.dbf").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_SH | LOCK_NB), 0);
    Run();
    ::close(holder);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Fehler beim Öffnen von FO_1.DBF !"});
    EXPECT_EQ(ui_.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(host_->progress_windows.size(), 1u);  // only the first run's
    ExpectUnchangedAndReleased();
}

TEST_F(FowisRunFailureTest, PriceTableInUseCannotBeOpened) {
    const int holder = ::open(PriceFile().c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_SH | LOCK_NB), 0);
    Run();
    ::close(holder);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Fehler beim Öffnen von FOWISPR.DBF !"});
    ExpectUnchangedAndReleased();
}

TEST_F(FowisRunFailureTest, TargetDirectoryThatRefusesNewFilesChangesNothing) {
    // The price table itself stays writable; only new files are refused.
    namespace fs = std::filesystem;
    fs::permissions(temp_.path(), fs::perms(0755));
    fs::permissions(ProgramDirectory(), fs::perms::all);
    for (const auto& entry : fs::directory_iterator(ProgramDirectory())) {
        fs::permissions(entry.path(), fs::perms(0666));
    }
    fs::permissions(PriceFile(), fs::perms(0666));
    fs::permissions(DataDirectory(), fs::perms(0555));
    WriteSource(Lines({SourceLine({{"ARTNR1", "neu"}})}));

    const std::string lines = RunUnprivileged();
    fs::permissions(DataDirectory(), fs::perms(0755));
    EXPECT_EQ(lines, "Im Zielpfad " + DataDirectory() +
                         " können keine Dateien angelegt werden.\nKnöpfe frei");
    EXPECT_EQ(temp_.Read("data/fowispr.dbf"), before_);
    EXPECT_FALSE(temp_.Has("data/fowispr_neu.dbf"));
}

TEST_F(FowisRunFailureTest, ManufacturerTableThatCannotBeCreatedLeavesPricesAlone) {
    MakeHost("");  // a new dialog: the manufacturer table is no longer open
    std::filesystem::remove(ProgramDirectory() + "FNR.DBF");
    std::filesystem::create_directory(ProgramDirectory() + "FNR.DBF");  // blocks the name
    WriteSource(Lines({SourceLine({{"ARTNR1", "neu"}})}));
    Run();
    EXPECT_EQ(uncaught_, "");
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{ProgramDirectory() +
                                                       "FNR.DBF konnte nicht erstellt werden!"});
    EXPECT_TRUE(host_->progress_windows.empty());
    ExpectUnchangedAndReleased();
}

TEST_F(FowisRunFailureTest, ManufacturerTableStaysOpenBetweenRuns) {
    // Held shared by the dialog: an exclusive open from elsewhere fails.
    TApolloTable other;
    other.SetDatabaseName(ProgramDirectory());
    other.SetTableName("FNR.DBF");
    other.SetExclusive(true);
    EXPECT_THROW(other.Open(), EApolloError);
    MakeHost("");  // the dialog closes and releases it
    EXPECT_NO_THROW(other.Open());
}

// The run killed (SIGKILL) while it writes the new price table, then run
// again.  What the kill leaves: FOWISPR.DBF byte for byte as before (the new
// records go to fowispr_neu.dbf, which is renamed over it only at the end),
// fowispr_neu.dbf half written beside it, the staging table FO_1.DBF with
// the whole price list, and TRFOWIS.SDF not yet rotated.  The next run
// removes the half-written table, converts the list and rotates the source.
TEST_F(FowisRunFailureTest, KilledRunLeavesThePricesAndTheNextRunConverts) {
    MakeHost(SourceDirectory());
    std::vector<std::string> lines;
    for (int n = 0; n < 3000; ++n) {
        lines.push_back(SourceLine({{"ARTNR1", "neu" + std::to_string(n)}, {"LEK", "1,00"}}));
    }
    WriteSource(Lines(lines));
    auto written = [&] {
        std::ifstream in(DataDirectory() + "fowispr_neu.dbf", std::ios::binary);
        char head[8] = {};
        in.read(head, sizeof head);
        return in ? static_cast<unsigned char>(head[4]) + 256 * static_cast<unsigned char>(head[5]) : 0;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Run();
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0 && written() <= 200) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the kill";
    EXPECT_EQ(temp_.Read("data/fowispr.dbf"), before_);
    EXPECT_GT(written(), 200);
    EXPECT_TRUE(temp_.Has("src/TRFOWIS.SDF"));
    EXPECT_FALSE(temp_.Has("src/TRFOW001.SDF"));

    Run();
    EXPECT_EQ(uncaught_, "");
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_FALSE(temp_.Has("data/fowispr_neu.dbf"));
    const auto records = ReadPriceTable();
    ASSERT_EQ(records.size(), 3000u);
    EXPECT_EQ(records[2999].at("ARTNR1"), "neu2999");
    EXPECT_TRUE(temp_.Has("src/TRFOW001.SDF"));
}

}  // namespace
}  // namespace zer1
