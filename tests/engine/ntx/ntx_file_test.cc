// NTX files under stress: damaged files, a second process changing the same
// index, builds that fail or meet an index in use.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "base/coding.h"
#include "faulty_env.h"
#include "ntx/ntx_build.h"
#include "ntx_test_util.h"
#include "test_util.h"

using namespace ntx_test;

namespace {

std::string Key(uint32_t n, int size) {
    std::string k = std::to_string(n);
    k.insert(0, size_t(std::max(0, 8 - int(k.size()))), '0');
    k.resize(size_t(size), ' ');
    return k;
}

// An index of `count` keys built through the builder.
void BuildIndex(const std::string& path, int key_size, uint32_t count, uint32_t step = 1) {
    auto header = sde::NewNtxHeader("KEYFIELD", "", key_size, 0, false, false);
    sde::NtxBuilder builder(header);
    for (uint32_t i = 1; i <= count; ++i) {
        std::string k = Key(i * step, key_size);
        builder.Add(i, reinterpret_cast<const uint8_t*>(k.data()));
    }
    sde::Status s = builder.WriteFile(sde::CurrentEnv(), path);
    ASSERT_TRUE(s.ok()) << s.message();
}

sde::Result<std::unique_ptr<sde::NtxIndex>> TryOpen(const std::string& path) {
    auto file = sde::CurrentEnv()->Open(path, sde::FileAccess::kReadWrite);
    if (!file.ok()) return file.status();
    return sde::NtxIndex::Open(std::move(*file), false);
}

// Opens, walks and changes an index; returns the first failure.  Bounded:
// a damaged file must end in an error, never in a loop.
sde::Status Exercise(const std::string& path, uint32_t record_limit) {
    auto index = TryOpen(path);
    if (!index.ok()) return index.status();
    (*index)->set_record_limit([record_limit] { return record_limit; });
    sde::NtxCursor cursor(index->get());
    SDE_RETURN_IF_ERROR(cursor.First());
    size_t steps = 0;
    while (!cursor.eof()) {
        if (++steps > 100000) return sde::Status::InvalidArgument("walk does not end");
        SDE_RETURN_IF_ERROR(cursor.Next());
    }
    int ks = (*index)->key_size();
    for (uint32_t i = 1; i <= 60; ++i) {
        SDE_RETURN_IF_ERROR((*index)->Insert(Key(i * 7, ks), 900 + i));
        SDE_RETURN_IF_ERROR((*index)->Remove(Key(i * 3, ks), i));
    }
    uint64_t keys = 0;
    return (*index)->Verify(&keys);
}

void Patch(const std::string& path, size_t offset, const std::string& bytes) {
    std::string data = sde_test::ReadWholeFile(path);
    ASSERT_LE(offset + bytes.size(), data.size());
    data.replace(offset, bytes.size(), bytes);
    sde_test::WriteWholeFile(path, data);
}

std::string U16(uint16_t v) {
    std::string s(2, '\0');
    sde::PutU16(reinterpret_cast<uint8_t*>(s.data()), v);
    return s;
}
std::string U32(uint32_t v) {
    std::string s(4, '\0');
    sde::PutU32(reinterpret_cast<uint8_t*>(s.data()), v);
    return s;
}

void ExpectDamage(const std::string& path, const std::string& words, uint32_t limit = 100000) {
    sde::Status s = Exercise(path, limit);
    ASSERT_FALSE(s.ok()) << "damage not noticed: " << words;
    EXPECT_EQ(s.code(), sde::Status::Code::kCorruption) << s.message();
    EXPECT_NE(s.message().find(path), std::string::npos) << s.message();
    EXPECT_NE(s.message().find(words), std::string::npos) << s.message();
}

}  // namespace

TEST(NtxDamage, EachKindOfDamageIsNamed) {
    sde_test::TempDir dir;
    const std::string good = dir.File("GOOD.NTX");
    BuildIndex(good, 10, 3000);  // three levels of 50-key pages
    ASSERT_TRUE(Exercise(good, 100000).ok());
    const std::string bytes = sde_test::ReadWholeFile(good);
    const std::string path = dir.File("BAD.NTX");
    auto fresh = [&] { sde_test::WriteWholeFile(path, bytes); };
    uint32_t root = sde::GetU32(reinterpret_cast<const uint8_t*>(bytes.data()) + 4);
    const uint8_t* root_page = reinterpret_cast<const uint8_t*>(bytes.data()) + root;
    uint16_t root_item0 = sde::GetU16(root_page + 2);
    uint32_t child0 = sde::GetU32(root_page + root_item0);
    ASSERT_NE(child0, 0u);

    fresh();
    Patch(path, 0, U16(0x1234));
    ExpectDamage(path, "signature");

    fresh();
    Patch(path, 4, U32(uint32_t(bytes.size()) + 4096));
    ExpectDamage(path, "root page offset");

    fresh();
    Patch(path, 14, U16(20));  // key size that does not match the item size
    ExpectDamage(path, "item size");

    fresh();
    Patch(path, root, U16(400));  // key count beyond the page
    ExpectDamage(path, "key count");

    fresh();
    Patch(path, root + 2, U16(1020));  // item offset past the page end
    ExpectDamage(path, "item offset");

    fresh();
    Patch(path, root + root_item0, U32(uint32_t(bytes.size()) + 1024));
    ExpectDamage(path, "child pointer");

    // A child pointing back at the root: a cycle.
    fresh();
    {
        const uint8_t* child_page = reinterpret_cast<const uint8_t*>(bytes.data()) + child0;
        Patch(path, child0 + sde::GetU16(child_page + 2), U32(root));
    }
    ExpectDamage(path, "cycle");

    // Two branch items leading to the same page: the walk must not repeat.
    fresh();
    {
        uint16_t item1 = sde::GetU16(root_page + 4);
        Patch(path, root + item1, U32(child0));
    }
    ExpectDamage(path, "out of order");

    // Record numbers beyond the table.
    fresh();
    ExpectDamage(path, "names record", 2000);

    // Free chain leading in a circle.
    fresh();
    {
        std::string data = bytes;
        size_t end = data.size();
        data.resize(end + 2048, '\0');
        for (size_t p : {end, end + 1024}) {
            uint8_t* page = reinterpret_cast<uint8_t*>(data.data()) + p;
            sde::NtxPage view(page, sde::NtxMaxItems(10), 10);
            view.Init();
            view.set_child(0, uint32_t(p == end ? end + 1024 : end));
        }
        sde::PutU32(reinterpret_cast<uint8_t*>(data.data()) + 8, uint32_t(end));
        sde_test::WriteWholeFile(path, data);
    }
    ExpectDamage(path, "free page chain");

    // Cut short.
    fresh();
    sde_test::WriteWholeFile(path, bytes.substr(0, 1500));
    ExpectDamage(path, "too short");
    fresh();
    sde_test::WriteWholeFile(path, bytes.substr(0, bytes.size() - 1024));
    EXPECT_FALSE(Exercise(path, 100000).ok());
}

// Random bytes anywhere in the file give an error or a working index, never
// a crash or an endless walk.
TEST(NtxDamage, RandomCorruptionNeverCrashes) {
    sde_test::TempDir dir;
    const std::string good = dir.File("GOOD.NTX");
    BuildIndex(good, 10, 2000);
    const std::string bytes = sde_test::ReadWholeFile(good);
    const std::string path = dir.File("BAD.NTX");
    std::mt19937 rng(11);
    int errors = 0;
    for (int round = 0; round < 300; ++round) {
        std::string data = bytes;
        int flips = 1 + int(rng() % 8);
        for (int f = 0; f < flips; ++f) {
            size_t at = rng() % data.size();
            if (round % 3 == 0) at = (at / 1024) * 1024 + rng() % 120;  // counts and offsets
            data[at] = char(rng());
        }
        sde_test::WriteWholeFile(path, data);
        sde::Status s = Exercise(path, 100000);
        if (!s.ok()) {
            ++errors;
            EXPECT_NE(s.message(), "walk does not end");
        }
    }
    EXPECT_GT(errors, 30);
}

// A second process inserts into the same index while we insert and seek;
// afterwards every key of both is there, in order.
TEST(NtxShared, TwoProcessesUpdateOneIndex) {
    sde_test::TempDir dir;
    const std::string path = dir.File("SHARED.NTX");
    const int ks = 12;
    BuildIndex(path, ks, 500, 2);  // even keys 2..1000 for records 1..500
    const uint32_t kEach = 1500;
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        auto file = sde::CurrentEnv()->Open(path, sde::FileAccess::kReadWrite);
        if (!file.ok()) _exit(2);
        auto index = sde::NtxIndex::Open(std::move(*file), true);
        if (!index.ok()) _exit(3);
        for (uint32_t i = 0; i < kEach; ++i) {
            if (!(*index)->Insert(Key(200000 + i, ks), 10000 + i).ok()) _exit(4);
            if (i % 5 == 0 && !(*index)->Remove(Key(200000 + i, ks), 10000 + i).ok()) _exit(5);
        }
        _exit(0);
    }
    auto index = OpenIndex(path, true);
    ASSERT_TRUE(index);
    sde::NtxCursor cursor(index.get());
    for (uint32_t i = 0; i < kEach; ++i) {
        sde::Status s = index->Insert(Key(100000 + i, ks), 5000 + i);
        ASSERT_TRUE(s.ok()) << s.message();
        bool found = false;
        uint32_t k = 2 * (1 + i % 500);
        ASSERT_TRUE(cursor.Seek(Key(k, ks), &found).ok());
        ASSERT_TRUE(found) << k;
        ASSERT_EQ(cursor.recno(), k / 2);
        ASSERT_TRUE(cursor.Next().ok());
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    std::vector<Entry> expected;
    for (uint32_t i = 1; i <= 500; ++i) expected.emplace_back(Key(2 * i, ks), i);
    for (uint32_t i = 0; i < kEach; ++i) {
        expected.emplace_back(Key(100000 + i, ks), 5000 + i);
        if (i % 5 != 0) expected.emplace_back(Key(200000 + i, ks), 10000 + i);
    }
    expected = Sorted(expected);
    // Our handle notices the other process's changes through the version counter.
    EXPECT_EQ(WalkForward(index.get()), expected);
    uint64_t keys = 0;
    ASSERT_TRUE(index->Verify(&keys).ok());
    EXPECT_EQ(keys, expected.size());
    index.reset();
    std::vector<Entry> missing;
    EXPECT_EQ(PerlWalk(path, &missing), expected);
    EXPECT_TRUE(missing.empty());
}

// Shared updates raise the header's version counter each time; a reader that
// cached pages drops them when the counter moved.
TEST(NtxShared, VersionCounterDropsStalePages) {
    sde_test::TempDir dir;
    const std::string path = dir.File("V.NTX");
    BuildIndex(path, 10, 100);
    auto reader = OpenIndex(path, true);
    sde::NtxCursor cursor(reader.get());
    bool found = false;
    ASSERT_TRUE(cursor.Seek(Key(50, 10), &found).ok());
    ASSERT_TRUE(found);
    uint16_t before = reader->header().version;
    int rc = sde_test::RunInChild([&] {
        auto file = sde::CurrentEnv()->Open(path, sde::FileAccess::kReadWrite);
        if (!file.ok()) return 2;
        auto writer = sde::NtxIndex::Open(std::move(*file), true);
        if (!writer.ok()) return 3;
        if (!(*writer)->Remove(Key(50, 10), 50).ok()) return 4;
        if (!(*writer)->Insert(Key(50, 10), 777).ok()) return 5;
        return 0;
    });
    ASSERT_EQ(rc, 0);
    ASSERT_TRUE(cursor.Seek(Key(50, 10), &found).ok());
    ASSERT_TRUE(found);
    EXPECT_EQ(cursor.recno(), 777u);
    EXPECT_EQ(uint16_t(reader->header().version - before), 2);
}

// In exclusive use every header write raises the counter too: the first
// update's, and each later one that moves the root.
TEST(NtxExclusive, EveryHeaderWriteRaisesTheVersionCounter) {
    sde_test::TempDir dir;
    const std::string path = dir.File("X.NTX");
    BuildIndex(path, 10, 1);
    // Header bytes 2-3 (version counter) or 4-7 (root offset) as the file holds them.
    auto on_disk = [&path](int at) {
        uint8_t bytes[8] = {};
        std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(bytes), 8);
        return at == 2 ? uint32_t(sde::GetU16(bytes + 2)) : sde::GetU32(bytes + 4);
    };
    auto index = OpenIndex(path, false);
    int root_moves = 0;
    for (uint32_t i = 2; i <= 1500; ++i) {
        const uint32_t root = on_disk(4);
        const uint32_t version = on_disk(2);
        ASSERT_TRUE(index->Insert(Key(i, 10), i).ok());
        if (i == 2) {
            EXPECT_EQ(on_disk(2), uint16_t(version + 1));
        }
        if (on_disk(4) == root) continue;
        ++root_moves;
        EXPECT_NE(on_disk(2), version) << "root moved at key " << i;
    }
    EXPECT_EQ(root_moves, 2);
}

// A build that fails half-way leaves the old index as it was, and no
// temporary file behind.
TEST(NtxBuild, FailedBuildLeavesOldIndex) {
    sde_test::TempDir dir;
    const std::string path = dir.File("OLD.NTX");
    BuildIndex(path, 10, 200);
    const std::string old_bytes = sde_test::ReadWholeFile(path);
    auto header = sde::NewNtxHeader("KEYFIELD", "", 10, 0, false, false);
    sde::NtxBuilder builder(header);
    for (uint32_t i = 1; i <= 300000; ++i) {  // a few MB: several writes
        std::string k = Key(i, 10);
        builder.Add(i, reinterpret_cast<const uint8_t*>(k.data()));
    }
    sde::FaultyEnv faulty(sde::DefaultEnv(), 2);
    sde::Status s = builder.WriteFile(&faulty, path);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(sde_test::ReadWholeFile(path), old_bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    // The same build without faults replaces it.
    ASSERT_TRUE(builder.WriteFile(sde::CurrentEnv(), path).ok());
    auto index = OpenIndex(path);
    uint64_t keys = 0;
    ASSERT_TRUE(index->Verify(&keys).ok());
    EXPECT_EQ(keys, 300000u);
}

// While another program has the index open, a build does not replace it.
TEST(NtxBuild, IndexInUseIsNotReplaced) {
    sde_test::TempDir dir;
    const std::string path = dir.File("BUSY.NTX");
    BuildIndex(path, 10, 200);
    const std::string old_bytes = sde_test::ReadWholeFile(path);
    int to_child[2], from_child[2];
    ASSERT_EQ(pipe(to_child), 0);
    ASSERT_EQ(pipe(from_child), 0);
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        auto file = sde::CurrentEnv()->Open(path, sde::FileAccess::kReadOnly);
        char c = file.ok() && (*file)->SetOpenLock(sde::OpenLock::kShared).ok() ? 'y' : 'n';
        (void)!write(from_child[1], &c, 1);
        (void)!read(to_child[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(from_child[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    {
        auto header = sde::NewNtxHeader("KEYFIELD", "", 10, 0, false, false);
        sde::NtxBuilder builder(header);
        std::string k = Key(1, 10);
        builder.Add(1, reinterpret_cast<const uint8_t*>(k.data()));
        sde::Status s = builder.WriteFile(sde::CurrentEnv(), path);
        EXPECT_EQ(s.code(), sde::Status::Code::kLocked) << s.message();
    }
    (void)!write(to_child[1], "x", 1);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(sde_test::ReadWholeFile(path), old_bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

// Progress runs from 0 up to 1 without going back.
TEST(NtxBuild, ProgressRisesToTheEnd) {
    sde_test::TempDir dir;
    auto header = sde::NewNtxHeader("KEYFIELD", "", 10, 0, false, false);
    sde::NtxBuilder builder(header);
    for (uint32_t i = 1; i <= 10000; ++i) {
        std::string k = Key(i * 7919 % 10007, 10);
        builder.Add(i, reinterpret_cast<const uint8_t*>(k.data()));
    }
    std::vector<double> seen;
    ASSERT_TRUE(
        builder
            .WriteFile(sde::CurrentEnv(), dir.File("P.NTX"), [&](double f) { seen.push_back(f); })
            .ok());
    ASSERT_GT(seen.size(), 10u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.back(), 0.99);
    EXPECT_LE(seen.back(), 1.0);

    // An index without keys (a condition that no record meets) is complete at once.
    sde::NtxBuilder empty(header);
    seen.clear();
    ASSERT_TRUE(
        empty.WriteFile(sde::CurrentEnv(), dir.File("E.NTX"), [&](double f) { seen.push_back(f); })
            .ok());
    for (double f : seen) EXPECT_TRUE(f >= 0.0 && f <= 1.0) << f;
}
