// Table encryption: header mark, password check, record and memo streams.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>
#include <vector>

#include "dbf/crypto.h"

namespace sde {
namespace {

using Bytes = std::vector<uint8_t>;

// A 64-byte DBF header with recognisable bytes everywhere.
Bytes SampleHeader() {
    Bytes header(64);
    for (size_t i = 0; i < header.size(); ++i) header[i] = uint8_t(0xA0 + i);
    std::memset(header.data() + 12, 0, 20);
    return header;
}

Bytes SampleRecord() {
    std::string text = " 4006381333931Kamera-Set schwarz      0001234.5020260115T";
    return Bytes(text.begin(), text.end());
}

TEST(Crypto, MarkStaysInsideBytes12To31) {
    Bytes header = SampleHeader();
    Bytes before = header;
    EXPECT_FALSE(HasEncryptionMark(header.data()));
    auto cipher = TableEncryption::Create("geheim", header.data());
    ASSERT_TRUE(cipher.ok()) << cipher.status().message();
    EXPECT_TRUE(HasEncryptionMark(header.data()));
    for (size_t i = 0; i < header.size(); ++i) {
        if (i >= kCryptoMarkOffset && i < kCryptoMarkOffset + kCryptoMarkSize) continue;
        EXPECT_EQ(header[i], before[i]) << "byte " << i << " changed";
    }
    // Bytes 28 and 29 stay zero: other programs read an index flag and a code page there.
    EXPECT_EQ(header[28], 0);
    EXPECT_EQ(header[29], 0);
}

TEST(Crypto, RightPasswordOpensWrongPasswordIsRefused) {
    Bytes header = SampleHeader();
    auto created = TableEncryption::Create("jev-para-2026", header.data());
    ASSERT_TRUE(created.ok());
    Bytes record = SampleRecord();
    created->EncryptRecord(7, record.data(), record.size());

    auto opened = TableEncryption::Open(header.data(), "jev-para-2026", "VUROZE.LIC");
    ASSERT_TRUE(opened.ok()) << opened.status().message();
    opened->DecryptRecord(7, record.data(), record.size());
    EXPECT_EQ(record, SampleRecord());

    for (const char* wrong : {"jev-para-2025", "JEV-PARA-2026", "", "jev-para-2026 "}) {
        auto refused = TableEncryption::Open(header.data(), wrong, "VUROZE.LIC");
        ASSERT_FALSE(refused.ok()) << wrong;
        EXPECT_EQ(refused.status().code(), Status::Code::kInvalidArgument);
        EXPECT_EQ(refused.status().message(), "Wrong password for table VUROZE.LIC");
    }
}

// A zap renews the salt: the same password opens the table, but under a new
// key, so records written afterwards share no stream with those before.
TEST(Crypto, RenewGivesANewSaltAndKeyForTheSamePassword) {
    Bytes header = SampleHeader();
    auto cipher = TableEncryption::Create("geheim", header.data());
    ASSERT_TRUE(cipher.ok());
    Bytes before = header, old_record = SampleRecord();
    cipher->EncryptRecord(1, old_record.data(), old_record.size());

    ASSERT_TRUE(cipher->Renew(header.data()).ok());
    EXPECT_NE(Bytes(header.begin() + 16, header.begin() + 24),
              Bytes(before.begin() + 16, before.begin() + 24));
    for (size_t i = 0; i < header.size(); ++i) {
        bool renewed = (i >= 16 && i < 28) || i == 30 || i == 31;  // salt, check, checksum
        if (!renewed) {
            EXPECT_EQ(header[i], before[i]) << "byte " << i;
        }
    }
    Bytes new_record = SampleRecord();
    cipher->EncryptRecord(1, new_record.data(), new_record.size());
    EXPECT_NE(new_record, old_record);
    auto reopened = TableEncryption::Open(header.data(), "geheim", "ARTIKEL.DBF");
    ASSERT_TRUE(reopened.ok()) << reopened.status().message();
    reopened->DecryptRecord(1, new_record.data(), new_record.size());
    EXPECT_EQ(new_record, SampleRecord());
}

TEST(Crypto, TamperedOrMissingMarkIsDetected) {
    Bytes header = SampleHeader();
    ASSERT_TRUE(TableEncryption::Create("geheim", header.data()).ok());
    // Every byte of the mark matters: the salt, the check value, the version,
    // the checksum itself.
    for (size_t i = 14; i < 32; ++i) {
        if (i == 28 || i == 29) continue;
        Bytes damaged = header;
        damaged[i] ^= 0x01;
        auto opened = TableEncryption::Open(damaged.data(), "geheim", "ARTIKEL.DBF");
        ASSERT_FALSE(opened.ok()) << "byte " << i;
        EXPECT_EQ(opened.status().code(), Status::Code::kCorruption) << "byte " << i;
        EXPECT_EQ(opened.status().message(), "Encryption mark of table ARTIKEL.DBF is damaged");
    }
    Bytes plain = SampleHeader();
    auto opened = TableEncryption::Open(plain.data(), "geheim", "ARTIKEL.DBF");
    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.status().message(), "Table ARTIKEL.DBF is not encrypted");
}

TEST(Crypto, EmptyPasswordCannotCreate) {
    Bytes header = SampleHeader();
    auto created = TableEncryption::Create("", header.data());
    EXPECT_FALSE(created.ok());
    EXPECT_FALSE(HasEncryptionMark(header.data()));
}

TEST(Crypto, RecordsAreHiddenAndEachRecordHasItsOwnStream) {
    Bytes header = SampleHeader();
    auto cipher = TableEncryption::Create("geheim", header.data());
    ASSERT_TRUE(cipher.ok());
    Bytes first = SampleRecord(), second = SampleRecord();
    first[0] = '*';  // a deleted record keeps its flag readable
    cipher->EncryptRecord(1, first.data(), first.size());
    cipher->EncryptRecord(2, second.data(), second.size());
    EXPECT_EQ(first[0], '*');
    EXPECT_EQ(second[0], ' ');
    EXPECT_NE(Bytes(first.begin() + 1, first.end()), Bytes(second.begin() + 1, second.end()));
    Bytes plain = SampleRecord();
    size_t same = 0;
    for (size_t i = 1; i < plain.size(); ++i) same += second[i] == plain[i];
    EXPECT_LT(same, plain.size() / 8);  // no readable text is left

    // The same password on another table (another salt) gives another stream.
    Bytes other_header = SampleHeader();
    auto other = TableEncryption::Create("geheim", other_header.data());
    ASSERT_TRUE(other.ok());
    Bytes third = SampleRecord();
    other->EncryptRecord(2, third.data(), third.size());
    EXPECT_NE(third, second);
}

// The documented format, computed here straight from libsodium: a table
// written by this version must stay readable by the next.
TEST(Crypto, FormatMatchesItsDescription) {
    ASSERT_GE(sodium_init(), 0);
    const uint8_t salt[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Bytes header = SampleHeader();
    auto cipher = TableEncryption::CreateWithSalt("geheim", salt, header.data());
    ASSERT_TRUE(cipher.ok());
    EXPECT_EQ(header[12], 0xE7);
    EXPECT_EQ(header[13], 0x5C);
    EXPECT_EQ(header[14], 2);
    EXPECT_EQ(0, std::memcmp(header.data() + 16, salt, 8));

    // Argon2id, 2 passes over 32 MiB, the salt completed by its label.
    uint8_t key[32];
    const uint8_t full_salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 's', 'd', 'e', '6', '1', 't', 'k', '2'};
    ASSERT_EQ(crypto_pwhash(key, sizeof(key), "geheim", 6, full_salt, 2, size_t(32) << 20,
                            crypto_pwhash_ALG_ARGON2ID13),
              0);

    uint8_t check[16];
    crypto_generichash(check, sizeof(check), reinterpret_cast<const uint8_t*>("check"), 5, key,
                       sizeof(key));
    EXPECT_EQ(0, std::memcmp(header.data() + 24, check, 4));

    Bytes record = SampleRecord();
    Bytes expected = record;
    uint8_t nonce[crypto_stream_xchacha20_NONCEBYTES] = {'R', 0x39, 0x30, 0, 0};  // 12345
    crypto_stream_xchacha20_xor(expected.data() + 1, expected.data() + 1, expected.size() - 1,
                                nonce, key);
    cipher->EncryptRecord(12345, record.data(), record.size());
    EXPECT_EQ(record, expected);
}

TEST(Crypto, MemoRoundTripWithoutTerminatorBytes) {
    Bytes header = SampleHeader();
    auto cipher = TableEncryption::Create("geheim", header.data());
    ASSERT_TRUE(cipher.ok());
    std::string text;
    for (int i = 0; i < 3000; ++i) text.push_back(char(i * 7 % 256));
    text += "\x1A\x1A\x1B\x1B end";
    for (uint32_t block : {1u, 2u, 977u}) {
        std::string payload = cipher->EncryptMemo(block, text);
        EXPECT_EQ(payload.find('\x1A'), std::string::npos) << block;
        EXPECT_LE(payload.size(), 2 * text.size());
        auto back = cipher->DecryptMemo(block, payload);
        ASSERT_TRUE(back.ok()) << back.status().message();
        EXPECT_EQ(*back, text);
        auto wrong_block = cipher->DecryptMemo(block + 1, payload);
        ASSERT_TRUE(wrong_block.ok());
        EXPECT_NE(*wrong_block, text);
    }
    EXPECT_TRUE(cipher->DecryptMemo(1, cipher->EncryptMemo(1, "")).ok());
}

TEST(Crypto, BrokenMemoPayloadIsCorruption) {
    Bytes header = SampleHeader();
    auto cipher = TableEncryption::Create("geheim", header.data());
    ASSERT_TRUE(cipher.ok());
    for (std::string bad : {std::string("ab\x1B"), std::string("ab\x1B\x07"),
                            std::string("a\x1A"
                                        "b")}) {
        auto text = cipher->DecryptMemo(3, bad);
        ASSERT_FALSE(text.ok());
        EXPECT_EQ(text.status().code(), Status::Code::kCorruption);
        EXPECT_NE(text.status().message().find("block 3"), std::string::npos);
    }
}

}  // namespace
}  // namespace sde

namespace sde {
namespace {

// The table code hands over the field bytes alone and transforms memos in
// place; those forms must give exactly the bytes of the whole-record forms.
TEST(Crypto, FieldAndInPlaceFormsMatchTheWholeRecordForms) {
    Bytes header = SampleHeader();
    auto cipher = TableEncryption::Create("geheim", header.data());
    ASSERT_TRUE(cipher.ok());
    Bytes whole = SampleRecord(), fields = SampleRecord();
    cipher->EncryptRecord(9, whole.data(), whole.size());
    cipher->CryptFields(9, fields.data() + 1, fields.size() - 1);
    EXPECT_EQ(whole, fields);

    std::string text = "Lieferung \x1A folgt";
    std::string memo = text;
    cipher->EncryptMemo(4, &memo);
    EXPECT_EQ(memo, cipher->EncryptMemo(4, std::string_view(text)));
    ASSERT_TRUE(cipher->DecryptMemo(4, &memo).ok());
    EXPECT_EQ(memo, text);
    std::string broken = "x\x1B";
    EXPECT_EQ(cipher->DecryptMemo(4, &broken).code(), Status::Code::kCorruption);
    EXPECT_EQ(broken, "x\x1B");
}

}  // namespace
}  // namespace sde
