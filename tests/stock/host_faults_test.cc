// Faults while the system writes the host's files, which the host keeps
// using: the disk filling up, read-only directories, files that vanish or
// are cut between two steps, tables held by another process, a second
// process appending to the pool, and the process killed in the middle of an
// update.  After each: the message, and every host table and index either as
// it was or consistent and complete.  One world: the stock world with the
// pool, a working table of many new articles and a DGH archive.
#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "host/host_tables.h"
#include "host/zip_writer.h"
#include "imports/dgh_run.h"
#include "recording_run_host.h"
#include "stock/pool_update.h"
#include "stock_world.h"
#include "tests/support/archive_world.h"
#include "tests/support/recording_ui_services.h"

namespace zer1 {
namespace {

namespace fs = std::filesystem;
using testing::FieldValues;
using testing::RawDbf;

constexpr int kArticles = 400;

std::string Ean(int n) {
    return std::to_string(4100000000000LL + n);
}

std::string Trimmed(std::string value) {
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
}

// How a forked child ended, and the messages it showed and the error that
// escaped it, one line each.
struct ChildEnd {
    bool killed = false;
    std::string lines;
};

// Runs `step` in a forked child, with writes limited to `file_size_limit`
// bytes per file (SIGXFSZ ignored, so a write beyond it fails with EFBIG),
// as user "nobody" when `unprivileged` (root may write anywhere).  When
// `kill_when` is given the child is killed with SIGKILL as soon as it says
// so (asked every millisecond).
ChildEnd InChild(RecordingUiServices& ui, const std::function<void()>& step,
                 rlim_t file_size_limit = RLIM_INFINITY, bool unprivileged = false,
                 const std::function<bool()>& kill_when = {}) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) throw std::runtime_error("pipe");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork");
    if (child == 0) {
        ::close(pipe_ends[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{file_size_limit, file_size_limit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (unprivileged && ::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (nobody == nullptr || ::setgroups(0, nullptr) != 0 ||
                ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
                ::_exit(3);
            }
        }
        ui.messages.clear();
        std::string lines;
        try {
            step();
        } catch (const std::exception& error) {
            lines += std::string("Ausnahme: ") + error.what() + "\n";
        }
        std::string shown;
        for (const auto& message : ui.messages) shown += message.text + "\n";
        lines = shown + lines;
        (void)!::write(pipe_ends[1], lines.data(), lines.size());
        ::_exit(0);
    }
    ::close(pipe_ends[1]);
    ChildEnd end;
    int status = 0;
    if (kill_when) {
        while (::waitpid(child, &status, WNOHANG) == 0) {
            if (kill_when()) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    char buffer[512];
    for (ssize_t got; (got = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
        end.lines.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipe_ends[0]);
    if (!kill_when) ::waitpid(child, &status, 0);
    end.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!end.killed && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
        end.lines += "Kindprozess gescheitert\n";
    }
    return end;
}

// The record count in a table file's header, read without any lock.
long HeaderCount(const std::string& path) {
    const std::string head = testing::ReadFile(path).substr(0, 8);
    long count = 0;
    for (int i = 7; i >= 4; --i) count = count * 256 + static_cast<unsigned char>(head[i]);
    return count;
}

class HostFaultsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        data = world.dataPath;
        testing::CreatePool(data);
        {
            TApolloTable pool;
            testing::OpenPoolAsHost(pool, data);
            testing::AddPoolRecord(pool, Ean(0), "VOM HOST", "XX");
        }
        world.AddStockItems({{{"ARTNUM", Ean(0)}, {"ARTBEZ", "IM LAGER"}}});
        for (int n = 1; n <= kArticles; ++n) {
            WorkingRecord article;
            article.set(1, Ean(n));
            article.set(2, "Artikel " + std::to_string(n));
            article.set(9, "WG" + std::to_string(n % 7));
            article.set(11, "DG");
            article.set(13, std::to_string(n));
            world.AddArticle(article);
        }
        Snapshot();
    }

    // Keeps the data directory's files, to start each try from them.
    void Snapshot() {
        saved.clear();
        for (const auto& entry : fs::directory_iterator(data)) {
            saved[entry.path().filename().string()] = testing::ReadFile(entry.path().string());
        }
    }
    void Restore() {
        world.proto.Close();  // the stock log, kept open by an earlier update
        for (const auto& entry : fs::directory_iterator(data)) fs::remove(entry.path());
        for (const auto& [name, bytes] : saved) testing::WriteFile(data + name, bytes);
    }

    void UpdatePoolNow() {
        TApolloTable pool;
        std::array<int, kPoolIndexCount> orders{};
        world.report.clear();
        UpdatePool(PoolTable{pool, orders}, data, world.working, world.progress, world.report);
    }

    // Every pool index agrees with the pool, and every record is whole: the
    // host's record or one of the articles, with its own description.
    void ExpectPoolWholeAndIndexed(const std::string& trace) {
        SCOPED_TRACE(trace);
        for (const auto& [file, expression] : jevhost::PoolIndexes()) {
            testing::ExpectIndexMatchesTable(data + "JEVDBF.DBF", data + file, expression);
        }
        const RawDbf pool = testing::ReadRawDbf(data + "JEVDBF.DBF");
        std::set<std::string> keys;
        EXPECT_EQ(pool.records.size(), 1u + kArticles);
        for (long r = 1; r <= static_cast<long>(pool.records.size()); ++r) {
            const std::string ean = Trimmed(pool.Value(r, "FELD1"));
            EXPECT_TRUE(keys.insert(ean).second) << "twice: " << ean;
            const long n = std::stol(ean) - 4100000000000LL;
            const std::string text = n == 0 ? "VOM HOST" : "Artikel " + std::to_string(n);
            EXPECT_EQ(Trimmed(pool.Value(r, "FELD2")), text) << "record " << r;
        }
    }

    // The stock master's items are each there once and whole, and its
    // catalogue indexes agree with it.
    void ExpectStockWholeAndIndexed(const std::string& trace) {
        SCOPED_TRACE(trace);
        world.ExpectCatalogueIndexesMatchStockMaster();
        const RawDbf stock = world.StockMaster();
        std::set<std::string> keys;
        for (long r = 1; r <= static_cast<long>(stock.records.size()); ++r) {
            const std::string ean = Trimmed(stock.Value(r, "ARTNUM"));
            EXPECT_TRUE(keys.insert(ean).second) << "twice: " << ean;
            const long n = std::stol(ean) - 4100000000000LL;
            EXPECT_EQ(Trimmed(stock.Value(r, "ARTBEZ")),
                      n == 0 ? "IM LAGER" : "Artikel " + std::to_string(n));
        }
    }

    testing::StockWorld world;
    std::string data;
    std::map<std::string, std::string> saved;
};

// The pool and the stock master written under file-size limits, each limit
// cutting the update off at another write: of the pool table, of one of its
// indexes, of the stock master, its index or its log.
TEST_F(HostFaultsTest, DiskFullDuringPoolAndStockUpdates) {
    const std::string refused =
        "Die letzte Aktualisierung des Pools wurde nicht beendet; der Index ";
    int pool_index_reported = 0;
    for (rlim_t limit = 4096; limit < 90 * 1024; limit += 8 * 1024) {
        const std::string trace = "limit " + std::to_string(limit);
        Restore();
        const ChildEnd full = InChild(world.ui, [&] { UpdatePoolNow(); }, limit);
        EXPECT_NE(full.lines.find("Ausnahme: "), std::string::npos) << trace << full.lines;
        // The record being written when the disk was full may be in the
        // table but missing from an index: the next update finds that out.
        world.ui.messages.clear();
        UpdatePoolNow();
        if (!world.ui.messages.empty()) {
            ASSERT_EQ(world.ui.messages.size(), 1u) << trace;
            EXPECT_EQ(world.ui.messages[0].text.substr(0, refused.size()), refused) << trace;
            ++pool_index_reported;
            continue;
        }
        ASSERT_EQ(world.report.size(), 1u) << trace;
        EXPECT_EQ(world.report[0].substr(0, 19), "Pool aktualisiert: ") << trace;
        ExpectPoolWholeAndIndexed(trace);
    }
    std::cout << "[ pool under 11 limits: " << pool_index_reported
              << " times the indexes were reported unfit ]\n";

    for (rlim_t limit = 8192; limit < 150 * 1024; limit += 28 * 1024) {
        const std::string trace = "stock limit " + std::to_string(limit);
        Restore();
        const ChildEnd full = InChild(
            world.ui, [&] { world.RunStockUpdate(StockMode::kNewItems, {}); }, limit);
        EXPECT_NE(full.lines.find("Ausnahme: "), std::string::npos) << trace << full.lines;
        world.report.clear();
        world.RunStockUpdate(StockMode::kNewItems, {});
        ASSERT_FALSE(world.report.empty()) << trace;
        EXPECT_EQ(world.report[0],
                  "Lagerupdate: Die letzte Aktualisierung wurde nicht beendet, MLAGER.NTX wurde "
                  "neu aufgebaut.\r")
            << trace;
        EXPECT_EQ(world.StockMaster().records.size(), 1u + kArticles) << trace;
        ExpectStockWholeAndIndexed(trace);
    }
}

// A DGH run whose member cannot be extracted whole (the disk full) or whose
// output directory, or the data directory, refuses writing.
TEST_F(HostFaultsTest, FullOrReadOnlyDirectoriesEndTheRunWithAMessage) {
    testing::TempDir archives;
    std::string lines;
    for (int n = 1; n <= 300; ++n) {
        lines += testing::DghLine(Ean(n), std::to_string(n), "Artikel " + std::to_string(n),
                                  "1.50", "2.99", "WG1");
    }
    fs::permissions(archives.path(), fs::perms(0755));
    jevhost::WriteZipArchive(archives / "dgh.zip",
                             {{"artikel.txt", testing::DghMemberText(lines)}});
    world.working.Close();
    RecordingRunHost host(data, world.programDirectory);
    host.texts[DialogControl::kSleQuelle] = archives / "dgh.zip";
    host.list_items[DialogControl::kLbFiles] = {"artikel.txt"};
    host.selected[DialogControl::kLbFiles] = 0;
    host.texts[DialogControl::kSleAusgabe] = world.outputDirectory;
    host.checked[DialogControl::kCbPool] = true;
    host.checked[DialogControl::kCbLagerNeu] = true;
    const std::string pool_before = testing::ReadFile(data + "JEVDBF.DBF");
    const std::string stock_before = testing::ReadFile(data + "MLAGER.DBF");

    // The member is 300 lines of about 150 UTF-16 characters.
    const ChildEnd full = InChild(world.ui, [&] { RunDghImport(host); }, 32 * 1024);
    // The extraction's error escapes the run, for the dialog's error display.
    EXPECT_EQ(full.lines, "Ausnahme: Cannot write file\n");
    EXPECT_EQ(testing::ReadFile(data + "JEVDBF.DBF"), pool_before);
    EXPECT_EQ(testing::ReadFile(data + "MLAGER.DBF"), stock_before);

    // The output directory read-only: the working table cannot be made.
    fs::permissions(world.root.path(), fs::perms(0755));
    fs::permissions(world.programDirectory, fs::perms(0777));
    for (const auto& entry : fs::directory_iterator(world.programDirectory)) {
        fs::permissions(entry.path(), fs::perms(0666));
    }
    fs::permissions(world.outputDirectory, fs::perms(0555));
    const ChildEnd output = InChild(world.ui, [&] { RunDghImport(host); }, RLIM_INFINITY, true);
    fs::permissions(world.outputDirectory, fs::perms(0777));
    EXPECT_EQ(output.lines, "Fehler beim Zugriff auf " + world.outputDirectory + "TMPDGH.DBF\n");
    EXPECT_EQ(testing::ReadFile(data + "JEVDBF.DBF"), pool_before);

    // The data directory and its files read-only: the pool and the stock
    // master cannot be opened for writing; both are named, neither changes.
    for (const auto& entry : fs::directory_iterator(world.outputDirectory)) {
        fs::permissions(entry.path(), fs::perms(0666));
    }
    for (const auto& entry : fs::directory_iterator(data)) {
        fs::permissions(entry.path(), fs::perms(0444));
    }
    fs::permissions(data, fs::perms(0555));
    const ChildEnd read_only = InChild(world.ui, [&] { RunDghImport(host); }, RLIM_INFINITY, true);
    fs::permissions(data, fs::perms(0777));
    EXPECT_EQ(read_only.lines, "Fehler beim Zugriff auf " + data + "JEVDBF.DBF\nartikel.txt nach " +
                                   world.outputDirectory +
                                   " entpacken\rLagerupdate: Fehler beim Zugriff auf die "
                                   "Lagerstammdaten!\r\n");
    EXPECT_EQ(testing::ReadFile(data + "JEVDBF.DBF"), pool_before);
    EXPECT_EQ(testing::ReadFile(data + "MLAGER.DBF"), stock_before);
}

// Between the pool update and the stock update, and before the next pool
// update, host files are deleted or cut short; held by another process,
// exclusively.
TEST_F(HostFaultsTest, FilesThatVanishOrAreHeldBetweenSteps) {
    UpdatePoolNow();
    fs::remove(data + "MLAGER.NTX");
    world.RunStockUpdate(StockMode::kNewItems, {});
    EXPECT_EQ(world.report.back(), "Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!\r");
    EXPECT_EQ(world.StockMaster().records.size(), 1u);

    Restore();
    // The stock master cut in its last record: the engine reads the header's
    // count against the file's size.
    std::string stock = testing::ReadFile(data + "MLAGER.DBF");
    testing::WriteFile(data + "MLAGER.DBF", stock.substr(0, stock.size() - 40));
    world.report.clear();
    world.RunStockUpdate(StockMode::kNewItems, {});
    EXPECT_EQ(world.report, std::vector<std::string>{
                                "Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!\r"});

    // A pool index cut to its header, and the pool table deleted.
    Restore();
    const std::string je2 = testing::ReadFile(data + "JE2.NTX");
    testing::WriteFile(data + "JE2.NTX", je2.substr(0, 1024));
    world.ui.messages.clear();
    UpdatePoolNow();
    ASSERT_EQ(world.ui.messages.size(), 1u);
    EXPECT_EQ(world.ui.messages[0].text, "Fehler beim Zugriff auf " + data + "JE2.NTX");
    EXPECT_EQ(HeaderCount(data + "JEVDBF.DBF"), 1);
    fs::remove(data + "JEVDBF.DBF");
    world.ui.messages.clear();
    UpdatePoolNow();
    ASSERT_EQ(world.ui.messages.size(), 1u);
    EXPECT_EQ(world.ui.messages[0].text, "Fehler beim Zugriff auf " + data + "JEVDBF.DBF");

    // Held exclusively by another process (the shared holds are covered by
    // the archive runs' tests).
    Restore();
    for (const char* file : {"JEVDBF.DBF", "MLAGER.DBF"}) {
        const int fd = ::open((data + file).c_str(), O_RDWR);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        world.ui.messages.clear();
        world.report.clear();
        UpdatePoolNow();
        world.RunStockUpdate(StockMode::kNewItems, {});
        ::close(fd);
        if (std::string(file) == "JEVDBF.DBF") {
            ASSERT_EQ(world.ui.messages.size(), 1u);
            EXPECT_EQ(world.ui.messages[0].text, "Fehler beim Zugriff auf " + data + file);
            EXPECT_EQ(world.report.back(), "Lagerupdate: " + std::to_string(kArticles) +
                                               " Neuanlagen\r");
        } else {
            EXPECT_EQ(world.report.back(),
                      "Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!\r");
        }
    }
    EXPECT_EQ(world.StockMaster().records.size(), 1u + kArticles);
    ExpectStockWholeAndIndexed("after the holds");
}

// The host appends to the pool, record after record, while the update runs.
TEST_F(HostFaultsTest, SecondProcessAppendsToThePoolDuringTheUpdate) {
    constexpr int kHostRecords = 150;
    const pid_t host = ::fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        TApolloTable pool;
        testing::OpenPoolAsHost(pool, data);
        for (int n = 1; n <= kHostRecords; ++n) {
            testing::AddPoolRecord(pool, std::to_string(4200000000000LL + n), "VOM HOST", "XX");
        }
        ::_exit(0);
    }
    UpdatePoolNow();
    int status = 0;
    ::waitpid(host, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(world.report, std::vector<std::string>{"Pool aktualisiert: " +
                                                     std::to_string(kArticles) +
                                                     " Neuanlagen,0 \xC3\x84nderungen\r"});
    const RawDbf pool = testing::ReadRawDbf(data + "JEVDBF.DBF");
    ASSERT_EQ(pool.records.size(), 1u + kArticles + kHostRecords);
    for (const auto& [file, expression] : jevhost::PoolIndexes()) {
        testing::ExpectIndexMatchesTable(data + "JEVDBF.DBF", data + file, expression);
    }
    int host_records = 0;
    for (long r = 1; r <= static_cast<long>(pool.records.size()); ++r) {
        if (pool.Value(r, "FELD1").substr(0, 2) == "42") ++host_records;
    }
    EXPECT_EQ(host_records, kHostRecords);
}

// The pool update and the stock update killed (SIGKILL) at another point of
// their walk each time, then a fresh run.
//
// What the files hold after the kill: every record written before it is
// whole in the table and in all its indexes (each record and each index
// update reaches the file at once; the engine caches nothing unwritten);
// the record being written may be whole in the table but missing from some
// or all indexes (the table is written first), or an index may hold only
// part of one key insertion (a page split written without its parent).  The
// stock update leaves the catalogue's other indexes as before the run, its
// log and journal with a record for each item done, and the item being
// written possibly without them.  The marker file (JEVDBF.zer1-lauf,
// MLAGER.zer1-lauf) stays, with no process holding it.
//
// The fresh pool update checks the five indexes against the pool: when they
// agree it carries on (and finds what the killed run wrote), when not it
// names the index and writes nothing, for the host to rebuild its indexes.
// The fresh stock update rebuilds MLAGER.NTX first, says so, and rebuilds
// the catalogue indexes at its end as always.
TEST_F(HostFaultsTest, KilledUpdatesAreRepairedOrReportedByTheNextRun) {
    int reported = 0;
    for (long at = 20; at < kArticles - 20; at += 95) {
        const std::string trace = "pool killed after " + std::to_string(at);
        Restore();
        const ChildEnd killed = InChild(world.ui, [&] { UpdatePoolNow(); }, RLIM_INFINITY, false,
                                        [&] { return HeaderCount(data + "JEVDBF.DBF") > at; });
        ASSERT_TRUE(killed.killed) << trace;
        EXPECT_TRUE(fs::exists(data + "JEVDBF.zer1-lauf")) << trace;
        world.ui.messages.clear();
        UpdatePoolNow();
        if (!world.ui.messages.empty()) {
            ++reported;
            EXPECT_EQ(world.ui.messages[0].text.substr(0, 20), "Die letzte Aktualisi") << trace;
            continue;
        }
        EXPECT_FALSE(fs::exists(data + "JEVDBF.zer1-lauf")) << trace;
        ExpectPoolWholeAndIndexed(trace);
    }
    std::cout << "[ pool killed 4 times, " << reported << " reported unfit ]\n";

    // The state a kill leaves between the table write and the index update,
    // made by hand: the last record appended to the table only.
    Restore();
    InChild(world.ui, [&] { UpdatePoolNow(); }, RLIM_INFINITY, false,
            [&] { return HeaderCount(data + "JEVDBF.DBF") > 30; });
    {
        std::string bytes = testing::ReadFile(data + "JEVDBF.DBF");
        const RawDbf pool = testing::ReadRawDbf(data + "JEVDBF.DBF");
        const long count = static_cast<long>(pool.records.size());
        std::string record = pool.records.back();
        record.replace(1 + static_cast<std::size_t>(pool.fields[1].offset), 13, Ean(999));
        const std::size_t end = bytes.size() - 1;  // before the end mark
        bytes.insert(end, record);
        for (int i = 0; i < 4; ++i) {
            bytes[4 + static_cast<std::size_t>(i)] = static_cast<char>(((count + 1) >> (8 * i)) & 0xFF);
        }
        testing::WriteFile(data + "JEVDBF.DBF", bytes);
    }
    world.ui.messages.clear();
    UpdatePoolNow();
    ASSERT_EQ(world.ui.messages.size(), 1u);
    EXPECT_EQ(world.ui.messages[0].text,
              "Die letzte Aktualisierung des Pools wurde nicht beendet; der Index JE1.NTX passt "
              "nicht mehr zu JEVDBF.DBF. Bitte die Indizes des Pools im Hostprogramm neu "
              "aufbauen.");
    EXPECT_TRUE(world.report.empty());
    // The host rebuilds its indexes; then the update runs and the mark goes.
    {
        TApolloTable pool;
        testing::OpenTable(pool, data, "JEVDBF.DBF");
        for (const auto& [file, expression] : jevhost::PoolIndexes()) {
            pool.Index(data + file, expression);
        }
    }
    world.ui.messages.clear();
    UpdatePoolNow();
    EXPECT_TRUE(world.ui.messages.empty());
    EXPECT_FALSE(fs::exists(data + "JEVDBF.zer1-lauf"));
    for (const auto& [file, expression] : jevhost::PoolIndexes()) {
        testing::ExpectIndexMatchesTable(data + "JEVDBF.DBF", data + file, expression);
    }

    for (long at = 20; at < kArticles - 20; at += 95) {
        const std::string trace = "stock killed after " + std::to_string(at);
        Restore();
        const ChildEnd killed = InChild(
            world.ui, [&] { world.RunStockUpdate(StockMode::kNewItems, {}); }, RLIM_INFINITY,
            false, [&] { return HeaderCount(data + "MLAGER.DBF") > at; });
        ASSERT_TRUE(killed.killed) << trace << killed.lines;
        EXPECT_GE(HeaderCount(data + "MLPROTO.DBF"), at - 1) << trace;
        world.report.clear();
        world.RunStockUpdate(StockMode::kNewItems, {});
        ASSERT_EQ(world.report.size(), 2u) << trace;
        EXPECT_EQ(world.report[0],
                  "Lagerupdate: Die letzte Aktualisierung wurde nicht beendet, MLAGER.NTX wurde "
                  "neu aufgebaut.\r");
        EXPECT_EQ(world.StockMaster().records.size(), 1u + kArticles) << trace;
        EXPECT_FALSE(fs::exists(data + "MLAGER.zer1-lauf")) << trace;
        ExpectStockWholeAndIndexed(trace);
    }
}

}  // namespace
}  // namespace zer1
