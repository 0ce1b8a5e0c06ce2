#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "common/ui_services.h"
#include "dgh_member.h"
#include "imports/dgh_import.h"
#include "imports/dgh_source.h"
#include "imports/working_table.h"
#include "storage/apollo_table.h"
#include "tests/support/command_output.h"
#include "tests/support/raw_dbf.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using testing::ReadRawDbf;

using testing::Utf16Le;

std::string Pad(std::string value, std::size_t width) {
    value.resize(width, ' ');
    return value;
}

using testing::CommandOutput;

class WorkingTableTest : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // Opens a working table the way the import run does: exclusive, emptied.
    void OpenWorking(TApolloTable& table, const std::string& name) {
        table.SetDatabaseName(dir_.string());
        table.SetTableName(name);
        table.SetTableType(ttSXNTX);
        table.SetExclusive(true);
        table.Open();
        table.Zap();
    }

    testing::TempDir scratch_;
    const fs::path dir_{scratch_.path()};
};

TEST_F(WorkingTableTest, CreatesTheFourteenFieldsInOrder) {
    ASSERT_TRUE(CreateWorkingTable(Path("TMPDGH.DBF")));
    auto dbf = ReadRawDbf(Path("TMPDGH.DBF"));
    ASSERT_EQ(dbf.fields.size(), 14u);
    const int widths[] = {13, 40, 10, 10, 15, 40, 40, 13, 13, 8, 2, 1, 13, 10};
    for (int i = 0; i < 14; ++i) {
        SCOPED_TRACE(i);
        std::string name = dbf.fields[i].name;
        for (char& c : name) c = static_cast<char>(std::toupper(c));
        EXPECT_EQ(name, "FELD" + std::to_string(i + 1));
        EXPECT_EQ(dbf.fields[i].type, i == 13 ? 'M' : 'C');
        EXPECT_EQ(dbf.fields[i].width, widths[i]);
        EXPECT_EQ(dbf.fields[i].decimals, 0);
    }
    EXPECT_TRUE(dbf.records.empty());
    EXPECT_TRUE(fs::exists(Path("TMPDGH.DBT")));

    // An independent reader sees the same layout.
    std::string layout =
        CommandOutput("/usr/bin/python3 -c \"import dbf; t = dbf.Table('" + Path("TMPDGH.DBF") +
                      "'); t.open(); print(len(t), ';'.join(t.structure()))\" 2>&1");
    EXPECT_NE(layout.find("0 feld1 C(13);feld2 C(40);feld3 C(10)"), std::string::npos) << layout;
    EXPECT_NE(layout.find("feld13 C(13);feld14 M"), std::string::npos) << layout;
}

TEST_F(WorkingTableTest, CreationWorksWhileAnotherWorkingTableIsOpen) {
    ASSERT_TRUE(CreateWorkingTable(Path("TMPDGH.DBF")));
    TApolloTable apTmpDgh;
    OpenWorking(apTmpDgh, "TMPDGH.DBF");

    ASSERT_TRUE(CreateWorkingTable(Path("TMPFOTOCO.DBF")));
    EXPECT_EQ(ReadRawDbf(Path("TMPFOTOCO.DBF")).fields.size(), 14u);

    // The open table object is untouched and still takes records.
    ASSERT_TRUE(apTmpDgh.Active());
    AppendDghLine(apTmpDgh, "a;b;1;T;L;x;4711;G", [] { return 2026y / May / 4d; });
    apTmpDgh.Close();
    auto dbf = ReadRawDbf(Path("TMPDGH.DBF"));
    ASSERT_EQ(dbf.records.size(), 1u);
    EXPECT_EQ(dbf.Value(1, "FELD1"), Pad("4711", 13));
    EXPECT_EQ(ReadRawDbf(Path("TMPFOTOCO.DBF")).records.size(), 0u);
}

TEST_F(WorkingTableTest, CreationIntoAMissingDirectoryFails) {
    EXPECT_FALSE(CreateWorkingTable(Path("fehlt/TMPDGH.DBF")));
    EXPECT_FALSE(fs::exists(Path("fehlt")));
}

TEST_F(WorkingTableTest, ImportStoresEveryLineInWindows1252) {
    ASSERT_TRUE(CreateWorkingTable(Path("TMPDGH.DBF")));
    std::u16string text = u"\uFEFF";
    text += u"zus;atz;123;gr\u00FCn \u20AC;lief;x;4711;;;;;; 1.50;2.99 EUR;;WG1\r\n";
    text += u"\r\n";  // an empty line gives no record
    text += u"a;b;999;Smiley \U0001F600!;l;x; ;;;;;;0.10;0.00;3.49;WG2\r\n";
    text += u"\r\n\r\n";
    text += u"c;d;5;letzte;l;x;42;;;;;;1;2;;WG3";  // no terminator
    std::string member = Path("artikel.txt");
    std::ofstream(member, std::ios::binary) << Utf16Le(text);

    TApolloTable working;
    OpenWorking(working, "TMPDGH.DBF");
    RecordingUiServices ui;
    ScopedUiServices ui_scope(&ui);
    long stored = ImportDghSourceFile(working, member, [] { return 2026y / March / 9d; });
    EXPECT_EQ(stored, 3);
    EXPECT_GE(ui.process_events_calls, 1);
    working.Close();

    auto dbf = ReadRawDbf(Path("TMPDGH.DBF"));
    ASSERT_EQ(dbf.records.size(), 3u);
    EXPECT_EQ(dbf.Value(1, "FELD1"), Pad("4711", 13));
    EXPECT_EQ(dbf.Value(1, "FELD2"), Pad("GR\xFCN \x80", 40));  // u-umlaut and euro sign
    EXPECT_EQ(dbf.Value(1, "FELD3"), "      2.99");
    EXPECT_EQ(dbf.Value(1, "FELD4"), std::string(10, ' '));  // leading blank
    EXPECT_EQ(dbf.Value(1, "FELD5"), Pad("LIEF", 15));
    EXPECT_EQ(dbf.Value(1, "FELD6"), Pad("ZUSATZ", 40));
    EXPECT_EQ(dbf.Value(1, "FELD7"), std::string(40, ' '));
    EXPECT_EQ(dbf.Value(1, "FELD8"), std::string(13, ' '));
    EXPECT_EQ(dbf.Value(1, "FELD9"), Pad("DGHWG1", 13));
    EXPECT_EQ(dbf.Value(1, "FELD10"), "09.03.26");
    EXPECT_EQ(dbf.Value(1, "FELD11"), "DG");
    EXPECT_EQ(dbf.Value(1, "FELD12"), "1");
    EXPECT_EQ(dbf.Value(1, "FELD13"), Pad("/123", 13));
    EXPECT_EQ(dbf.Value(1, "FELD14"), std::string(10, ' '));

    EXPECT_EQ(dbf.Value(2, "FELD1"), Pad("!DGH999", 13));
    EXPECT_EQ(dbf.Value(2, "FELD2"), Pad("SMILEY ?!", 40));  // one "?" for the pair
    EXPECT_EQ(dbf.Value(2, "FELD3"), "      3.49");
    EXPECT_EQ(dbf.Value(2, "FELD4"), "      0.10");

    EXPECT_EQ(dbf.Value(3, "FELD2"), Pad("LETZTE", 40));
    EXPECT_EQ(dbf.Value(3, "FELD9"), Pad("DGHWG3", 13));

    // Read back through the table layer, the texts are UTF-8 again.
    working.Open();
    working.First();
    EXPECT_EQ(working.FieldByName("FELD2").AsString(), "GR\xC3\xBCN \xE2\x82\xAC");
}

TEST_F(WorkingTableTest, ImportStoresWhatTheUtf8RoadStores) {
    // Tricky lines over more than one read block, with terminators of both
    // orders, blank lines and an odd last byte; the import must store the
    // very bytes that decoding to UTF-8, converting and storing through
    // SetAsString store.
    std::u16string text = u"\uFEFF";
    int n = 0;
    for (const std::u16string& line : testing::TrickyDghLines(6000)) {
        text += line;
        text += ++n % 7 == 0 ? u"\n\r" : u"\r\n";
        if (n % 11 == 0) text += u" \r\n";
    }
    const std::string bytes = Utf16Le(text) + "z";
    ASSERT_GT(bytes.size(), 2 * kDghReadBlockSize);
    const std::string member = Path("artikel.txt");
    std::ofstream(member, std::ios::binary) << bytes;
    const auto today = [] { return 2026y / March / 9d; };

    ASSERT_TRUE(CreateWorkingTable(Path("TMPDGH.DBF")));
    TApolloTable working;
    OpenWorking(working, "TMPDGH.DBF");
    const long stored = ImportDghSourceFile(working, member, today);
    working.Close();

    ASSERT_TRUE(CreateWorkingTable(Path("UTF8ROAD.DBF")));
    TApolloTable reference;
    OpenWorking(reference, "UTF8ROAD.DBF");
    const std::vector<std::string> lines = DecodeDghLines(bytes);
    for (const std::string& line : lines) AppendDghLine(reference, line, today);
    reference.Close();

    EXPECT_EQ(stored, static_cast<long>(lines.size()));
    const auto got = ReadRawDbf(Path("TMPDGH.DBF"));
    const auto expected = ReadRawDbf(Path("UTF8ROAD.DBF"));
    ASSERT_EQ(got.records.size(), expected.records.size());
    for (std::size_t i = 0; i < got.records.size(); ++i) {
        ASSERT_EQ(got.records[i], expected.records[i]) << "record " << i + 1;
    }
}

TEST_F(WorkingTableTest, TableIsFirstTouchedByTheFirstLine) {
    // A member of blank lines stores nothing and needs no open table; a
    // missing member is reported as such whatever state the table is in.
    const std::string member = Path("leer.txt");
    std::ofstream(member, std::ios::binary) << Utf16Le(u"\uFEFF \r\n\t\r\n\r\n");
    TApolloTable closed;
    EXPECT_EQ(ImportDghSourceFile(closed, member), 0);
    const std::string missing = Path("fehlt.txt");
    try {
        ImportDghSourceFile(closed, missing);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
}

TEST_F(WorkingTableTest, MissingSourceFileIsAnErrorNamingIt) {
    ASSERT_TRUE(CreateWorkingTable(Path("TMPDGH.DBF")));
    TApolloTable working;
    OpenWorking(working, "TMPDGH.DBF");
    std::string missing = Path("fehlt.txt");
    try {
        ImportDghSourceFile(working, missing);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_EQ(working.RecordCount(), 0);
}

}  // namespace
}  // namespace zer1
