// Encrypted tables and expressions through the C API: a table created with a
// password hides its data on disk, reads masked without the password, refuses
// a wrong one and any write before the right one; expressions are evaluated
// on the current record as callers see it.
#include <gtest/gtest.h>

#include <string>

#include "sde61.h"
#include "test_util.h"

using sde_test::ReadWholeFile;
using sde_test::Field;
using sde_test::TempDir;

namespace {

void CreateEncrypted(const std::string& path, const char* password) {
    ASSERT_EQ(sx_CreateNew(path.c_str(), "GEHEIM", SX_SDENTX, 5), 1);
    ASSERT_EQ(sx_CreateField("NAME", "C", 8, 0), 1);
    ASSERT_EQ(sx_CreateField("PREIS", "N", 7, 2), 1);
    ASSERT_EQ(sx_CreateField("DATUM", "D", 8, 0), 1);
    ASSERT_EQ(sx_CreateField("AKTIV", "L", 1, 0), 1);
    ASSERT_EQ(sx_CreateField("NOTIZ", "M", 10, 0), 1);
    ASSERT_EQ(sx_CreatePassword(password), 1);
    ASSERT_EQ(sx_CreateExec(), 1) << sx_ErrorText();
    const char* names[] = {"Geheim1", "Geheim2"};
    for (const char* name : names) {
        ASSERT_EQ(sx_AppendBlank(), 1);
        ASSERT_EQ(sx_Replace("NAME", name), 1);
        ASSERT_EQ(sx_Replace("PREIS", "12.5"), 1);
        ASSERT_EQ(sx_Replace("DATUM", "20261208"), 1);
        ASSERT_EQ(sx_Replace("AKTIV", "T"), 1);
        ASSERT_EQ(sx_PutMemo("NOTIZ", "Vertraulich\x1A", 12), 1);
        ASSERT_EQ(sx_Commit(), 1) << sx_ErrorText();
    }
    ASSERT_EQ(sx_Close(), 1);
}

TEST(EncryptionTest, PasswordProtectsRecordsAndMemos) {
    TempDir dir;
    std::string path = dir.File("GEHEIM.DBF");
    CreateEncrypted(path, "s3cret");
    std::string bytes = ReadWholeFile(path) + ReadWholeFile(dir.File("GEHEIM.DBT"));
    EXPECT_EQ(bytes.find("Geheim"), std::string::npos);
    EXPECT_EQ(bytes.find("Vertraulich"), std::string::npos);
    EXPECT_EQ(bytes.find("20261208"), std::string::npos);

    ASSERT_GE(sx_UseEx(path.c_str(), "G", SX_SHARED, SX_SDENTX, 1), 1) << sx_ErrorText();
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(Field("NAME"), "********");
    EXPECT_EQ(Field("PREIS"), "   0.00");
    EXPECT_EQ(Field("DATUM"), "        ");
    EXPECT_EQ(Field("AKTIV"), "F");
    EXPECT_EQ(Field("NOTIZ"), "");
    EXPECT_EQ(sx_Replace("NAME", "x"), 0);  // no writes without the password
    EXPECT_EQ(sx_AppendBlank(), 0);

    EXPECT_EQ(sx_SetPassword("wrong"), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("Wrong password"), std::string::npos)
        << sx_ErrorText();
    EXPECT_EQ(Field("NAME"), "********");

    ASSERT_EQ(sx_SetPassword("s3cret"), 1) << sx_ErrorText();
    EXPECT_EQ(Field("NAME"), "Geheim1 ");  // the current record is read again at once
    EXPECT_EQ(Field("PREIS"), "  12.50");
    EXPECT_EQ(Field("NOTIZ"), "Vertraulich\x1A");
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(Field("NAME"), "Geheim2 ");
    ASSERT_EQ(sx_Replace("NAME", "Neu"), 1);
    ASSERT_EQ(sx_Commit(), 1);

    // A copy keeps the encryption and is readable with the same password.
    ASSERT_EQ(sx_CopyFile(dir.File("KOPIE.DBF").c_str()), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Close(), 1);
    ASSERT_GE(sx_UseEx(dir.File("KOPIE.DBF").c_str(), "K", SX_EXCLUSIVE, SX_SDENTX, 1), 1);
    ASSERT_EQ(sx_SetPassword("s3cret"), 1) << sx_ErrorText();
    ASSERT_EQ(sx_GoBottom(), 1);
    EXPECT_EQ(Field("NAME"), "Neu     ");
    EXPECT_EQ(Field("NOTIZ"), "Vertraulich\x1A");
    ASSERT_EQ(sx_Close(), 1);

    // A plain table accepts any password.
    ASSERT_EQ(sx_CreateNew(dir.File("PLAIN.DBF").c_str(), "P", SX_SDENTX, 1), 1);
    ASSERT_EQ(sx_CreateField("A", "C", 1, 0), 1);
    ASSERT_EQ(sx_CreateExec(), 1);
    EXPECT_EQ(sx_SetPassword("whatever"), 1);
    ASSERT_EQ(sx_Close(), 1);
}

// Field NAME of record 1 as it lies on disk.
std::string StoredName(const std::string& path) {
    std::string bytes = ReadWholeFile(path);
    size_t header_length = uint8_t(bytes[8]) | size_t(uint8_t(bytes[9])) << 8;
    return bytes.substr(header_length + 1, 8);
}

TEST(EncryptionTest, IndexNeedsThePasswordAndZapRenewsTheKey) {
    TempDir dir;
    std::string path = dir.File("GEHEIM.DBF");
    CreateEncrypted(path, "s3cret");
    ASSERT_GE(sx_UseEx(path.c_str(), "G", SX_EXCLUSIVE, SX_SDENTX, 1), 1) << sx_ErrorText();
    // Without the password every key would be the mask: refused, no file.
    std::string index = dir.File("NAME.NTX");
    EXPECT_EQ(sx_Index(index.c_str(), "NAME", "", 0, 0), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("needs its password"), std::string::npos)
        << sx_ErrorText();
    EXPECT_TRUE(ReadWholeFile(index).empty());
    ASSERT_EQ(sx_SetPassword("s3cret"), 1);
    ASSERT_GE(sx_Index(index.c_str(), "NAME", "", 0, 0), 1) << sx_ErrorText();
    EXPECT_EQ(sx_Seek("Geheim2"), 1);

    // The same text in the same record after a zap lies there under another
    // stream: the salt and with it the key are new.
    std::string old_salt = ReadWholeFile(path).substr(16, 8);
    std::string old_name = StoredName(path);
    ASSERT_EQ(sx_Zap(), 1) << sx_ErrorText();
    ASSERT_EQ(sx_AppendBlank(), 1);
    ASSERT_EQ(sx_Replace("NAME", "Geheim1"), 1);
    ASSERT_EQ(sx_Close(), 1);
    EXPECT_NE(ReadWholeFile(path).substr(16, 8), old_salt);
    EXPECT_NE(StoredName(path), old_name);
    ASSERT_GE(sx_UseEx(path.c_str(), "G", SX_SHARED, SX_SDENTX, 1), 1);
    ASSERT_EQ(sx_SetPassword("s3cret"), 1) << sx_ErrorText();
    EXPECT_EQ(Field("NAME"), "Geheim1 ");
    ASSERT_EQ(sx_Close(), 1);
}

TEST(EvalTest, ExpressionsSeeTheCurrentRecordAsCallersDo) {
    TempDir dir;
    std::string path = dir.File("EVAL.DBF");
    ASSERT_EQ(sx_CreateNew(path.c_str(), "EVAL", SX_SDENTX, 3), 1);
    ASSERT_EQ(sx_CreateField("ARTIKEL", "C", 10, 0), 1);
    ASSERT_EQ(sx_CreateField("PREIS", "N", 8, 2), 1);
    ASSERT_EQ(sx_CreateField("NOTIZ", "M", 10, 0), 1);
    ASSERT_EQ(sx_CreateExec(), 1);
    sx_SetTranslate(1);  // stored as 850, evaluated as callers see it
    ASSERT_EQ(sx_AppendBlank(), 1);
    ASSERT_EQ(sx_Replace("ARTIKEL", "  k\xE4se"), 1);
    ASSERT_EQ(sx_Replace("PREIS", "123.4"), 1);
    ASSERT_EQ(sx_PutMemo("NOTIZ", "lang", 4), 1);
    ASSERT_EQ(sx_Commit(), 1);

    char buf[64];
    ASSERT_EQ(sx_EvalString("LTRIM(UPPER(ARTIKEL))", buf, sizeof buf), 8) << sx_ErrorText();
    EXPECT_STREQ(buf, "K\xE4SE    ");  // UPPER changes only a-z
    ASSERT_GE(sx_EvalString("STR(PREIS * 2, 10, 2)", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "    246.80");
    ASSERT_GE(sx_EvalString("EVAL->PREIS", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "  123.40");
    ASSERT_GE(sx_EvalString("RECNO()", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "         1");
    EXPECT_EQ(sx_EvalTest("PREIS > 100"), 1);
    EXPECT_EQ(sx_EvalTest("PREIS > 200"), 0);
    EXPECT_EQ(sx_EvalTest("UPPER(ARTIKEL)"), 1);  // compiles, not logical
    EXPECT_EQ(sx_EvalTest("NOSUCHFIELD + 1"), -1);
    EXPECT_NE(std::string(sx_ErrorText()).find("NOSUCHFIELD"), std::string::npos) << sx_ErrorText();
    EXPECT_EQ(sx_EvalTest("OTHER->PREIS > 1"), -1);
    EXPECT_EQ(sx_EvalType("PREIS"), 'N');
    EXPECT_EQ(sx_EvalType("DTOS(DATE())"), 'C');
    EXPECT_EQ(sx_EvalType("PREIS >"), 0);
    ASSERT_EQ(sx_Close(), 1);
    EXPECT_EQ(sx_EvalString("1", buf, sizeof buf), -1);  // no table selected
}

}  // namespace
