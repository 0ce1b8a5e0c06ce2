// Reading archives: listing, the archive-level errors and the data checks.
#include "imports/zip_archive.h"

#include <gtest/gtest.h>

#include "imports/zip_components.h"
#include "tests/imports/zip/zip_builder.h"
#include "tests/imports/zip/zip_test_support.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using testing::BuildZip;
using testing::TempDir;
using testing::WriteFile;
using testing::ZipEntry;
using testing::ZipOptions;

std::string ExtractToString(const ZipArchive& archive, std::size_t index) {
    std::string out;
    archive.Extract(archive.members().at(index), [&](const uint8_t* data, std::size_t length) {
        out.append(reinterpret_cast<const char*>(data), length);
        return true;
    });
    return out;
}

class ZipArchiveTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& contents, const std::string& name = "test.zip") {
        WriteFile(dir_ / name, contents);
        return dir_ / name;
    }
    TempDir dir_;
};

TEST_F(ZipArchiveTest, ListsMembersInDirectoryOrderWithTheirFolders) {
    ZipEntry folder{"daten/", ""};
    folder.method = 0;
    const std::string path =
        Write(BuildZip({{"zeta.txt", "z"}, folder, {"daten/alpha.csv", "a"}, {"b.dat", "b"}},
                       ZipOptions{"Lieferung KW 11"}));
    TAbZipper lister;
    lister.SetFileName(path);
    ASSERT_EQ(lister.Count(), 4);
    EXPECT_EQ(lister.MemberName(0), "zeta.txt");
    EXPECT_EQ(lister.MemberName(1), "daten/");
    EXPECT_EQ(lister.MemberName(2), "daten/alpha.csv");
    EXPECT_EQ(lister.MemberName(3), "b.dat");
    EXPECT_ZIP_ERROR(lister.MemberName(4), "List index out of bounds (4)");
    EXPECT_ZIP_ERROR(lister.MemberName(-1), "List index out of bounds (-1)");

    const auto archive = ZipArchive::Open(path);
    EXPECT_EQ(archive->comment(), "Lieferung KW 11");
    EXPECT_TRUE(archive->members()[1].IsFolder());
    EXPECT_FALSE(archive->members()[2].IsFolder());
}

TEST_F(ZipArchiveTest, NamesAreUtf8WithFlagElseCodePage437) {
    ZipEntry utf8{"M\xC3\xBCller.txt", "x"};
    utf8.utf8_name = true;
    ZipEntry oem{"M\x81ller.txt", "y"};  // ü in code page 437
    TAbZipper lister;
    lister.SetFileName(Write(BuildZip({utf8, oem})));
    ASSERT_EQ(lister.Count(), 2);
    EXPECT_EQ(lister.MemberName(0), "M\xC3\xBCller.txt");
    EXPECT_EQ(lister.MemberName(1), "M\xC3\xBCller.txt");
}

TEST_F(ZipArchiveTest, NoArchiveOrZeroMembersListNothing) {
    TAbZipper lister;
    EXPECT_EQ(lister.Count(), 0);
    EXPECT_ZIP_ERROR(lister.MemberName(0), "List index out of bounds (0)");
    lister.SetFileName(Write(BuildZip({})));
    EXPECT_EQ(lister.Count(), 0);
    lister.SetFileName(dir_ / "missing.zip");
    EXPECT_EQ(lister.Count(), 0);
    lister.SetFileName(Write(BuildZip({{"a", "a"}})));
    EXPECT_EQ(lister.Count(), 1);
    lister.SetFileName("");
    EXPECT_EQ(lister.Count(), 0);
}

TEST_F(ZipArchiveTest, ArchiveFileFoundWhateverTheCaseOfItsName) {
    Write(BuildZip({{"a.txt", "a"}}), "DGH.ZIP");
    TAbZipper lister;
    lister.SetFileName(dir_ / "dgh.zip");
    EXPECT_EQ(lister.Count(), 1);
}

TEST_F(ZipArchiveTest, FilesThatAreNoArchiveAreUnhandled) {
    TAbZipper lister;
    EXPECT_ZIP_ERROR(lister.SetFileName(Write("just some text\n", "a.zip")),
                     "Unhandled Archive Type");
    EXPECT_ZIP_ERROR(lister.SetFileName(Write("", "b.zip")), "Unhandled Archive Type");
    EXPECT_ZIP_ERROR(lister.SetFileName(Write("\x1f\x8b\x08\x00gzip", "c.zip")),
                     "Unhandled Archive Type");
    EXPECT_EQ(lister.Count(), 0);
}

TEST_F(ZipArchiveTest, DamagedStructureIsNotAPkZipFile) {
    const std::string good = BuildZip({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    const std::size_t eocd = good.size() - 22;
    const std::size_t directory = good.rfind(std::string("PK\x01\x02", 4), eocd);
    ASSERT_NE(directory, std::string::npos);
    std::vector<std::string> damaged;
    damaged.push_back(good.substr(0, eocd));  // end record cut off: local headers only
    std::string bad_signature = good;
    bad_signature[directory + 2] = 'X';  // second central header
    damaged.push_back(bad_signature);
    std::string too_many = good;
    too_many[eocd + 8] = too_many[eocd + 10] = 60;  // more entries than the directory holds
    damaged.push_back(too_many);
    std::string big_directory = good;
    big_directory[eocd + 15] = char(0x7F);  // directory larger than the file
    damaged.push_back(big_directory);
    std::string name_overrun = good;
    name_overrun[directory + 28] = char(0xFF);  // name runs past the directory
    damaged.push_back(name_overrun);
    std::string spanned = good;
    spanned[eocd + 4] = 1;  // archive spread over several disks
    damaged.push_back(spanned);
    std::string nul_name = good;
    nul_name[directory + 46] = '\0';
    damaged.push_back(nul_name);

    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        TAbZipper lister;
        EXPECT_ZIP_ERROR(lister.SetFileName(Write(damaged[i])), "Invalid file - not a PKZip file");
        EXPECT_EQ(lister.Count(), 0);
    }
}

TEST_F(ZipArchiveTest, ReadsStoredDeflatedAndDataDescriptorMembers) {
    std::string big;
    for (int i = 0; i < 200000; ++i) big += "Zeile " + std::to_string(i * 7919 % 100003) + ";";
    ZipEntry stored{"stored.txt", "stored data"};
    stored.method = 0;
    ZipEntry descriptor{"descriptor.txt", "with a data descriptor"};
    descriptor.data_descriptor = true;
    ZipEntry empty{"empty.txt", ""};
    const auto archive = ZipArchive::Open(
        Write(BuildZip({stored, {"big.txt", big}, descriptor, empty}, ZipOptions("comment"))));
    ASSERT_EQ(archive->members().size(), 4u);
    EXPECT_EQ(ExtractToString(*archive, 0), "stored data");
    EXPECT_EQ(ExtractToString(*archive, 1), big);
    EXPECT_EQ(ExtractToString(*archive, 2), "with a data descriptor");
    EXPECT_EQ(ExtractToString(*archive, 3), "");
}

TEST_F(ZipArchiveTest, ReadsZip64RecordsAndArchivesBehindAStub) {
    ZipEntry member{"artikel.txt", "zip64 payload"};
    member.zip64 = true;
    ZipOptions zip64;
    zip64.zip64_end = true;
    auto archive = ZipArchive::Open(Write(BuildZip({member, {"b.txt", "b"}}, zip64)));
    ASSERT_EQ(archive->members().size(), 2u);
    EXPECT_EQ(archive->members()[0].uncompressed_size, 13u);
    EXPECT_EQ(ExtractToString(*archive, 0), "zip64 payload");
    EXPECT_EQ(ExtractToString(*archive, 1), "b");

    ZipOptions stub;
    stub.prefix = std::string(1000, '\x90');
    archive = ZipArchive::Open(Write(BuildZip({{"a.txt", "after a stub"}}, stub)));
    EXPECT_EQ(ExtractToString(*archive, 0), "after a stub");
}

TEST_F(ZipArchiveTest, Zip64ExtraFieldMissingIsDamage) {
    ZipEntry member{"a.txt", "x"};
    member.zip64 = true;
    std::string zip = BuildZip({member});
    // Cut the ZIP64 block out of the central header's view: extra length 0.
    const std::size_t directory = zip.rfind(std::string("PK\x01\x02", 4));
    zip[directory + 30] = 0;
    TAbZipper lister;
    EXPECT_ZIP_ERROR(lister.SetFileName(Write(zip)), "Invalid file - not a PKZip file");
}

TEST_F(ZipArchiveTest, MemberErrorsCarryTheirTexts) {
    ZipEntry wrong_crc{"crc.txt", "payload"};
    wrong_crc.crc = 0x12345678;
    ZipEntry encrypted{"secret.txt", "xxxxxxxxxxxx"};
    encrypted.encrypted = true;
    encrypted.method = 0;
    ZipEntry bzip2{"bzip2.txt", "BZh9..."};
    bzip2.method = 12;
    ZipEntry larger{"larger.txt", std::string(5000, 'a')};
    larger.declared_size = 100;  // inflates to more than declared
    ZipEntry smaller{"smaller.txt", "short"};
    smaller.declared_size = 50;  // ends before the declared size
    ZipEntry stored_mismatch{"stored.txt", "abc"};
    stored_mismatch.method = 0;
    stored_mismatch.declared_size = 2;
    const auto archive = ZipArchive::Open(
        Write(BuildZip({wrong_crc, encrypted, bzip2, larger, smaller, stored_mismatch})));
    EXPECT_ZIP_ERROR(ExtractToString(*archive, 0), "Failed CRC Check");
    EXPECT_ZIP_ERROR(ExtractToString(*archive, 1), "Cannot extract file - invalid password");
    EXPECT_ZIP_ERROR(ExtractToString(*archive, 2),
                     "Cannot extract file - unsupported compression method");
    EXPECT_ZIP_ERROR(ExtractToString(*archive, 3), "Invalid file - not a PKZip file");
    EXPECT_ZIP_ERROR(ExtractToString(*archive, 4), "Invalid file - not a PKZip file");
    EXPECT_ZIP_ERROR(ExtractToString(*archive, 5), "Invalid file - not a PKZip file");
}

TEST_F(ZipArchiveTest, OversizedOutputStopsAtTheDeclaredSize) {
    ZipEntry bomb{"bomb.txt", std::string(4 << 20, '\0')};
    bomb.declared_size = 1000;
    const auto archive = ZipArchive::Open(Write(BuildZip({bomb})));
    std::size_t received = 0;
    EXPECT_ZIP_ERROR(archive->Extract(archive->members()[0],
                                      [&](const uint8_t*, std::size_t length) {
                                          received += length;
                                          return true;
                                      }),
                     "Invalid file - not a PKZip file");
    EXPECT_LE(received, 1000u);
}

TEST_F(ZipArchiveTest, DataOutsideTheArchiveIsDamage) {
    std::string zip = BuildZip({{"a.txt", "some data to inflate"}});
    const std::size_t directory = zip.rfind(std::string("PK\x01\x02", 4));
    std::string beyond = zip;
    beyond[directory + 23] = 0x40;  // compressed size reaches past the directory
    std::string bad_local = zip;
    bad_local[0] = 'Q';  // local header signature gone
    std::string corrupt_data = zip;
    corrupt_data[30 + 5] = char(0xFF);  // deflate stream starts with an invalid block type
    corrupt_data[30 + 5 + 1] = char(0xFF);
    for (const std::string& damaged : {beyond, bad_local, corrupt_data}) {
        const auto archive = ZipArchive::Open(Write(damaged));
        EXPECT_THROW(ExtractToString(*archive, 0), Error);
    }
    const auto archive = ZipArchive::Open(Write(bad_local));
    EXPECT_ZIP_ERROR(ExtractToString(*archive, 0), "Invalid file - not a PKZip file");
}

TEST_F(ZipArchiveTest, RefusingSinkStopsTheExtraction) {
    const auto archive = ZipArchive::Open(Write(BuildZip({{"a.txt", "abc"}})));
    EXPECT_THROW(
        archive->Extract(archive->members()[0], [](const uint8_t*, std::size_t) { return false; }),
        Error);
}

}  // namespace
}  // namespace zer1
