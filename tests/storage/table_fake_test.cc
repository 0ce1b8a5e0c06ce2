// The table layer against the fake engine: what it asks of the engine, in
// which order, and the errors it raises before the engine is reached.
#include <gtest/gtest.h>

#include "fake_engine.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using Calls = std::vector<std::string>;

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EApolloError& e) {
        return e.what();
    }
    return "<no error>";
}

bool contains(const Calls& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// Calls without the Select before each, to compare sequences.
Calls withoutSelects(const Calls& calls) {
    Calls result;
    for (const auto& c : calls) {
        if (c.rfind("Select(", 0) != 0) result.push_back(c);
    }
    return result;
}

class TableFakeTest : public ::testing::Test {
  protected:
    TableFakeTest() {
        fake::reset();
        fake::state().nextFields = {{"ARTNUM", 'C', 10, 0}, {"PREIS", 'N', 8, 2},
                                    {"STSATZ", 'N', 2, 0},  {"DATUM", 'D', 8, 0},
                                    {"STINK", 'L', 1, 0},   {"NOTIZ", 'M', 10, 0}};
        fake::state().nextRecords = {" A1           12.50 120260131T          ",
                                     " B2            1.00 2        F          "};
        testing::WriteFile(dir / "MLAGER.DBF", "");
        table.SetDatabaseName(dir.path());
        table.SetTableName("MLAGER.DBF");
    }

    fake::Engine& engine() { return fake::state(); }
    std::string storedRecord(int n) { return engine().cur().records.at(n - 1); }

    ScopedEngineOverride useFake{fake::api()};
    testing::TempDir dir;
    TApolloTable table;
};

TEST_F(TableFakeTest, FullFileNameJoinsDirectoryAndFileNamePart) {
    TApolloTable t;
    t.SetDatabaseName("/data");
    t.SetTableName("TMPDGH");
    EXPECT_EQ(t.FullFileName(), "/data/TMPDGH.DBF");
    t.SetDatabaseName("/data/");
    t.SetTableName("elsewhere/VUROZE.LIC");
    EXPECT_EQ(t.FullFileName(), "/data/VUROZE.LIC");
    t.SetDatabaseName("");
    EXPECT_EQ(t.FullFileName(), "VUROZE.LIC");
}

TEST(TableAlias, EightLettersAndDigitsAppendedWhileTaken) {
    std::vector<std::string> taken;
    auto isTaken = [&](const std::string& a) {
        return std::find(taken.begin(), taken.end(), a) != taken.end();
    };
    EXPECT_EQ(MakeTableAlias("TMPDGH.DBF", isTaken), "TMPDGH");
    EXPECT_EQ(MakeTableAlias("/out/tmpfotoco.dbf", isTaken), "TMPFOTOC");
    EXPECT_EQ(MakeTableAlias("FO_1.DBF", isTaken), "FO__");
    EXPECT_EQ(MakeTableAlias("Ärger.dbf", isTaken), "_RGER");
    taken = {"TMPDGH"};
    EXPECT_EQ(MakeTableAlias("TMPDGH.DBF", isTaken), "TMPDGH1");
    taken = {"TMPDGH", "TMPDGH1"};
    EXPECT_EQ(MakeTableAlias("TMPDGH.DBF", isTaken), "TMPDGH12");
    taken = {"TMPFOTOC", "TMPFOTO1"};
    EXPECT_EQ(MakeTableAlias("TMPFOTOCO.DBF", isTaken), "TMPFOTO2");
}

TEST_F(TableFakeTest, OpenPassesModeCommitLevelTranslationAndPassword) {
    table.SetExclusive(true);
    table.SetCommitLevel(clFull);
    table.SetOEMTranslate(true);
    table.SetPassword("geheim");
    table.Open();
    Calls calls = withoutSelects(engine().takeCalls());
    Calls expected = {"ErrorLevel(0)", "UseEx(MLAGER,2,1,0)", "ErrorLevel(1)", "SetTranslate(1)",
                      "SetPassword(geheim)"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(table.Alias(), "MLAGER");
    EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
    table.Open();  // already open: nothing happens
    EXPECT_FALSE(contains(engine().takeCalls(), "UseEx(MLAGER,2,1,0)"));
    table.Close();

    table.SetExclusive(false);
    table.SetReadOnly(true);
    table.SetCommitLevel(clNormal);
    table.SetOEMTranslate(false);
    table.SetPassword("");
    table.Open();
    calls = engine().takeCalls();
    EXPECT_TRUE(contains(calls, "UseEx(MLAGER,1,1,1)"));
    EXPECT_TRUE(contains(calls, "SetTranslate(0)"));
    table.Close();
    table.SetReadOnly(false);
    table.Open();
    EXPECT_TRUE(contains(engine().takeCalls(), "UseEx(MLAGER,0,1,1)"));

    // On an open table both take effect at once and the record is read again.
    table.Next();
    engine().takeCalls();
    table.SetPassword("neu");
    table.SetOEMTranslate(true);
    EXPECT_EQ(withoutSelects(engine().takeCalls()),
              (Calls{"SetPassword(neu)", "Go(2)", "SetTranslate(1)", "Go(2)"}));
}

TEST_F(TableFakeTest, OpenFailures) {
    table.SetTableName("FEHLT");
    EXPECT_EQ(errorOf([&] { table.Open(); }),
              "Table, file or directory does not exist.\rFile: " + dir.path() + "FEHLT.DBF");
    table.SetTableName("mlager");  // found without regard to case
    engine().refuseOpen = true;
    EXPECT_EQ(errorOf([&] { table.Open(); }), "Unable to open table: " + dir.path() + "mlager.DBF");
    EXPECT_FALSE(table.Active());
}

TEST_F(TableFakeTest, SecondTableOfTheSameNameGetsItsOwnAlias) {
    TApolloTable second;
    second.SetDatabaseName(dir.path());
    second.SetTableName("mlager.dbf");
    table.Open();
    second.Open();
    EXPECT_EQ(second.Alias(), "MLAGER1");
    EXPECT_NE(second.WorkArea(), table.WorkArea());
}

TEST_F(TableFakeTest, OpenAndClosedTableMisuse) {
    const std::string closed = "Cannot perform this operation on a closed table";
    EXPECT_EQ(errorOf([&] { table.First(); }), closed);
    EXPECT_EQ(errorOf([&] { table.Append(); }), closed);
    EXPECT_EQ(errorOf([&] { table.Seek("x"); }), closed);
    EXPECT_EQ(errorOf([&] { table.Zap(); }), closed);
    EXPECT_EQ(errorOf([&] { table.FieldByName("ARTNUM"); }), closed);
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_EQ(table.GetString("ARTNUM"), "");
    table.Close();  // closed: no effect

    table.Open();
    const std::string open = "Cannot perform this operation on an open table";
    EXPECT_EQ(errorOf([&] { table.SetTableName("X.DBF"); }), open);
    EXPECT_EQ(errorOf([&] { table.SetExclusive(true); }), open);
    EXPECT_EQ(table.TableName(), "MLAGER.DBF");
    EXPECT_FALSE(table.Exclusive());
}

TEST_F(TableFakeTest, FieldsReadFromTheCurrentRecord) {
    table.Open();
    ASSERT_EQ(table.FieldCount(), 6);
    EXPECT_EQ(table.FieldByName("artnum").AsString(), "A1");
    EXPECT_EQ(table.GetString("ARTNUM"), "A1        ");
    EXPECT_DOUBLE_EQ(table.FieldByName("PREIS").AsFloat(), 12.5);
    EXPECT_EQ(table.FieldByName("PREIS").AsString(), "12.50");
    EXPECT_EQ(table.Fields(2).Kind(), TFieldKind::SmallInt);
    EXPECT_EQ(table.Fields(2).AsInteger(), 1);
    EXPECT_EQ(table.FieldByName("DATUM").AsString(), "31.01.2026");
    EXPECT_TRUE(table.FieldByName("STINK").AsBoolean());
    EXPECT_EQ(table.FindField("FEHLT"), nullptr);
    EXPECT_EQ(errorOf([&] { table.FieldByName("FEHLT"); }), "Field 'FEHLT' not found");
    EXPECT_FALSE(table.FieldIsEmpty("PREIS"));

    table.Next();
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "B2");
    EXPECT_FALSE(table.FieldByName("DATUM").AsDate().has_value());
    EXPECT_EQ(table.FieldByName("DATUM").AsString(), "");
    EXPECT_TRUE(table.FieldIsEmpty("DATUM"));
    EXPECT_FALSE(table.FieldByName("STINK").AsBoolean());
    table.Next();
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.RecordCount(), 2);
}

TEST_F(TableFakeTest, PostOfAnInsertAppendsPutsCommitsAndUnlocks) {
    table.Open();
    int handlerCalls = 0;
    table.SetOnNewRecord([&](TApolloTable& t) {
        ++handlerCalls;
        t.FieldByName("PREIS").SetAsFloat(0);
        t.FieldByName("STINK").SetAsBoolean(true);
    });
    engine().takeCalls();
    table.Append();
    EXPECT_EQ(handlerCalls, 1);
    EXPECT_EQ(table.State(), TDataSetState::dsInsert);
    EXPECT_FALSE(table.Modified());                             // defaults are not changes
    EXPECT_TRUE(withoutSelects(engine().takeCalls()).empty());  // nothing written yet

    table.FieldByName("ARTNUM").SetAsString("NEU");
    table.FieldByName("NOTIZ").SetAsString("Notiz");
    table.Post();
    Calls expected = {"AppendRecord", "PutMemo(NOTIZ)", "Commit", "Unlock(0)"};
    EXPECT_EQ(withoutSelects(engine().takeCalls()), expected);
    EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(storedRecord(3), std::string(" NEU       ") + "    0.00" + "  " + "        " + "T" +
                                   std::string(10, ' '));
    EXPECT_EQ(table.RecNo(), 3);
    EXPECT_EQ(table.FieldByName("NOTIZ").AsString(), "Notiz");
}

TEST_F(TableFakeTest, AppendWritesAPendingChangeOnlyWhenAFieldWasSet) {
    table.Open();
    table.SetOnNewRecord([](TApolloTable& t) { t.FieldByName("STINK").SetAsBoolean(true); });
    table.Append();
    table.Append();  // nothing set: the first one is dropped
    EXPECT_EQ(engine().cur().records.size(), 2u);
    table.FieldByName("ARTNUM").SetAsString("C3");
    table.Append();  // the set one is written first
    ASSERT_EQ(engine().cur().records.size(), 3u);
    EXPECT_EQ(storedRecord(3).substr(0, 11), " C3        ");
    engine().takeCalls();
    table.FieldByName("ARTNUM").SetAsString("D4");
    int area = table.WorkArea();
    table.Close();  // a pending insert is discarded
    EXPECT_FALSE(contains(engine().takeCalls(), "PutRecord"));
    EXPECT_EQ(engine().areas.count(area), 0u);
}

TEST_F(TableFakeTest, EditStateWritesOnlyModifiedRecords) {
    table.Open();
    engine().takeCalls();
    table.Edit();
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
    // The edit starts from the record the last move read: no second read.
    EXPECT_TRUE(withoutSelects(engine().takeCalls()).empty());
    table.Next();  // unmodified edit: dropped
    EXPECT_FALSE(contains(engine().takeCalls(), "PutRecord"));
    table.Edit();
    table.FieldByName("PREIS").SetAsFloat(2.5);
    table.Edit();  // pending edit: no effect, the change stays
    EXPECT_EQ(table.FieldByName("PREIS").AsString(), "2.50");
    table.First();  // moving writes the modified record
    EXPECT_TRUE(contains(engine().takeCalls(), "PutRecord"));
    EXPECT_FALSE(contains(engine().calls, "AppendRecord"));
    EXPECT_EQ(storedRecord(2).substr(11, 8), "    2.50");

    EXPECT_EQ(errorOf([&] { table.FieldByName("PREIS").SetAsFloat(1); }),
              "Dataset not in edit or insert mode");
    table.Next();
    table.Next();
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(errorOf([&] { table.Edit(); }), "No current record");
}

TEST_F(TableFakeTest, FailedAppendKeepsTheInsertPending) {
    table.Open();
    table.Append();
    table.FieldByName("ARTNUM").SetAsString("X");
    engine().failAppend = true;
    EXPECT_NE(errorOf([&] { table.Post(); }).find("append refused"), std::string::npos);
    EXPECT_EQ(table.State(), TDataSetState::dsInsert);
    engine().failAppend = false;
    table.Post();
    EXPECT_EQ(engine().cur().records.size(), 3u);
}

// Every way the layer writes a record, against an engine that refuses the
// commit: the failure is raised (or returned), nothing stays pending to be
// written later, the object shows what the file holds, and the file keeps
// what it had (a shared append is in the file before its commit).
TEST_F(TableFakeTest, EveryWritePathReportsARefusedCommit) {
    testing::WriteFile(dir / "KOPIE.DBF", "");
    auto changeRecord = [&] {
        table.Edit();
        table.FieldByName("ARTNUM").SetAsString("NEU");
    };
    auto changeMemo = [&] {
        table.Edit();
        table.FieldByName("NOTIZ").SetAsString("NEU");
    };
    auto changeBoth = [&] {
        changeRecord();
        table.FieldByName("NOTIZ").SetAsString("NEU");
    };
    auto insertRecord = [&] {
        table.Append();
        table.FieldByName("ARTNUM").SetAsString("NEU");
        table.FieldByName("NOTIZ").SetAsString("NEU");
    };
    struct WritePath {
        const char* name;
        std::function<void()> change;
        std::function<void()> write;  // raises
        bool appends = false;
        bool memoRefused = false;  // the memo write fails, not the commit
    };
    const std::vector<WritePath> paths = {
        {"Post of an edit", changeRecord, [&] { table.Post(); }},
        {"Post of a memo", changeMemo, [&] { table.Post(); }},
        {"Post of a refused memo", changeBoth, [&] { table.Post(); }, false, true},
        {"Post of an insert with a refused memo", insertRecord, [&] { table.Post(); }, true, true},
        {"Post of an insert", insertRecord, [&] { table.Post(); }, true},
        {"Append after an insert", insertRecord, [&] { table.Append(); }, true},
        {"Append after an edit", changeRecord, [&] { table.Append(); }},
        {"First", changeRecord, [&] { table.First(); }},
        {"Next", changeRecord, [&] { table.Next(); }},
        {"Refresh", changeRecord, [&] { table.Refresh(); }},
        {"SetOrder", changeRecord, [&] { table.SetOrder(0); }},
        {"SetOEMTranslate", changeRecord, [&] { table.SetOEMTranslate(false); }},
        {"CopyTable", changeRecord, [&] { table.CopyTable(dir / "KOPIE.DBF"); }},
        // Reports its failure through its result.
        {"AppendFrom", [] {},
         [&] {
             if (!table.AppendFrom(dir / "X.SDF", kSdfFile, "")) throw EApolloError("false");
         }},
    };
    for (bool exclusive : {false, true}) {
        for (const WritePath& path : paths) {
            SCOPED_TRACE(std::string(path.name) + (exclusive ? ", exclusive" : ", shared"));
            table.SetExclusive(exclusive);
            table.Open();
            path.change();
            engine().failMemo = path.memoRefused;
            engine().refuseCommit = path.memoRefused ? SX_ERR_NONE : SX_ERR_IO;
            std::string error = errorOf(path.write);
            engine().refuseCommit = SX_ERR_NONE;
            engine().failMemo = false;
            if (error != "false") {
                EXPECT_NE(error.find(" in MLAGER.DBF konnte nicht geschrieben werden: "),
                          std::string::npos)
                    << error;
                EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
            }
            const fake::Area& area = engine().cur();
            EXPECT_FALSE(area.pending.has_value());
            EXPECT_TRUE(area.pendingMemos.empty());
            const bool inFile = path.appends && !exclusive;
            EXPECT_EQ(area.records.size(), inFile ? 3u : 2u);
            if (table.State() == TDataSetState::dsBrowse) {
                std::string stored = area.recno <= static_cast<long>(area.records.size())
                                         ? area.records[area.recno - 1].substr(1, 10)
                                         : std::string(10, ' ');
                std::string shown = table.FieldByName("ARTNUM").AsString();
                shown.resize(10, ' ');
                EXPECT_EQ(shown, stored);
                EXPECT_EQ(table.FieldByName("NOTIZ").AsString(), "");
            }
            table.Cancel();
            table.First();  // a later move writes nothing that was refused
            for (size_t n = 0; n < area.records.size(); ++n) {
                EXPECT_EQ(area.records[n].find("NEU") != std::string::npos, inFile && n == 2)
                    << area.records[n];
            }
            EXPECT_TRUE(area.memos.empty());
            table.Close();
        }
    }
}

TEST_F(TableFakeTest, ReadOnlyTableRefusesChanges) {
    table.SetReadOnly(true);
    table.Open();
    const std::string readOnly = "Cannot modify a read-only data set";
    EXPECT_EQ(errorOf([&] { table.Append(); }), readOnly);
    EXPECT_EQ(errorOf([&] { table.Edit(); }), readOnly);
    EXPECT_EQ(errorOf([&] { table.Zap(); }), readOnly);
    EXPECT_EQ(errorOf([&] { table.AppendFrom(dir / "x.sdf", kSdfFile, ""); }), readOnly);
}

TEST_F(TableFakeTest, ZapNeedsExclusiveUse) {
    table.Open();
    EXPECT_EQ(errorOf([&] { table.Zap(); }),
              "Table must be opened in Exclusive mode to perform this operation");
    EXPECT_FALSE(contains(engine().calls, "Zap"));
    EXPECT_EQ(table.RecordCount(), 2);
    table.Close();
    table.SetExclusive(true);
    table.Open();
    table.Zap();
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_TRUE(table.Eof());
    table.Edit();  // on an empty table an edit starts a new record
    EXPECT_EQ(table.State(), TDataSetState::dsInsert);
}

TEST_F(TableFakeTest, BinaryIntegerAndBlobFields) {
    engine().nextFields = {{"ANZAHL", 'I', 4, 0}, {"BILD", 'B', 10, 0}};
    engine().nextRecords = {};
    table.Open();
    EXPECT_EQ(table.Fields(0).Kind(), TFieldKind::Integer);
    EXPECT_EQ(table.Fields(1).Kind(), TFieldKind::Blob);
    table.Append();
    EXPECT_EQ(table.Fields(0).AsInteger(), 0);
    table.Fields(0).SetAsInteger(-2);
    table.Fields(1).SetAsBytes(std::string("\x00\xFF\x10", 3));
    table.Post();
    EXPECT_EQ(engine().cur().records.at(0).substr(1, 4), "\xFE\xFF\xFF\xFF");
    EXPECT_EQ(table.Fields(0).AsInteger(), -2);
    EXPECT_EQ(table.Fields(0).AsString(), "-2");
    EXPECT_EQ(table.Fields(1).AsBytes(), std::string("\x00\xFF\x10", 3));
    EXPECT_NE(errorOf([&] { table.Fields(1).AsFloat(); }), "<no error>");
}

TEST_F(TableFakeTest, TextIsStoredAsWindows1252CutAfterEncoding) {
    table.Open();
    table.Append();
    TApolloField& text = table.FieldByName("ARTNUM");
    text.SetAsString("Änderung");
    EXPECT_EQ(table.GetString("ARTNUM"), "Änderung  ");
    text.SetAsString("ÄÖÜäöüßÄÖÜäöü");  // 13 characters, 26 bytes of UTF-8
    EXPECT_EQ(text.AsString(), "ÄÖÜäöüßÄÖÜ");
    text.SetAsString("Ω€");
    table.Post();
    EXPECT_EQ(storedRecord(3).substr(1, 10), std::string("?\x80        "));
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "?€");
}

TEST_F(TableFakeTest, StoredTextGoesInAsItIsCutAndPadded) {
    table.Open();
    table.Append();
    TApolloField& text = table.FieldByName("ARTNUM");
    // Windows-1252 bytes, among them some that are no UTF-8, are not converted.
    text.SetStoredText("\xC4nderung \x80\xFC");
    EXPECT_EQ(text.AsString(), "Änderung €");
    text.SetStoredText("\xFC");
    table.Post();
    EXPECT_EQ(storedRecord(3).substr(1, 10), std::string("\xFC         "));
    table.Edit();
    EXPECT_NE(errorOf([&] { table.FieldByName("PREIS").SetStoredText("1.00"); }), "<no error>");
    EXPECT_NE(errorOf([&] { table.FieldByName("NOTIZ").SetStoredText("x"); }), "<no error>");
}

TEST_F(TableFakeTest, NumbersThatDoNotFitAreRefusedNamingFieldAndValue) {
    table.Open();
    table.Edit();
    std::string error = errorOf([&] { table.FieldByName("PREIS").SetAsFloat(123456.5); });
    EXPECT_NE(error.find("PREIS"), std::string::npos) << error;
    EXPECT_NE(error.find("123456.5"), std::string::npos) << error;
    EXPECT_EQ(table.FieldByName("PREIS").AsString(), "12.50");  // unchanged
    EXPECT_NE(errorOf([&] { table.FieldByName("STSATZ").SetAsInteger(100); }), "<no error>");
    EXPECT_NE(errorOf([&] { table.FieldByName("PREIS").SetAsString("12a"); }), "<no error>");
    EXPECT_NE(errorOf([&] { table.FieldByName("DATUM").SetAsString("29.02.2026"); }), "<no error>");
    table.FieldByName("STSATZ").SetAsInteger(-9);
    EXPECT_EQ(table.FieldByName("STSATZ").AsInteger(), -9);
}

TEST_F(TableFakeTest, TextFormsOfEveryKindTravelUnchanged) {
    table.Open();
    TApolloTable copy;
    engine().nextRecords.clear();
    testing::WriteFile(dir / "BEWEGZ.DBF", "");
    copy.SetDatabaseName(dir.path());
    copy.SetTableName("BEWEGZ.DBF");
    copy.Open();
    for (int record = 1; record <= 2; ++record) {
        copy.Append();
        for (int i = 0; i < table.FieldCount(); ++i) {
            copy.FieldByName(table.Fields(i).FieldName()).SetAsString(table.Fields(i).AsString());
        }
        copy.Post();
        table.Next();
    }
    // Same structure, so the records are byte for byte the same.
    EXPECT_EQ(fake::state().areas.at(copy.WorkArea()).records,
              fake::state().areas.at(table.WorkArea()).records);

    copy.Edit();
    copy.FieldByName("DATUM").SetAsDate(
        TDate{std::chrono::year(2025), std::chrono::month(12), std::chrono::day(24)});
    copy.FieldByName("STINK").SetAsString("true");
    copy.FieldByName("PREIS").SetAsString("");
    EXPECT_EQ(copy.GetString("DATUM"), "20251224");
    EXPECT_EQ(copy.FieldByName("DATUM").AsString(), "24.12.2025");
    EXPECT_EQ(copy.GetString("STINK"), "T");
    EXPECT_TRUE(copy.FieldByName("PREIS").IsNull());
    EXPECT_EQ(copy.FieldByName("PREIS").AsString(), "");
    copy.FieldByName("DATUM").Clear();
    EXPECT_EQ(copy.GetString("DATUM"), "        ");
}

TEST_F(TableFakeTest, IndexChecksItsArgumentsAndTheExpressionFirst) {
    table.Open();
    EXPECT_EQ(errorOf([&] { table.Index("", "ARTNUM"); }),
              "Missing Parameter to Index Method: Index File Name");
    EXPECT_EQ(errorOf([&] { table.Index(dir / "X.NTX", ""); }),
              "Missing Parameter to Index or IndexTag Method: Index Expression");
    engine().evalTest = -1;
    EXPECT_EQ(errorOf([&] { table.Index(dir / "X.NTX", "UPPER(ARTNUM"); }),
              "Invalid index expression [UPPER(ARTNUM]");
    EXPECT_FALSE(contains(engine().calls, "Index(UPPER(ARTNUM,null)"));
    engine().evalTest = 0;  // compiles; a logical that is false is still fine
    engine().takeCalls();
    EXPECT_EQ(table.Index(dir / "X.NTX", "ARTNUM"), 1);
    Calls expected = {"EvalTest(ARTNUM)", "Index(ARTNUM,null)", "Select(1)"};
    Calls calls = engine().takeCalls();
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 1, calls.begin() + 4), expected);
    EXPECT_EQ(table.Order(), 1);
}

TEST_F(TableFakeTest, ProgressReachesTheCallbackAndFailuresWaitUntilTheEngineReturns) {
    table.Open();
    std::vector<int> seen;
    table.SetProgressWindow([&](int percent) { seen.push_back(percent); });
    table.Index(dir / "A.NTX", "ARTNUM");
    EXPECT_EQ(seen, (std::vector<int>{0, 50, 100}));

    table.SetProgressWindow([&](int percent) {
        if (percent == 50) throw std::runtime_error("bar gone");
    });
    engine().gaugeCallsReturned = 0;
    EXPECT_THROW(table.Index(dir / "B.NTX", "ARTNUM"), std::runtime_error);
    EXPECT_EQ(engine().gaugeCallsReturned, 3);  // the engine ran to its end
    table.SetProgressWindow({});
    EXPECT_EQ(engine().gauge, nullptr);

    // A table that goes away with its callback set takes the hook with it.
    {
        TApolloTable other;
        other.SetProgressWindow([](int) {});
        EXPECT_NE(engine().gauge, nullptr);
        table.SetProgressWindow({});  // not this table's hook: left alone
        EXPECT_NE(engine().gauge, nullptr);
    }
    EXPECT_EQ(engine().gauge, nullptr);
}

TEST_F(TableFakeTest, RebuildIndexClearsTheProgressAndClosesAlsoOnFailure) {
    engine().evalTest = -1;
    int reports = 0;
    EXPECT_THROW(RebuildIndex(table, dir / "MLAGER.NTX", "ARTNUM", [&](int) { ++reports; }),
                 EApolloError);
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(engine().gauge, nullptr);
    engine().evalTest = 1;
    RebuildIndex(table, dir / "MLAGER.NTX", "ARTNUM", [&](int) { ++reports; });
    EXPECT_EQ(reports, 3);
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(engine().gauge, nullptr);
}

TEST_F(TableFakeTest, SeekNeedsAnOrderAndAMissEndsAtTheEndOfTable) {
    table.Open();
    EXPECT_EQ(errorOf([&] { table.Seek("A1"); }), "This operation requires an active index order");
    EXPECT_EQ(errorOf([&] { table.IndexOpen(dir / "FEHLT.NTX"); }),
              "Index file does not exist.\rFile: " + dir.path() + "FEHLT.NTX");
    testing::WriteFile(dir / "MLAGER.NTX", "");
    engine().takeCalls();
    EXPECT_EQ(table.IndexOpen(dir / "mlager.ntx"), 1);
    EXPECT_TRUE(contains(engine().takeCalls(), "SetOrder(1)"));

    engine().cur().keys["B2        "] = 2;
    EXPECT_TRUE(FindRecordByKey(table, 1, table.GetString("ARTNUM").replace(0, 2, "B2")));
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "B2");

    engine().seekMissLeavesPosition = true;
    table.First();
    engine().takeCalls();
    EXPECT_FALSE(table.Seek("ZZ        "));
    Calls calls = withoutSelects(engine().takeCalls());
    EXPECT_TRUE(contains(calls, "GoBottom"));
    EXPECT_TRUE(contains(calls, "Skip(1)"));
    EXPECT_TRUE(table.Eof());
    EXPECT_FALSE(table.Found());
}

TEST_F(TableFakeTest, SetOrderKeepsTheCurrentRecord) {
    table.Open();
    table.Next();
    engine().takeCalls();
    table.SetOrder(0);
    Calls calls = withoutSelects(engine().takeCalls());
    EXPECT_EQ(calls, (Calls{"SetOrder(0)", "Go(2)"}));
    EXPECT_EQ(table.FieldByName("ARTNUM").AsString(), "B2");
}

TEST_F(TableFakeTest, CreateTableChecksEachFieldBeforeTheEngine) {
    TApolloTable creator;
    EXPECT_EQ(errorOf([&] { creator.CreateField("A", "C", 1, 0); }),
              "Must call CreateNew before CreateField");
    EXPECT_EQ(errorOf([&] { creator.CreateExec(); }), "Must call CreateNew before CreateExec");
    ASSERT_TRUE(creator.CreateNew(dir / "NEU.DBF", kTableTypeNtx, 3));
    EXPECT_TRUE(contains(engine().calls, "CreateNew(NEU,1,3)"));
    engine().takeCalls();
    EXPECT_EQ(errorOf([&] { creator.CreateField("FELD1", "C", 0, 0); }), "Invalid field length.");
    EXPECT_EQ(errorOf([&] { creator.CreateField("1FELD", "C", 5, 0); }),
              "Invalid field name. Field names must begin with a letter");
    EXPECT_EQ(errorOf([&] { creator.CreateField("", "C", 5, 0); }),
              "Invalid field name. Field names must begin with a letter");
    EXPECT_EQ(errorOf([&] { creator.CreateField("FELD1", "", 5, 0); }), "Invalid field type");
    EXPECT_EQ(errorOf([&] { creator.CreateField("FELD1", "X", 5, 0); }), "Invalid field type");
    EXPECT_TRUE(engine().takeCalls().empty());  // nothing reached the engine

    creator.CreateField("feld1", "c", 5, 0);
    creator.CreateField("BETRAG", "N", 10, 2);
    creator.CreateField("TEXT", "M", 10, 0);
    EXPECT_TRUE(creator.CreateExec());
    Calls expected = {"CreateField(feld1,C,5,0)", "CreateField(BETRAG,N,10,2)",
                      "CreateField(TEXT,M,10,0)", "CreateExec", "Close"};
    EXPECT_EQ(engine().takeCalls(), expected);
    EXPECT_TRUE(engine().areas.empty());  // the new table was closed again
    EXPECT_EQ(errorOf([&] { creator.CreateExec(); }), "Must call CreateNew before CreateExec");
}

TEST_F(TableFakeTest, CopyStructureOpensAndClosesAClosedSource) {
    EXPECT_TRUE(table.CopyStructure(dir / "KOPIE.DBF"));
    Calls calls = withoutSelects(engine().takeCalls());
    EXPECT_TRUE(contains(calls, "CopyStructure(KOPIE)"));
    EXPECT_EQ(calls.back(), "Close");
    EXPECT_FALSE(table.Active());
    table.Open();
    EXPECT_TRUE(table.CopyTable(dir / "KOPIE2.DBF"));
    EXPECT_TRUE(table.Active());
    table.Close();
    table.SetTableName("FEHLT.DBF");  // failure comes back as the result
    EXPECT_FALSE(table.CopyStructure(dir / "KOPIE3.DBF"));
    EXPECT_FALSE(table.CopyTable(dir / "KOPIE3.DBF"));
}

TEST_F(TableFakeTest, AppendFromAndEvalString) {
    table.Open();
    engine().takeCalls();
    EXPECT_TRUE(table.AppendFrom(dir / "TRFOWIS.SDF", kSdfFile, ""));
    Calls calls = withoutSelects(engine().takeCalls());
    EXPECT_EQ(calls, (Calls{"AppendFrom(22,null)", "Commit"}));
    EXPECT_EQ(table.EvalString("LTRIM(UPPER(ARTNUM))"), "<LTRIM(UPPER(ARTNUM))>");
}

}  // namespace
}  // namespace zer1
