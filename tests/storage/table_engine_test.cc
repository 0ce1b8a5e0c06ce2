// The table layer over the real engine libsde61.so: tables are created,
// written and read back through TApolloTable, and the bytes on disk are
// checked directly where the code page matters.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "common/ui_services.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EApolloError& e) {
        return e.what();
    }
    return "<no error>";
}

struct FieldDef {
    const char* name;
    const char* type;
    int width;
    int decimals;
};

unsigned littleEndian(const std::string& data, size_t at, int bytes) {
    unsigned value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(data[at + i]);
    }
    return value;
}

// Runs fn in a child process, as another program would; its exit code.
int inChild(const std::function<int()>& fn) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) _exit(fn());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Record n (1-based, flag byte first) of a DBF file, read straight from disk.
std::string rawRecord(const std::string& file, int n) {
    std::string data = testing::ReadFile(file);
    auto u16 = [&](size_t at) {
        return static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8;
    };
    size_t header = u16(8), length = u16(10);
    size_t at = header + (n - 1) * length;
    if (at + length > data.size()) return {};
    return data.substr(at, length);
}

class TableEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        engine();  // fails the test early when the engine cannot be loaded
    }

    bool create(const std::string& name, const std::vector<FieldDef>& fields) {
        TApolloTable creator;
        if (!creator.CreateNew(dir / name, kTableTypeNtx, static_cast<int>(fields.size()))) {
            return false;
        }
        for (const auto& f : fields) creator.CreateField(f.name, f.type, f.width, f.decimals);
        return creator.CreateExec();
    }

    // Article table used by most tests.
    void createArticles(const std::string& name = "ARTIKEL.DBF") {
        ASSERT_TRUE(create(name, {{"ARTNUM", "C", 13, 0},
                                  {"ARTBEZ", "C", 10, 0},
                                  {"PREIS", "N", 10, 2},
                                  {"STSATZ", "N", 2, 0},
                                  {"DATUM", "D", 8, 0},
                                  {"STINK", "L", 1, 0},
                                  {"NOTIZ", "M", 10, 0}}));
    }

    void open(TApolloTable& table, const std::string& name, bool exclusive = false) {
        table.SetDatabaseName(dir.path());
        table.SetTableName(name);
        table.SetExclusive(exclusive);
        table.Open();
    }

    void appendArticle(TApolloTable& table, const std::string& number, double price) {
        table.Append();
        table.FieldByName("ARTNUM").SetAsString(number);
        table.FieldByName("PREIS").SetAsFloat(price);
        table.Post();
    }

    RecordingUiServices ui;
    ScopedUiServices installUi{&ui};
    testing::TempDir dir;
};

TEST_F(TableEngineTest, ReopenedTableObjectFollowsItsTablesStructure) {
    // A table object opened again keeps its fields when the structure is the
    // same, and the engine reuses what it read of the header; a table
    // written anew under the same name with other fields (a longer header
    // than the last open read) must show those.
    std::vector<FieldDef> first = {{"ARTNUM", "C", 13, 0}, {"PREIS", "N", 10, 2}};
    const char* fillers[] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10"};
    for (const char* name : fillers) first.push_back({name, "C", 2, 0});
    ASSERT_TRUE(create("JOURNAL.DBF", first));
    TApolloTable table;
    open(table, "JOURNAL.DBF");
    table.Append();
    for (const char* name : fillers) table.FieldByName(name).SetAsString("x");
    table.FieldByName("artnum").SetAsString("4711");
    table.FieldByName("Preis").SetAsString("12.50");
    table.Post();
    EXPECT_EQ(table.FindField("F11"), nullptr);
    const unsigned long stamp = table.FieldsStamp();
    table.Close();
    EXPECT_EQ(table.FindField("PREIS"), nullptr);  // a closed table has no fields
    open(table, "JOURNAL.DBF");
    EXPECT_EQ(table.FieldsStamp(), stamp);
    EXPECT_EQ(table.FieldByName("preis").AsString(), "12.50");
    EXPECT_EQ(table.FieldByName("F10").AsString(), "x");
    table.Close();
    EXPECT_EQ(rawRecord(dir / "JOURNAL.DBF", 1).substr(14, 10), "     12.50");

    std::filesystem::remove(dir / "JOURNAL.DBF");
    std::vector<FieldDef> second = {{"PREIS", "N", 8, 3}, {"ARTNUM", "C", 13, 0}};
    for (int i = 0; i < 150; ++i) second.push_back({nullptr, "C", 1, 0});
    std::vector<std::string> names;
    for (int i = 0; i < 150; ++i) names.push_back("G" + std::to_string(i));
    for (int i = 0; i < 150; ++i) second[2 + i].name = names[i].c_str();
    ASSERT_TRUE(create("JOURNAL.DBF", second));
    open(table, "JOURNAL.DBF");
    EXPECT_NE(table.FieldsStamp(), stamp);
    ASSERT_EQ(table.FieldCount(), 152);
    table.Append();
    for (int i = 0; i < 150; i += 10) table.FieldByName(names[i]).SetAsString("y");
    table.FieldByName("PREIS").SetAsFloat(-0.0);
    table.FieldByName("ARTNUM").SetAsString("0815");
    table.Post();
    EXPECT_EQ(table.FindField("F1"), nullptr);
    EXPECT_EQ(table.FieldByName("artnum").Index(), 1);
    EXPECT_EQ(table.FieldByName("PREIS").Decimals(), 3);
    EXPECT_EQ(table.FieldByName("G140").AsString(), "y");
    table.Close();
    EXPECT_EQ(rawRecord(dir / "JOURNAL.DBF", 1).substr(1, 12), "   0.0000815");
}

TEST_F(TableEngineTest, ExpressionsWorkOnTheStoredText) {
    createArticles();
    TApolloTable table;
    open(table, "ARTIKEL.DBF");
    table.Append();
    table.FieldByName("ARTBEZ").SetAsString(" Größe");
    table.Post();
    EXPECT_EQ(table.EvalString("LTRIM(UPPER(ARTBEZ))"), "GRößE    ");  // UPPER: a-z only
}

TEST_F(TableEngineTest, EveryFieldKindTravelsThroughTheFile) {
    createArticles();
    {
        TApolloTable table;
        open(table, "ARTIKEL.DBF");
        table.Append();
        table.FieldByName("ARTNUM").SetAsString("4711");
        table.FieldByName("ARTBEZ").SetAsString("Größenänderung");  // cut to 10 stored characters
        table.FieldByName("PREIS").SetAsFloat(1234.565);
        table.FieldByName("STSATZ").SetAsInteger(-7);
        table.FieldByName("DATUM").SetAsDate(TDate{year(2026), month(12), day(8)});
        table.FieldByName("STINK").SetAsBoolean(true);
        table.FieldByName("NOTIZ").SetAsString("Zeile 1\r\nÜbermorgen");
        table.Post();
        table.Close();
    }
    std::string raw = rawRecord(dir / "ARTIKEL.DBF", 1);
    EXPECT_EQ(raw.substr(14, 10),
              "Gr\xF6\xDF"
              "en\xE4nde");  // Windows-1252 on disk
    EXPECT_EQ(raw.substr(24, 10), "   1234.57");
    EXPECT_EQ(raw.substr(34, 2), "-7");
    EXPECT_EQ(raw.substr(36, 8), "20261208");
    EXPECT_EQ(raw.substr(44, 1), "T");

    TApolloTable table;
    open(table, "artikel.dbf");
    EXPECT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "4711");
    EXPECT_EQ(table.GetString("ARTNUM"), "4711         ");
    EXPECT_EQ(table.FieldByName("ARTBEZ").AsString(), "Größenände");
    EXPECT_DOUBLE_EQ(table.FieldByName("PREIS").AsFloat(), 1234.57);
    EXPECT_EQ(table.FieldByName("STSATZ").Kind(), TFieldKind::SmallInt);
    EXPECT_EQ(table.FieldByName("STSATZ").AsInteger(), -7);
    EXPECT_EQ(table.FieldByName("DATUM").AsDate(), (TDate{year(2026), month(12), day(8)}));
    EXPECT_TRUE(table.FieldByName("STINK").AsBoolean());
    EXPECT_EQ(table.FieldByName("NOTIZ").AsString(), "Zeile 1\r\nÜbermorgen");
    EXPECT_FALSE(table.FieldIsEmpty("ARTBEZ"));
    EXPECT_FALSE(table.FieldIsEmpty("NOTIZ"));
}

TEST_F(TableEngineTest, EncryptedTableReadsItsTextOnlyWithThePassword) {
    TApolloTable creator;
    ASSERT_TRUE(creator.CreateNew(dir / "VUROZE.LIC", kTableTypeNtx, 2));
    creator.CreateField("SCHALTER", "C", 8, 0);
    creator.CreateField("ANZAHL", "N", 3, 0);
    ASSERT_EQ(engine().CreatePassword("jev-para"), 1);
    ASSERT_TRUE(creator.CreateExec());
    {
        TApolloTable table;
        table.SetPassword("jev-para");
        open(table, "VUROZE.LIC");
        table.Append();
        table.FieldByName("SCHALTER").SetAsString("10000010");
        table.FieldByName("ANZAHL").SetAsInteger(12);
        table.Post();
    }
    EXPECT_EQ(rawRecord(dir / "VUROZE.LIC", 1).find("10000010"), std::string::npos);
    TApolloTable table;
    table.SetReadOnly(true);
    open(table, "VUROZE.LIC");
    EXPECT_EQ(table.FieldByName("SCHALTER").AsString(), "********");
    EXPECT_EQ(table.FieldByName("ANZAHL").AsInteger(), 0);
    table.SetPassword("jev-para");  // handed over at once, record read again
    EXPECT_EQ(table.FieldByName("SCHALTER").AsString(), "10000010");
    EXPECT_EQ(table.FieldByName("ANZAHL").AsInteger(), 12);
}

TEST_F(TableEngineTest, WrongPasswordIsRefusedAtOpenAndWhenSet) {
    TApolloTable creator;
    ASSERT_TRUE(creator.CreateNew(dir / "VUROZE.LIC", kTableTypeNtx, 1));
    creator.CreateField("SCHALTER", "C", 8, 0);
    ASSERT_EQ(engine().CreatePassword("jev-para"), 1);
    ASSERT_TRUE(creator.CreateExec());
    {
        TApolloTable table;
        table.SetPassword("falsch");
        try {
            open(table, "VUROZE.LIC");
            FAIL() << "a wrong password opened the table";
        } catch (const EApolloError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Wrong password for table: ", 0), 0u) << e.what();
        }
        EXPECT_FALSE(table.Active());
    }
    TApolloTable table;
    open(table, "VUROZE.LIC");
    EXPECT_THROW(table.SetPassword("falsch"), EApolloError);
    EXPECT_EQ(table.Password(), "");
    table.SetPassword("jev-para");
    EXPECT_EQ(table.Password(), "jev-para");
}

TEST_F(TableEngineTest, OemTranslationStoresCodePage850) {
    createArticles();
    {
        TApolloTable table;
        table.SetOEMTranslate(true);
        open(table, "ARTIKEL.DBF");
        table.Append();
        table.FieldByName("ARTBEZ").SetAsString("Äpfel");
        table.Post();
    }
    EXPECT_EQ(rawRecord(dir / "ARTIKEL.DBF", 1).substr(14, 5),
              "\x8E"
              "pfel");
    TApolloTable table;
    open(table, "ARTIKEL.DBF");
    EXPECT_EQ(table.FieldByName("ARTBEZ").AsString(), "Žpfel");  // 0x8E read as Windows-1252
    table.SetOEMTranslate(true);                                 // takes effect at once
    EXPECT_EQ(table.FieldByName("ARTBEZ").AsString(), "Äpfel");
}

TEST_F(TableEngineTest, NameWithoutExtensionOpensTheDbfFile) {
    createArticles("MLAGER.DBF");
    TApolloTable table;
    open(table, "MLAGER");
    EXPECT_TRUE(table.Active());
    EXPECT_EQ(table.FieldCount(), 7);
    EXPECT_EQ(errorOf([&] {
                  TApolloTable missing;
                  open(missing, "FEHLT");
              }),
              "Table, file or directory does not exist.\rFile: " + dir.path() + "FEHLT.DBF");
}

TEST_F(TableEngineTest, NamesSharingEightCharactersGetDistinctAliases) {
    createArticles("TMPFOTOCO.DBF");
    createArticles("TMPFOTOCX.DBF");
    TApolloTable first, second;
    open(first, "TMPFOTOCO.DBF");
    open(second, "TMPFOTOCX.DBF");
    EXPECT_EQ(first.Alias(), "TMPFOTOC");
    EXPECT_EQ(second.Alias(), "TMPFOTO1");
    appendArticle(second, "X", 1);
    EXPECT_EQ(first.RecordCount(), 0);
    EXPECT_EQ(second.RecordCount(), 1);
}

TEST_F(TableEngineTest, ZapOnASharedTableFailsAndKeepsTheRecords) {
    createArticles();
    TApolloTable table;
    open(table, "ARTIKEL.DBF");
    appendArticle(table, "A", 1);
    appendArticle(table, "B", 2);
    EXPECT_EQ(errorOf([&] { table.Zap(); }),
              "Table must be opened in Exclusive mode to perform this operation");
    table.Close();
    open(table, "ARTIKEL.DBF");
    EXPECT_EQ(table.RecordCount(), 2);
    table.Close();
    open(table, "ARTIKEL.DBF", true);
    table.Zap();
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_TRUE(table.Eof());
}

TEST_F(TableEngineTest, RecordCountCountsDeletedRecords) {
    createArticles();
    TApolloTable table;
    open(table, "ARTIKEL.DBF");
    appendArticle(table, "A", 1);
    appendArticle(table, "B", 2);
    const EngineApi& api = engine();
    api.Select(table.WorkArea());
    ASSERT_EQ(api.Delete(), 1);
    api.Commit();
    EXPECT_EQ(table.RecordCount(), 2);
    table.Close();
    EXPECT_EQ(rawRecord(dir / "ARTIKEL.DBF", 2)[0], '*');
    open(table, "ARTIKEL.DBF");
    EXPECT_EQ(table.RecordCount(), 2);
}

TEST_F(TableEngineTest, SeekFindsFullWidthKeysAndAMissStandsAtTheEnd) {
    createArticles();
    TApolloTable table;
    open(table, "ARTIKEL.DBF", true);
    for (const char* number : {"300", "100", "200"}) appendArticle(table, number, 1);
    EXPECT_EQ(errorOf([&] { table.Seek("100"); }), "This operation requires an active index order");
    std::vector<int> progress;
    table.SetProgressWindow([&](int percent) { progress.push_back(percent); });
    int order = table.Index(dir / "ARTIKEL.NTX", "ARTNUM");
    table.SetProgressWindow({});
    EXPECT_GE(order, 1);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
    table.Close();

    open(table, "ARTIKEL.DBF");
    int opened = table.IndexOpen(dir / "artikel.ntx");
    table.First();
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "100");  // index order
    EXPECT_TRUE(FindRecordByKey(table, opened, "200          "));
    EXPECT_EQ(table.RecNo(), 3);
    EXPECT_FALSE(table.Seek("150          "));
    EXPECT_TRUE(table.Eof());
    EXPECT_FALSE(table.Found());
    EXPECT_EQ(errorOf([&] { table.IndexOpen(dir / "FEHLT.NTX"); }),
              "Index file does not exist.\rFile: " + dir.path() + "FEHLT.NTX");
    EXPECT_EQ(errorOf([&] { table.Index(dir / "X.NTX", "UPPER(ARTNUM"); }),
              "Invalid index expression [UPPER(ARTNUM]");
    EXPECT_FALSE(std::filesystem::exists(dir / "X.NTX"));
}

TEST_F(TableEngineTest, SeveralIndexesKeepTheRecordWhenTheOrderChanges) {
    createArticles();
    TApolloTable table;
    open(table, "ARTIKEL.DBF", true);
    appendArticle(table, "200", 3);
    appendArticle(table, "100", 5);
    table.Index(dir / "NR.NTX", "ARTNUM");
    table.Index(dir / "PR.NTX", "PREIS");  // a build leaves only its own index open
    table.Close();

    open(table, "ARTIKEL.DBF");
    int byNumber = table.IndexOpen(dir / "NR.NTX");
    int byPrice = table.IndexOpen(dir / "PR.NTX");
    EXPECT_NE(byNumber, byPrice);
    EXPECT_EQ(table.Order(), byPrice);  // the last opened index is current
    EXPECT_TRUE(FindRecordByKey(table, byNumber, "100          "));
    long record = table.RecNo();
    table.SetOrder(byPrice);
    EXPECT_EQ(table.RecNo(), record);
    table.First();
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "200");  // cheaper first
    // A new record reaches every open index through Post.
    appendArticle(table, "050", 1);
    table.First();
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "050");
    EXPECT_TRUE(FindRecordByKey(table, byNumber, "050          "));
}

TEST_F(TableEngineTest, RebuildIndexWritesTheIndexAndClosesTheTable) {
    createArticles();
    {
        TApolloTable table;
        open(table, "ARTIKEL.DBF");
        for (const char* number : {"B", "A"}) appendArticle(table, number, 1);
    }
    TApolloTable table;
    table.SetDatabaseName(dir.path());
    table.SetTableName("ARTIKEL");
    table.SetExclusive(true);
    int last = -1;
    RebuildIndex(table, dir / "ARTIKEL.NTX", "ARTNUM", [&](int percent) { last = percent; });
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(last, 100);
    table.Open();
    table.IndexOpen(dir / "ARTIKEL.NTX");
    table.First();
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "A");
}

TEST_F(TableEngineTest, CreateFieldWithWidthZeroFailsBeforeAnythingIsWritten) {
    TApolloTable creator;
    ASSERT_TRUE(creator.CreateNew(dir / "NEU.DBF", kTableTypeNtx, 2));
    creator.CreateField("FELD1", "C", 5, 0);
    EXPECT_EQ(errorOf([&] { creator.CreateField("FELD2", "C", 0, 0); }), "Invalid field length.");
    EXPECT_FALSE(std::filesystem::exists(dir / "NEU.DBF"));
}

TEST_F(TableEngineTest, CopiesAndAppendFromText) {
    createArticles();
    TApolloTable table;
    open(table, "ARTIKEL.DBF");
    appendArticle(table, "A", 1.5);
    table.Edit();
    table.FieldByName("NOTIZ").SetAsString("Memo");
    table.Post();
    table.Close();

    EXPECT_TRUE(table.CopyStructure(dir / "LEER.DBF"));
    EXPECT_FALSE(table.Active());
    open(table, "ARTIKEL.DBF");
    EXPECT_TRUE(table.CopyTable(dir / "KOPIE.DBF"));
    table.Close();

    TApolloTable copy;
    open(copy, "LEER.DBF");
    EXPECT_EQ(copy.FieldCount(), 7);
    EXPECT_EQ(copy.RecordCount(), 0);
    copy.Close();
    open(copy, "KOPIE.DBF");
    EXPECT_EQ(copy.RecordCount(), 1);
    EXPECT_EQ(copy.FieldByName("NOTIZ").AsString(), "Memo");
    copy.Close();

    ASSERT_TRUE(create("SDF.DBF", {{"NR", "C", 4, 0}, {"TEXT", "C", 6, 0}}));
    testing::WriteFile(dir / "QUELLE.SDF", "0001Erste \r\n0002Zweite\r\n");
    open(copy, "SDF.DBF", true);
    EXPECT_TRUE(copy.AppendFrom(dir / "QUELLE.SDF", kSdfFile, ""));
    EXPECT_EQ(copy.RecordCount(), 2);
    copy.First();
    copy.Next();
    EXPECT_EQ(copy.FieldByName("NR").AsString(), "0002");
    EXPECT_EQ(copy.FieldByName("TEXT").AsString(), "Zweite");
    EXPECT_FALSE(copy.AppendFrom(dir / "FEHLT.SDF", kSdfFile, ""));
}

TEST_F(TableEngineTest, InsertAndEditStatesAgainstTheFile) {
    createArticles();
    TApolloTable table;
    open(table, "ARTIKEL.DBF");
    table.SetOnNewRecord([](TApolloTable& t) { t.FieldByName("STINK").SetAsBoolean(true); });
    table.Append();
    table.Append();
    table.FieldByName("ARTNUM").SetAsString("A");
    table.Append();  // writes "A", drops the untouched ones
    table.FieldByName("ARTNUM").SetAsString("B");
    table.Close();  // drops "B"
    open(table, "ARTIKEL.DBF");
    ASSERT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "A");
    EXPECT_TRUE(table.FieldByName("STINK").AsBoolean());

    table.Edit();
    table.FieldByName("PREIS").SetAsFloat(9.99);
    table.Post();
    EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(rawRecord(dir / "ARTIKEL.DBF", 1).substr(24, 10), "      9.99");
    table.Edit();
    EXPECT_NE(errorOf([&] { table.FieldByName("PREIS").SetAsFloat(1e9); }).find("PREIS"),
              std::string::npos);
}

TEST_F(TableEngineTest, AssignStoresWhatTheTextDetourStores) {
    ASSERT_TRUE(create("QUELLE.DBF", {{"LANG", "C", 12, 0}, {"KURZ", "C", 4, 0},
                                      {"ZAHL", "N", 8, 2}, {"ZTEXT", "C", 8, 0}}));
    ASSERT_TRUE(create("ZIEL.DBF", {{"LANG", "C", 12, 0}, {"KURZ", "C", 4, 0},
                                    {"ZAHL", "N", 8, 2}, {"ZTEXT", "C", 8, 0}}));
    TApolloTable source;
    open(source, "QUELLE.DBF");
    source.Append();
    source.FieldByName("LANG").SetAsString("\xE2\x82\xAC Gr\xC3\xB6\xC3\x9F\xC2\x81 ");
    source.FieldByName("KURZ").SetAsString("  ab");
    source.FieldByName("ZAHL").SetAsString("12,5");
    source.FieldByName("ZTEXT").SetAsString("7.25");
    source.Post();

    TApolloTable target;
    open(target, "ZIEL.DBF");
    // Record 1 the long way, record 2 by Assign; a wide text goes into a
    // narrow one, a narrow into a wide, number to text and text to number.
    const std::vector<std::pair<const char*, const char*>> pairs{
        {"KURZ", "LANG"}, {"LANG", "KURZ"}, {"ZTEXT", "ZAHL"}, {"ZAHL", "ZTEXT"}};
    for (bool assign : {false, true}) {
        target.Append();
        for (const auto& [to, from] : pairs) {
            TApolloField& field = target.FieldByName(to);
            if (assign) {
                field.Assign(source.FieldByName(from));
            } else {
                field.SetAsString(source.FieldByName(from).AsString());
            }
        }
        target.Post();
    }
    target.Close();
    const std::string detour = rawRecord(dir / "ZIEL.DBF", 1);
    ASSERT_FALSE(detour.empty());
    EXPECT_EQ(rawRecord(dir / "ZIEL.DBF", 2), detour);
    EXPECT_EQ(detour.substr(1, 12), "  ab        ");
    EXPECT_EQ(detour.substr(13, 4), "\x80 Gr");

    // Within one record a field may take the value of another.
    source.Edit();
    source.FieldByName("KURZ").Assign(source.FieldByName("LANG"));
    source.FieldByName("LANG").Assign(source.FieldByName("LANG"));
    source.Post();
    EXPECT_EQ(source.FieldByName("KURZ").AsString(), "\xE2\x82\xAC Gr");
    EXPECT_EQ(source.FieldByName("LANG").AsString(),
              "\xE2\x82\xAC Gr\xC3\xB6\xC3\x9F\xC2\x81");
}

TEST_F(TableEngineTest, TextAndMemoRecordStaysCurrentAfterPost) {
    ASSERT_TRUE(create("TEXTE.DBF", {{"A", "C", 5, 0}, {"B", "C", 3, 0}, {"N", "M", 10, 0}}));
    TApolloTable table;
    open(table, "TEXTE.DBF", true);
    for (const char* value : {"eins", "zwei"}) {
        table.Append();
        table.FieldByName("A").SetAsString(value);
        table.FieldByName("B").SetAsString("\xC3\xA4");
        table.Post();
        EXPECT_FALSE(table.Eof());
        EXPECT_FALSE(table.Modified());
        EXPECT_EQ(table.FieldByName("A").AsString(), value);
        EXPECT_EQ(table.GetString("B"), "\xC3\xA4  ");
    }
    EXPECT_EQ(table.RecNo(), 2);
    table.Edit();
    table.FieldByName("N").SetAsString("Notiz");
    table.Post();
    EXPECT_EQ(table.FieldByName("N").AsString(), "Notiz");
    // A later edit that leaves the memo alone keeps it.
    table.Edit();
    EXPECT_EQ(table.FieldByName("A").AsString(), "zwei");
    table.FieldByName("B").SetAsString("xyz!");
    table.Post();
    EXPECT_EQ(table.FieldByName("N").AsString(), "Notiz");
    table.First();
    EXPECT_EQ(table.FieldByName("A").AsString(), "eins");
    EXPECT_TRUE(table.FieldByName("N").IsNull());
    table.Next();
    EXPECT_EQ(table.FieldByName("B").AsString(), "xyz");
    EXPECT_EQ(table.FieldByName("N").AsString(), "Notiz");
    table.Next();
    EXPECT_TRUE(table.Eof());
    table.Close();
    EXPECT_EQ(rawRecord(dir / "TEXTE.DBF", 2).substr(0, 9), " zwei xyz");
}

// Another program changes one field of a record while this table edits
// another one: the commit keeps both changes, and the object shows both.
TEST_F(TableEngineTest, SharedCommitKeepsWhatAnotherProgramChangedMeanwhile) {
    ASSERT_TRUE(create("TEXTE.DBF", {{"A", "C", 5, 0}, {"B", "C", 5, 0}}));
    TApolloTable table;
    open(table, "TEXTE.DBF");
    table.Append();
    table.FieldByName("A").SetAsString("alt");
    table.FieldByName("B").SetAsString("alt");
    table.Post();
    table.First();
    table.Edit();
    table.FieldByName("A").SetAsString("unser");
    const std::string path = dir / "TEXTE.DBF";
    ASSERT_EQ(inChild([&] {
                  // Field B of record 1, written under the record's lock.
                  int fd = ::open(path.c_str(), O_RDWR);
                  struct flock lock {};
                  lock.l_type = F_WRLCK;
                  lock.l_whence = SEEK_SET;
                  lock.l_start = 1000000000 + 1;
                  lock.l_len = 1;
                  if (fd < 0 || fcntl(fd, F_SETLK, &lock) != 0) return 1;
                  off_t at = littleEndian(testing::ReadFile(path), 8, 2) + 1 + 5;
                  return pwrite(fd, "fremd", 5, at) == 5 && close(fd) == 0 ? 0 : 2;
              }),
              0);
    table.Post();
    EXPECT_EQ(table.FieldByName("A").AsString(), "unser");
    EXPECT_EQ(table.FieldByName("B").AsString(), "fremd");
    table.Close();
    EXPECT_EQ(rawRecord(path, 1), " unserfremd");
}

// A damaged index page: a seek that reaches it is not found (and Found says
// so), a walk raises instead of running for ever, and the table stands at
// its end afterwards.
TEST_F(TableEngineTest, DamagedIndexEndsSeeksAndWalksWithAnError) {
    createArticles();
    TApolloTable table;
    open(table, "ARTIKEL.DBF", true);
    for (int i = 1; i <= 300; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%04d", i);
        appendArticle(table, number, 1);
    }
    table.Index(dir / "NR.NTX", "ARTNUM");
    table.Close();
    // The root's second child gets a key count beyond what a page holds.
    std::string ntx = testing::ReadFile(dir / "NR.NTX");
    const unsigned root = littleEndian(ntx, 4, 4);
    const unsigned child = littleEndian(ntx, root + littleEndian(ntx, root + 4, 2), 4);
    ASSERT_GT(child, 0u);
    const std::string damagedKey = ntx.substr(child + littleEndian(ntx, child + 2, 2) + 8, 13);
    ntx[child] = static_cast<char>(0x90);
    ntx[child + 1] = 0x01;
    testing::WriteFile(dir / "NR.NTX", ntx);

    open(table, "ARTIKEL.DBF");
    int order = table.IndexOpen(dir / "NR.NTX");
    EXPECT_TRUE(FindRecordByKey(table, order, "0001         "));
    EXPECT_FALSE(FindRecordByKey(table, order, damagedKey)) << damagedKey;
    EXPECT_FALSE(table.Found());
    EXPECT_TRUE(table.Eof());

    table.First();
    std::string error = errorOf([&] {
        for (int steps = 0; !table.Eof() && steps < 1000; ++steps) table.Next();
    });
    EXPECT_EQ(error.rfind("Fehler beim Lesen von ARTIKEL.DBF: ", 0), 0u) << error;
    EXPECT_NE(error.find("NR.NTX"), std::string::npos) << error;
    EXPECT_TRUE(table.Eof());
}

}  // namespace
}  // namespace zer1
