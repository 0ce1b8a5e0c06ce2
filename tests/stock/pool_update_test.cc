#include "stock/pool_update.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/ui_services.h"
#include "imports/working_table.h"
#include "storage/apollo_table.h"
#include "tests/support/command_output.h"
#include "tests/support/raw_dbf.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

namespace fs = std::filesystem;
using testing::RawDbf;
using testing::ReadRawDbf;

// The host's pool layout: FELD1 to FELD13 in the host's order and one field of
// the host's own that the update must leave alone.
struct PoolFieldDef {
    const char* name;
    int width;
};
constexpr PoolFieldDef kPoolFields[] = {
    {"FELD11", 2},  {"FELD1", 13}, {"FELD2", 40}, {"FELD3", 10}, {"FELD4", 10},
    {"FELD13", 13}, {"FELD5", 15}, {"FELD8", 13}, {"FELD9", 13}, {"FELD6", 40},
    {"FELD7", 40},  {"FELD10", 8}, {"FELD12", 1}, {"NOTIZ", 20},
};

// The five index files with key expressions of the kind the host uses.
constexpr const char* kIndexExpressions[kPoolIndexCount] = {"FELD1", "UPPER(FELD2)", "FELD13",
                                                            "FELD9+FELD1", "FELD11+FELD1"};

// The key of index k (0-based) computed from a record's stored bytes.
std::string ExpectedKey(const RawDbf& dbf, long recno, int k) {
    switch (k) {
        case 0:
            return dbf.Value(recno, "FELD1");
        case 1: {
            std::string key = dbf.Value(recno, "FELD2");
            for (char& c : key) {
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            }
            return key;
        }
        case 2:
            return dbf.Value(recno, "FELD13");
        case 3:
            return dbf.Value(recno, "FELD9") + dbf.Value(recno, "FELD1");
        default:
            return dbf.Value(recno, "FELD11") + dbf.Value(recno, "FELD1");
    }
}

using testing::CommandOutput;

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Pad(std::string value, std::size_t width) {
    value.resize(width, ' ');
    return value;
}

// A second program holding a table open as the host does (a shared flock, not
// waiting) until the test lets go: a pipe carries "holding" from it, and the
// close of a second pipe releases it, so the lock lasts exactly as long as
// the test needs, however slow the machine (a test that dies releases it too).
class HostHoldingOpen {
  public:
    explicit HostHoldingOpen(const std::string& path) {
        int to_test[2], to_host[2];
        if (::pipe(to_test) != 0 || ::pipe(to_host) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(to_test[0]);
            ::close(to_host[1]);
            const int fd = ::open(path.c_str(), O_RDONLY);
            const char state = fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) == 0 ? 'h' : 'x';
            char release;
            if (::write(to_test[1], &state, 1) == 1) (void)!::read(to_host[0], &release, 1);
            ::_exit(0);
        }
        ::close(to_test[1]);
        ::close(to_host[0]);
        to_host_ = to_host[1];
        char state = 0;
        holds_ = pid_ > 0 && ::read(to_test[0], &state, 1) == 1 && state == 'h';
        ::close(to_test[0]);
    }
    ~HostHoldingOpen() { Release(); }

    bool holds() const { return holds_; }
    void Release() {
        if (pid_ <= 0) return;
        ::close(to_host_);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    int to_host_ = -1;
    bool holds_ = false;
};

// A stand-in for the run's progress window, reached through the adapter.
struct RecordingWindow {
    void SetInfo(const std::string& text) { info.push_back(text); }
    void SetMaximum(int value) { maximum = value; }
    void SetPosition(int value) { positions.push_back(value); }

    std::vector<std::string> info;
    int maximum = -1;
    std::vector<int> positions;
};

WorkingRecord Article(const std::string& ean, const std::string& text,
                      const std::string& wholesaler = "DG") {
    WorkingRecord rec;
    rec.set(1, ean);
    rec.set(2, text);
    rec.set(3, "      2.99");
    rec.set(4, "      1.50");
    rec.set(5, "LIEF");
    rec.set(6, "ZUSATZ");
    rec.set(9, "DGHWG1");
    rec.set(10, "09.03.26");
    rec.set(11, wholesaler);
    rec.set(12, "1");
    rec.set(13, "/" + ean);
    return rec;
}

// Another program holding the lock of one record of a table, as the sharing
// scheme places it (a write lock on byte 1,000,000,000 + record number), until
// told to let go.  Both steps are handshakes over pipes.
class RecordLockHolder {
  public:
    RecordLockHolder(const std::string& table, long record) {
        if (pipe(to_child_) != 0 || pipe(to_parent_) != 0) return;
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            int fd = ::open(table.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_start = 1000000000 + record;
            lock.l_len = 1;
            char answer = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0 ? 'L' : 'E';
            if (write(to_parent_[1], &answer, 1) != 1 || read(to_child_[0], &answer, 1) != 1) {
                _exit(1);
            }
            close(fd);  // drops the lock
            _exit(write(to_parent_[1], "U", 1) == 1 ? 0 : 1);
        }
        char answer = 0;
        locked_ = read(to_parent_[0], &answer, 1) == 1 && answer == 'L';
    }
    ~RecordLockHolder() {
        Release();
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        for (int fd : {to_child_[0], to_child_[1], to_parent_[0], to_parent_[1]}) close(fd);
    }
    bool locked() const { return locked_; }
    // Returns once the lock is gone.
    void Release() {
        if (!locked_) return;
        char answer = 0;
        locked_ = !(write(to_child_[1], "r", 1) == 1 && read(to_parent_[0], &answer, 1) == 1);
    }

  private:
    int to_child_[2] = {-1, -1};
    int to_parent_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool locked_ = false;
};

// UI services whose first message pump lets the lock holder go: a write that
// waits for the lock pumps while it waits.
struct ReleasingUi : RecordingUiServices {
    void ProcessEvents() override {
        RecordingUiServices::ProcessEvents();
        if (holder != nullptr) holder->Release();
        holder = nullptr;
    }
    RecordLockHolder* holder = nullptr;
};

class PoolUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(root_ / "daten");
        fs::create_directories(root_ / "aus");
        data_path_ = (root_ / "daten").string() + "/";
        CreatePool();
        ASSERT_TRUE(CreateWorkingTable((root_ / "aus" / "TMPDGH.DBF").string()));
        working_.SetDatabaseName((root_ / "aus").string());
        working_.SetTableName("TMPDGH.DBF");
        working_.SetExclusive(true);
        working_.Open();
    }
    void TearDown() override {
        working_.Close();
        pool_.Close();
    }

    // numeric_feld3: a pool whose FELD3 is a number, which refuses price texts
    // that are no numbers.
    void CreatePool(bool numeric_feld3 = false) {
        TApolloTable maker;
        ASSERT_TRUE(maker.CreateNew(data_path_ + "JEVDBF.DBF", kTableTypeNtx,
                                    static_cast<int>(std::size(kPoolFields))));
        for (const auto& f : kPoolFields) {
            if (numeric_feld3 && std::string(f.name) == "FELD3") {
                maker.CreateField(f.name, "N", 10, 2);
            } else {
                maker.CreateField(f.name, "C", f.width, 0);
            }
        }
        ASSERT_TRUE(maker.CreateExec());
        maker.SetDatabaseName(data_path_);
        maker.SetTableName("JEVDBF.DBF");
        maker.SetExclusive(true);
        maker.Open();
        for (int k = 0; k < kPoolIndexCount; ++k) {
            maker.Index(data_path_ + kPoolIndexNames[k], kIndexExpressions[k]);
        }
        maker.Close();
    }

    // Puts records into the pool as the host would: shared, indexes open,
    // texts translated to the DOS code page.
    void HostAddsToPool(const std::vector<std::map<std::string, std::string>>& records) {
        TApolloTable host;
        host.SetDatabaseName(data_path_);
        host.SetTableName("JEVDBF.DBF");
        host.Open();
        for (const char* name : kPoolIndexNames) host.IndexOpen(data_path_ + name);
        host.SetOEMTranslate(true);
        for (const auto& values : records) {
            host.Append();
            for (const auto& [field, value] : values) host.FieldByName(field).SetAsString(value);
            host.Post();
        }
        host.Close();
    }

    void AddWorking(const WorkingRecord& rec) { AppendWorkingRecord(working_, rec); }

    void Update() {
        UpdatePool(PoolTable{pool_, orders_}, data_path_, working_, progress_adapter_, report_);
    }

    // Every index holds each record of the pool once, in key order; our own
    // walk through the table layer and Perl XBase's walk of the file agree.
    void ExpectIndexesMatchTable() {
        RawDbf dbf = ReadRawDbf(data_path_ + "JEVDBF.DBF");
        const long count = static_cast<long>(dbf.records.size());
        TApolloTable walker;
        walker.SetDatabaseName(data_path_);
        walker.SetTableName("JEVDBF.DBF");
        walker.Open();
        int orders[kPoolIndexCount];
        for (int k = 0; k < kPoolIndexCount; ++k) {
            orders[k] = walker.IndexOpen(data_path_ + kPoolIndexNames[k]);
        }
        for (int k = 0; k < kPoolIndexCount; ++k) {
            SCOPED_TRACE(kPoolIndexNames[k]);
            std::vector<long> expected(static_cast<std::size_t>(count));
            for (long r = 1; r <= count; ++r) expected[static_cast<std::size_t>(r - 1)] = r;
            std::stable_sort(expected.begin(), expected.end(), [&](long a, long b) {
                return ExpectedKey(dbf, a, k) < ExpectedKey(dbf, b, k);
            });

            std::vector<long> walked;
            walker.SetOrder(orders[k]);
            for (walker.First(); !walker.Eof() && walked.size() <= expected.size(); walker.Next()) {
                walked.push_back(walker.RecNo());
            }
            EXPECT_EQ(walked, expected) << "our walk";

            std::string perl = CommandOutput(
                "perl -MXBase::Index -e '$i = XBase::Index->new($ARGV[0], type => \"C\") "
                "or die XBase::Index->errstr; $i->prepare_select; "
                "while (($k, $v) = $i->fetch) { print \"$v\\n\" }' " +
                data_path_ + kPoolIndexNames[k] + " 2>&1");
            std::ostringstream want;
            for (long r : expected) want << r << "\n";
            EXPECT_EQ(perl, want.str()) << "Perl XBase walk";
        }
        walker.Close();
    }

    testing::TempDir scratch_;
    const fs::path root_{scratch_.path()};
    std::string data_path_;
    TApolloTable working_;
    TApolloTable pool_;
    std::array<int, kPoolIndexCount> orders_{};
    RecordingWindow progress_;
    StepProgressOn<RecordingWindow> progress_adapter_{progress_};
    std::vector<std::string> report_;
    RecordingUiServices ui_;
    ScopedUiServices ui_scope_{&ui_};
};

TEST_F(PoolUpdateTest, TwoHundredFiftyNewArticlesMoveTheBarEveryHundred) {
    for (int i = 0; i < 250; ++i) {
        // Descending numbers, so that the index order differs from the record order.
        AddWorking(Article(std::to_string(4000000 - i * 7), "Artikel " + std::to_string(i % 17)));
    }
    Update();
    EXPECT_EQ(progress_.info, (std::vector<std::string>{"Pool wird aktualisiert..."}));
    EXPECT_EQ(progress_.maximum, 250);
    EXPECT_EQ(progress_.positions, (std::vector<int>{100, 200, 250}));
    EXPECT_EQ(
        report_,
        (std::vector<std::string>{"Pool aktualisiert: 250 Neuanlagen,0 \xC3\x84nderungen\r"}));
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_GT(ui_.process_events_calls, 0);

    pool_.Close();
    RawDbf dbf = ReadRawDbf(data_path_ + "JEVDBF.DBF");
    ASSERT_EQ(dbf.records.size(), 250u);
    EXPECT_EQ(dbf.Value(1, "FELD1"), Pad("4000000", 13));
    EXPECT_EQ(dbf.Value(250, "FELD1"), Pad(std::to_string(4000000 - 249 * 7), 13));
    EXPECT_EQ(dbf.Value(250, "FELD13"), Pad("/" + std::to_string(4000000 - 249 * 7), 13));
    EXPECT_EQ(dbf.Value(250, "FELD3"), "      2.99");
    EXPECT_EQ(dbf.Value(250, "NOTIZ"), std::string(20, ' '));
    ExpectIndexesMatchTable();
}

TEST_F(PoolUpdateTest, DuplicateKeyInTheWorkingTableIsAddedThenChanged) {
    AddWorking(Article("4711", "ERSTER"));
    AddWorking(Article("4711", "ZWEITER"));
    AddWorking(Article("", "OHNE EAN"));
    AddWorking(Article("", "AUCH OHNE"));
    Update();
    EXPECT_EQ(report_,
              (std::vector<std::string>{"Pool aktualisiert: 2 Neuanlagen,2 \xC3\x84nderungen\r"}));
    pool_.Close();
    RawDbf dbf = ReadRawDbf(data_path_ + "JEVDBF.DBF");
    ASSERT_EQ(dbf.records.size(), 2u);
    EXPECT_EQ(dbf.Value(1, "FELD2"), Pad("ZWEITER", 40));
    EXPECT_EQ(dbf.Value(2, "FELD1"), std::string(13, ' '));
    EXPECT_EQ(dbf.Value(2, "FELD2"), Pad("AUCH OHNE", 40));
    ExpectIndexesMatchTable();
}

TEST_F(PoolUpdateTest, RecordOfTheOtherWholesalerIsOverwrittenAndBlanksCarryOver) {
    HostAddsToPool({
        {{"FELD1", "111"}, {"FELD2", "BLEIBT"}, {"FELD11", "FO"}},
        {{"FELD1", "4711"},
         {"FELD2", "VON FOTOCO"},
         {"FELD11", "FO"},
         {"FELD7", "ALT"},
         {"FELD8", "SUCH"},
         {"NOTIZ", "vom Host"}},
    });
    AddWorking(Article("4711", "VON DGH"));
    AddWorking(Article("999", "NEU"));
    {
        // The host holds the pool open meanwhile: the update shares it.
        HostHoldingOpen host(data_path_ + "JEVDBF.DBF");
        ASSERT_TRUE(host.holds());
        Update();
    }
    EXPECT_EQ(report_,
              (std::vector<std::string>{"Pool aktualisiert: 1 Neuanlagen,1 \xC3\x84nderungen\r"}));
    pool_.Close();
    RawDbf dbf = ReadRawDbf(data_path_ + "JEVDBF.DBF");
    ASSERT_EQ(dbf.records.size(), 3u);
    EXPECT_EQ(dbf.Value(1, "FELD2"), Pad("BLEIBT", 40));
    EXPECT_EQ(dbf.Value(2, "FELD1"), Pad("4711", 13));
    EXPECT_EQ(dbf.Value(2, "FELD11"), "DG");
    EXPECT_EQ(dbf.Value(2, "FELD2"), Pad("VON DGH", 40));
    EXPECT_EQ(dbf.Value(2, "FELD7"), std::string(40, ' '));  // blank in the working table
    EXPECT_EQ(dbf.Value(2, "FELD8"), std::string(13, ' '));
    EXPECT_EQ(dbf.Value(2, "FELD10"), "09.03.26");
    EXPECT_EQ(dbf.Value(2, "NOTIZ"), Pad("vom Host", 20));  // the host's own field stays
    EXPECT_EQ(dbf.Value(3, "FELD1"), Pad("999", 13));
    ExpectIndexesMatchTable();
}

TEST_F(PoolUpdateTest, MissingIndexFileIsNamedOnceAndThePoolStaysUnchanged) {
    HostAddsToPool({{{"FELD1", "111"}, {"FELD2", "ALT"}}});
    fs::rename(data_path_ + "JE3.NTX", root_ / "JE3.NTX");
    const std::string before = FileBytes(data_path_ + "JEVDBF.DBF");
    AddWorking(Article("111", "NEU"));
    AddWorking(Article("222", "NEU"));
    Update();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(ui_.messages[0].text, "Fehler beim Zugriff auf " + data_path_ + "JE3.NTX");
    EXPECT_TRUE(report_.empty());
    EXPECT_TRUE(progress_.positions.empty());
    EXPECT_EQ(FileBytes(data_path_ + "JEVDBF.DBF"), before);

    // Once the file is back, the next update opens the pool afresh.
    fs::rename(root_ / "JE3.NTX", data_path_ + "JE3.NTX");
    Update();
    EXPECT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(report_.back(), "Pool aktualisiert: 1 Neuanlagen,1 \xC3\x84nderungen\r");
    pool_.Close();
    ExpectIndexesMatchTable();
}

TEST_F(PoolUpdateTest, MissingPoolTableIsNamed) {
    fs::remove(data_path_ + "JEVDBF.DBF");
    AddWorking(Article("111", "NEU"));
    Update();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Fehler beim Zugriff auf " + data_path_ + "JEVDBF.DBF");
    EXPECT_TRUE(report_.empty());
    EXPECT_FALSE(fs::exists(data_path_ + "JEVDBF.DBF"));
}

TEST_F(PoolUpdateTest, SecondUpdateWhileTheDialogStaysOpen) {
    for (int i = 0; i < 30; ++i) AddWorking(Article(std::to_string(100 + i), "A"));
    Update();
    const auto first_orders = orders_;
    Update();
    EXPECT_EQ(orders_, first_orders);
    EXPECT_EQ(report_,
              (std::vector<std::string>{"Pool aktualisiert: 30 Neuanlagen,0 \xC3\x84nderungen\r",
                                        "Pool aktualisiert: 0 Neuanlagen,30 \xC3\x84nderungen\r"}));
    EXPECT_TRUE(ui_.messages.empty());
    pool_.Close();
    EXPECT_EQ(ReadRawDbf(data_path_ + "JEVDBF.DBF").records.size(), 30u);
    ExpectIndexesMatchTable();
}

TEST_F(PoolUpdateTest, TextsAreStoredInCodePage850AndReadBackUnchanged) {
    const std::string umlauts =
        "GR\xC3\x9CN \xC3\x84\xC3\x96\xC3\x9C \xC3\x9F \xC3\xA9";  // GRÜN ÄÖÜ ß é
    AddWorking(
        Article("\xC3\x84"
                "B12",
                umlauts));
    Update();
    // The key with an umlaut is found again on the second pass.
    Update();
    EXPECT_EQ(report_.back(), "Pool aktualisiert: 0 Neuanlagen,1 \xC3\x84nderungen\r");
    pool_.Close();

    RawDbf dbf = ReadRawDbf(data_path_ + "JEVDBF.DBF");
    ASSERT_EQ(dbf.records.size(), 1u);
    EXPECT_EQ(dbf.Value(1, "FELD1"), Pad("\x8E"
                                         "B12",
                                         13));
    EXPECT_EQ(dbf.Value(1, "FELD2"), Pad("GR\x9AN \x8E\x99\x9A \xE1 \x82", 40));

    TApolloTable reader;
    reader.SetDatabaseName(data_path_);
    reader.SetTableName("JEVDBF.DBF");
    reader.Open();
    reader.SetOEMTranslate(true);
    reader.First();
    EXPECT_EQ(reader.FieldByName("FELD2").AsString(), umlauts);
    EXPECT_EQ(reader.FieldByName("FELD1").AsString(),
              "\xC3\x84"
              "B12");
    reader.Close();
    ExpectIndexesMatchTable();
}

TEST_F(PoolUpdateTest, RecordThatCannotBeWrittenIsNeverStoredLater) {
    for (const char* name : {"JEVDBF.DBF", "JE1.NTX", "JE2.NTX", "JE3.NTX", "JE4.NTX", "JE5.NTX"}) {
        fs::remove(data_path_ + name);
    }
    CreatePool(/*numeric_feld3=*/true);
    AddWorking(Article("111", "GUT"));
    WorkingRecord bad = Article("222", "SCHLECHT");
    bad.set(3, "2,99 EUR");
    AddWorking(bad);
    EXPECT_THROW(Update(), std::exception);
    EXPECT_TRUE(report_.empty());

    // The next update, with the pool still open, stores only its own record.
    working_.Zap();
    AddWorking(Article("333", "DANACH"));
    Update();
    EXPECT_EQ(report_.back(), "Pool aktualisiert: 1 Neuanlagen,0 \xC3\x84nderungen\r");
    pool_.Close();
    RawDbf dbf = ReadRawDbf(data_path_ + "JEVDBF.DBF");
    ASSERT_EQ(dbf.records.size(), 2u);
    EXPECT_EQ(dbf.Value(1, "FELD1"), Pad("111", 13));
    EXPECT_EQ(dbf.Value(2, "FELD1"), Pad("333", 13));
    ExpectIndexesMatchTable();
}

// The host holds the lock of a pool record that the update changes.  Let go
// while the update waits, the change is written; held beyond the wait, the
// update ends with an error naming table and record, what it committed before
// stays, and no report line claims anything.
TEST_F(PoolUpdateTest, RecordLockedByTheHostIsWaitedForThenReported) {
    HostAddsToPool({{{"FELD1", "4711"}, {"FELD2", "ALT"}}, {{"FELD1", "4712"}, {"FELD2", "ALT"}}});
    const std::string pool = data_path_ + "JEVDBF.DBF";
    ReleasingUi ui;
    ScopedUiServices scope{&ui};
    AddWorking(Article("4711", "NEU"));  // first: its write is the one that waits
    AddWorking(Article("999", "NEU"));
    {
        RecordLockHolder host(pool, 1);
        ASSERT_TRUE(host.locked());
        ui.holder = &host;
        Update();
        EXPECT_EQ(ui.holder, nullptr);  // the write waited, pumping
    }
    EXPECT_EQ(report_,
              (std::vector<std::string>{"Pool aktualisiert: 1 Neuanlagen,1 \xC3\x84nderungen\r"}));

    working_.Zap();
    AddWorking(Article("555", "DAVOR"));
    AddWorking(Article("4712", "NEU"));
    {
        RecordLockHolder host(pool, 2);
        ASSERT_TRUE(host.locked());
        std::string error;
        try {
            Update();
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_EQ(error, "Der Datensatz 2 in JEVDBF.DBF ist von einem anderen Programm gesperrt.");
    }
    EXPECT_EQ(report_.size(), 1u);
    pool_.Close();
    RawDbf dbf = ReadRawDbf(pool);
    ASSERT_EQ(dbf.records.size(), 4u);
    EXPECT_EQ(dbf.Value(1, "FELD2"), Pad("NEU", 40));
    EXPECT_EQ(dbf.Value(2, "FELD2"), Pad("ALT", 40));
    EXPECT_EQ(dbf.Value(3, "FELD1"), Pad("999", 13));
    EXPECT_EQ(dbf.Value(4, "FELD1"), Pad("555", 13));
    ExpectIndexesMatchTable();
}

TEST_F(PoolUpdateTest, EmptyWorkingTableReportsZeroes) {
    Update();
    EXPECT_EQ(report_,
              (std::vector<std::string>{"Pool aktualisiert: 0 Neuanlagen,0 \xC3\x84nderungen\r"}));
    EXPECT_EQ(progress_.maximum, 0);
    EXPECT_EQ(progress_.positions, (std::vector<int>{0}));
}

}  // namespace
}  // namespace zer1
