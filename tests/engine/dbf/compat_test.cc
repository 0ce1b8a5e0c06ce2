// Files shared with other xBase programs: tables written by python3-dbf and
// Perl XBase are read correctly by the engine, and theirs read ours.  All
// field types, memos, deleted records and code page 850 text are covered.
#include <gtest/gtest.h>

#include <string>

#include "sde61.h"
#include "test_util.h"

using sde_test::RunCommand;
using sde_test::Field;
using sde_test::TempDir;
using sde_test::WriteWholeFile;

namespace {

// Runs a script file with the given interpreter; returns its output.
std::string RunScript(const TempDir& dir, const std::string& interpreter,
                      const std::string& script) {
    std::string file = dir.File("script.txt");
    WriteWholeFile(file, script);
    std::string out;
    int rc = RunCommand(interpreter + " " + file + " 2>&1", &out);
    EXPECT_EQ(rc, 0) << out;
    return out;
}

const char kPython[] = "/usr/bin/python3";
const char kPerl[] = "perl -MXBase";

TEST(CompatTest, ReadsTablesWrittenByPythonDbf) {
    TempDir dir;
    RunScript(dir, kPython,
              R"(
import dbf, datetime
t = dbf.Table(')" +
                  dir.File("py.dbf") +
                  R"(', 'name C(12); preis N(8,2); menge N(4,0); datum D; aktiv L; notiz M',
              dbf_type='db3', codepage='cp850')
t.open(dbf.READ_WRITE)
t.append(('Kam\u00e4ra', 1234.5, 12, datetime.date(2026, 12, 8), True, 'Notiz \u00fc'))
t.append(('Zwei', -3.25, -7, None, False, ''))
t.append(('Drei', 0, 0, None, None, 'x' * 700))
dbf.delete(t[1])
t.close()
)");
    ASSERT_GE(sx_UseEx(dir.File("PY.DBF").c_str(), "PY", SX_SHARED, SX_SDENTX, 1), 1)
        << sx_ErrorText();
    EXPECT_EQ(sx_RecCount(), 3);
    sx_SetTranslate(1);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(Field("NAME"), "Kam\xE4ra      ");
    EXPECT_EQ(Field("PREIS"), " 1234.50");
    EXPECT_EQ(Field("MENGE"), "  12");
    EXPECT_EQ(Field("DATUM"), "20261208");
    EXPECT_EQ(Field("AKTIV"), "T");
    EXPECT_EQ(Field("NOTIZ"), "Notiz \xFC");
    EXPECT_EQ(sx_Deleted(), 0);
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_Deleted(), 1);
    EXPECT_EQ(Field("PREIS"), "   -3.25");
    EXPECT_EQ(Field("MENGE"), "  -7");
    EXPECT_EQ(Field("NOTIZ"), "");
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(Field("NOTIZ"), std::string(700, 'x'));
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_Eof(), 1);
    ASSERT_EQ(sx_Close(), 1);
}

TEST(CompatTest, ReadsTablesWrittenByPerlXBase) {
    TempDir dir;
    RunScript(dir, kPerl,
              R"(
my $t = XBase->create(name => ')" +
                  dir.File("pl.dbf") + R"(',
    field_names => ['NAME','PREIS','DATUM','AKTIV','NOTIZ'], field_types => ['C','N','D','L','M'],
    field_lengths => [10,8,8,1,10], field_decimals => [0,2,0,0,0]) or die XBase->errstr;
$t->set_record(0, "Perl\x84", 12.5, "20261208", 1, "memo \x81 text");
$t->set_record(1, "Zwei", -1, "", 0, "");
$t->delete_record(1);
$t->set_record(2, "Drei", 3, "19991231", 0, "y" x 1500);
$t->close;
)");
    ASSERT_GE(sx_UseEx(dir.File("pl.dbf").c_str(), "PL", SX_READONLY, SX_SDENTX, 1), 1)
        << sx_ErrorText();
    EXPECT_EQ(sx_RecCount(), 3);
    sx_SetTranslate(1);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(Field("NAME"), "Perl\xE4     ");
    EXPECT_EQ(Field("PREIS"), "   12.50");
    EXPECT_EQ(Field("DATUM"), "20261208");
    EXPECT_EQ(Field("AKTIV"), "T");
    EXPECT_EQ(Field("NOTIZ"), "memo \xFC text");
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_Deleted(), 1);
    EXPECT_EQ(Field("AKTIV"), "F");
    EXPECT_EQ(Field("NOTIZ"), "");
    EXPECT_EQ(sx_Empty("NOTIZ"), 1);
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(Field("DATUM"), "19991231");
    EXPECT_EQ(Field("NOTIZ"), std::string(1500, 'y'));
    ASSERT_EQ(sx_Close(), 1);
}

// Writes the table that the other programs read: every type, a deleted
// record, memos over several blocks, code page 850 text, a changed memo.
void WriteOurTable(const std::string& path) {
    ASSERT_EQ(sx_CreateNew(path.c_str(), "OURS", SX_SDENTX, 6), 1);
    ASSERT_EQ(sx_CreateField("NAME", "C", 10, 0), 1);
    ASSERT_EQ(sx_CreateField("PREIS", "N", 9, 2), 1);
    ASSERT_EQ(sx_CreateField("MENGE", "N", 4, 0), 1);
    ASSERT_EQ(sx_CreateField("DATUM", "D", 8, 0), 1);
    ASSERT_EQ(sx_CreateField("AKTIV", "L", 1, 0), 1);
    ASSERT_EQ(sx_CreateField("NOTIZ", "M", 10, 0), 1);
    ASSERT_EQ(sx_CreateExec(), 1) << sx_ErrorText();
    sx_SetTranslate(1);
    struct Row {
        const char *name, *price, *qty, *date, *active, *memo;
    } rows[] = {{"M\xFCller", "1234.5", "12", "20261208", "T",
                 "Gr\xFC\xDF"
                 "e"},
                {"Zwei", "-3.25", "-7", "", "F", ""},
                {"Drei", "0", "0", "19991231", "F", nullptr}};
    for (const Row& r : rows) {
        ASSERT_EQ(sx_AppendBlank(), 1);
        ASSERT_EQ(sx_Replace("NAME", r.name), 1);
        ASSERT_EQ(sx_Replace("PREIS", r.price), 1);
        ASSERT_EQ(sx_Replace("MENGE", r.qty), 1);
        ASSERT_EQ(sx_Replace("DATUM", r.date), 1);
        ASSERT_EQ(sx_Replace("AKTIV", r.active), 1);
        if (r.memo) {
            ASSERT_EQ(sx_PutMemo("NOTIZ", r.memo, int(strlen(r.memo))), 1);
        }
        ASSERT_EQ(sx_Commit(), 1);
    }
    std::string big(1300, 'z');
    ASSERT_EQ(sx_PutMemo("NOTIZ", big.c_str(), int(big.size())), 1);
    ASSERT_EQ(sx_Go(2), 1);
    ASSERT_EQ(sx_Delete(), 1);
    ASSERT_EQ(sx_Close(), 1);
}

TEST(CompatTest, PythonDbfReadsOurTables) {
    TempDir dir;
    WriteOurTable(dir.File("OURS.DBF"));
    std::string out = RunScript(dir, kPython, R"(
import dbf
t = dbf.Table(')" + dir.File("OURS.DBF") + R"(', codepage='cp850')
t.open(dbf.READ_ONLY)
print(len(t))
for r in t:
    print(repr((dbf.is_deleted(r), r.name.rstrip(), r.preis, r.menge, str(r.datum), r.aktiv, len(r.notiz), r.notiz[:5])))
)");
    EXPECT_EQ(out,
              "3\n"
              "(False, 'M\xC3\xBCller', 1234.5, 12, '2026-12-08', True, 5, 'Gr\xC3\xBC\xC3\x9F"
              "e')\n"
              "(True, 'Zwei', -3.25, -7, 'None', False, 0, '')\n"
              "(False, 'Drei', 0.0, 0, '1999-12-31', False, 1300, 'zzzzz')\n");
}

TEST(CompatTest, PerlXBaseReadsOurTables) {
    TempDir dir;
    WriteOurTable(dir.File("OURS.DBF"));
    std::string out = RunScript(dir, kPerl, R"(
my $t = XBase->new(')" + dir.File("OURS.DBF") + R"(') or die XBase->errstr;
print $t->last_record + 1, "\n";
for my $i (0 .. $t->last_record) {
    my ($del, $name, $preis, $menge, $datum, $aktiv, $notiz) = $t->get_record($i);
    $notiz = '' unless defined $notiz;
    printf "%d|%s|%s|%s|%s|%s|%d|%s\n", $del, $name, $preis, $menge, $datum // '', $aktiv // '',
        length($notiz), substr($notiz, 0, 5);
}
)");
    EXPECT_EQ(out,
              "3\n"
              "0|M\x81ller|1234.5|12|20261208|1|5|Gr\x81\xE1"
              "e\n"
              "1|Zwei|-3.25|-7||0|0|\n"
              "0|Drei|0|0|19991231|0|1300|zzzzz\n");
}

}  // namespace
