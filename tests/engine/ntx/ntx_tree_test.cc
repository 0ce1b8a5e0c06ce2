// The B-tree of an NTX file: random maintenance against a model, builds,
// seeks, cursors across changes, unique and descending indexes, free pages,
// all checked by our own walk and by Perl XBase.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "ntx/ntx_build.h"
#include "ntx_test_util.h"
#include "test_util.h"

using namespace ntx_test;

namespace {

std::string Key(const std::string& text, int size) {
    std::string k = text.substr(0, size_t(size));
    k.resize(size_t(size), ' ');
    return k;
}

// Writes entries through the bulk builder into path.
void Build(const std::string& path, int key_size, const std::vector<Entry>& entries,
           bool unique = false, bool descend = false) {
    auto header = sde::NewNtxHeader("KEYFIELD", "", key_size, 0, unique, descend);
    sde::NtxBuilder builder(header);
    for (const auto& e : entries) {
        builder.Add(e.second, reinterpret_cast<const uint8_t*>(e.first.data()));
    }
    sde::Status s = builder.WriteFile(sde::CurrentEnv(), path);
    ASSERT_TRUE(s.ok()) << s.message();
}

uint64_t VerifiedCount(sde::NtxIndex* index) {
    uint64_t keys = 0;
    sde::Status s = index->Verify(&keys);
    EXPECT_TRUE(s.ok()) << s.message();
    return keys;
}

}  // namespace

// Long runs of inserts, deletes and key changes on a small page size (key
// size 100: 8 keys a page) grow and shrink the tree through several levels;
// pages through the memory mapping and through reads and writes.
class NtxTreeMaintenance : public ::testing::TestWithParam<bool> {};

TEST_P(NtxTreeMaintenance, RandomMaintenanceMatchesModelAndPerl) {
    sde_test::TempDir dir;
    const int ks = 100;
    const bool mapped = GetParam();
    auto index = CreateIndex(dir.File("T.NTX"), ks, false, false, false, mapped);
    ASSERT_TRUE(index);
    std::map<uint32_t, std::string> table;  // recno -> key
    uint32_t seed = 7;
    uint32_t next_recno = 1;
    for (int round = 0; round < 6000; ++round) {
        seed = seed * 1664525u + 1013904223u;
        int op = int((seed >> 24) % 10);
        if (op < 5 || table.empty()) {
            std::string key = RandomKey(&seed, ks, 5);
            key.replace(3, std::string::npos, std::string(size_t(ks) - 3, ' '));
            {
                auto st_ = index->Insert(key, next_recno);
                ASSERT_TRUE(st_.ok()) << st_.message();
            }
            table[next_recno++] = key;
        } else {
            auto it = table.lower_bound(1 + (seed >> 8) % next_recno);
            if (it == table.end()) it = table.begin();
            if (op < 8) {
                bool removed = false;
                {
                    auto st_ = index->Remove(it->second, it->first, &removed);
                    ASSERT_TRUE(st_.ok()) << st_.message();
                }
                ASSERT_TRUE(removed);
                table.erase(it);
            } else {
                std::string key = Key(RandomKey(&seed, 3, 5), ks);
                {
                    auto st_ = index->Replace(it->second, key, it->first);
                    ASSERT_TRUE(st_.ok()) << st_.message();
                }
                it->second = key;
            }
        }
        if (round == 2500) {
            // Shrink to a handful of keys so that the root collapses.
            while (table.size() > 3) {
                auto victim = table.begin();
                {
                    auto st_ = index->Remove(victim->second, victim->first);
                    ASSERT_TRUE(st_.ok()) << st_.message();
                }
                table.erase(victim);
            }
            EXPECT_EQ(VerifiedCount(index.get()), 3u);
        }
    }
    std::vector<Entry> model;
    for (const auto& [recno, key] : table) model.emplace_back(key, recno);
    model = Sorted(model);
    EXPECT_EQ(VerifiedCount(index.get()), model.size());
    EXPECT_EQ(WalkForward(index.get()), model);
    EXPECT_EQ(WalkBackward(index.get()), model);
    index.reset();

    // Read back from the file by a fresh handle and by Perl XBase.
    auto reopened = OpenIndex(dir.File("T.NTX"), false, !mapped);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(WalkForward(reopened.get()), model);
    std::vector<Entry> missing;
    EXPECT_EQ(PerlWalk(dir.File("T.NTX"), &missing), model);
    EXPECT_TRUE(missing.empty()) << missing.size() << " entries not found by Perl XBase";
}
INSTANTIATE_TEST_SUITE_P(PageAccess, NtxTreeMaintenance, ::testing::Values(true, false));

// The builder and incremental maintenance give the same sequence; the
// builder's tree is balanced and readable by Perl XBase.
TEST(NtxTree, BuilderMatchesIncrementalInserts) {
    sde_test::TempDir dir;
    for (int count : {0, 1, 42, 43, 1000, 20000}) {
        SCOPED_TRACE(count);
        const int ks = 13;
        std::vector<Entry> entries;
        uint32_t seed = uint32_t(count) + 1;
        for (int i = 0; i < count; ++i) {
            entries.emplace_back(RandomKey(&seed, ks, count > 1000 ? 20 : 3), uint32_t(i + 1));
        }
        Build(dir.File("B.NTX"), ks, entries);
        auto built = OpenIndex(dir.File("B.NTX"));
        ASSERT_TRUE(built);
        EXPECT_EQ(VerifiedCount(built.get()), entries.size());

        auto grown = CreateIndex(dir.File("I.NTX"), ks);
        ASSERT_TRUE(grown);
        std::vector<Entry> shuffled = entries;
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
        for (const auto& e : shuffled) ASSERT_TRUE(grown->Insert(e.first, e.second).ok());

        std::vector<Entry> expected = Sorted(entries);
        EXPECT_EQ(WalkForward(built.get()), expected);
        EXPECT_EQ(WalkForward(grown.get()), expected);
        if (count <= 1000) {
            std::vector<Entry> missing;
            EXPECT_EQ(PerlWalk(dir.File("B.NTX"), &missing), expected);
            EXPECT_TRUE(missing.empty());
        }
        // Built pages are filled evenly: no page but the root below half.
        EXPECT_LE(std::filesystem::file_size(dir.File("B.NTX")),
                  std::filesystem::file_size(dir.File("I.NTX")));
    }
}

// Keys handed over out of record order, with long shared beginnings: equal
// keys still come out in record order.
TEST(NtxTree, BuilderSortsKeysGivenOutOfOrder) {
    sde_test::TempDir dir;
    const int ks = 30;
    std::vector<Entry> entries;
    uint32_t seed = 17;
    for (uint32_t i = 1; i <= 3000; ++i) {
        std::string tail = RandomKey(&seed, 3, 4);
        entries.emplace_back(Key("SAME-BEGINNING-" + tail + "-" + std::to_string(i % 7), ks), i);
    }
    std::vector<Entry> shuffled = entries;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(9));
    Build(dir.File("O.NTX"), ks, shuffled);
    auto built = OpenIndex(dir.File("O.NTX"));
    ASSERT_TRUE(built);
    EXPECT_EQ(WalkForward(built.get()), Sorted(entries));
}

// Deleting from a built tree and inserting into it keeps it valid.
TEST(NtxTree, BuiltTreeAcceptsChanges) {
    sde_test::TempDir dir;
    const int ks = 20;
    std::vector<Entry> entries;
    uint32_t seed = 99;
    for (uint32_t i = 1; i <= 5000; ++i) entries.emplace_back(RandomKey(&seed, ks, 4), i);
    Build(dir.File("B.NTX"), ks, entries);
    auto index = OpenIndex(dir.File("B.NTX"));
    ASSERT_TRUE(index);
    std::set<Entry> model(entries.begin(), entries.end());
    for (uint32_t i = 1; i <= 5000; i += 2) {
        Entry e = entries[i - 1];
        {
            auto st_ = index->Remove(e.first, e.second);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
        model.erase(e);
    }
    for (uint32_t i = 5001; i <= 6000; ++i) {
        std::string k = RandomKey(&seed, ks, 4);
        {
            auto st_ = index->Insert(k, i);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
        model.emplace(k, i);
    }
    std::vector<Entry> expected(model.begin(), model.end());
    EXPECT_EQ(VerifiedCount(index.get()), expected.size());
    EXPECT_EQ(WalkForward(index.get()), expected);
    std::vector<Entry> missing;
    EXPECT_EQ(PerlWalk(dir.File("B.NTX"), &missing), expected);
    EXPECT_TRUE(missing.empty());
}

TEST(NtxTree, SeekFindsFullAndPrefixKeys) {
    sde_test::TempDir dir;
    const int ks = 10;
    std::vector<Entry> entries;
    for (uint32_t i = 1; i <= 3000; ++i) {
        char buf[16];
        snprintf(buf, sizeof buf, "K%05u", (i * 7) % 1500);  // every key twice
        entries.emplace_back(Key(buf, ks), i);
    }
    Build(dir.File("S.NTX"), ks, entries);
    auto index = OpenIndex(dir.File("S.NTX"));
    ASSERT_TRUE(index);
    sde::NtxCursor cursor(index.get());
    bool found = false;
    // Exact keys land on the lowest record number of the key.
    for (uint32_t i = 1; i <= 3000; i += 37) {
        ASSERT_TRUE(cursor.Seek(entries[i - 1].first, &found).ok());
        ASSERT_TRUE(found);
        uint32_t first = 0;
        for (const auto& e : entries) {
            if (e.first == entries[i - 1].first) {
                first = e.second;
                break;
            }
        }
        EXPECT_EQ(cursor.recno(), first);
    }
    // A prefix finds the first key starting with it.
    ASSERT_TRUE(cursor.Seek("K0012", &found).ok());
    EXPECT_TRUE(found);
    EXPECT_EQ(cursor.key(), Key("K00120", ks));
    // Absent: not found, standing on the next greater key.
    ASSERT_TRUE(cursor.Seek(Key("K00120X", ks), &found).ok());
    EXPECT_FALSE(found);
    EXPECT_EQ(cursor.key(), Key("K00121", ks));
    // Behind every key: end of the index.
    ASSERT_TRUE(cursor.Seek(Key("Z", ks), &found).ok());
    EXPECT_FALSE(found);
    EXPECT_TRUE(cursor.eof());
    // Entry positioning.
    ASSERT_TRUE(cursor.SeekEntry(entries[99].first, entries[99].second, &found).ok());
    EXPECT_TRUE(found);
    EXPECT_EQ(cursor.recno(), entries[99].second);
}

// A cursor keeps its place while the tree changes under it.
TEST(NtxTree, CursorSurvivesChanges) {
    sde_test::TempDir dir;
    const int ks = 100;
    auto index = CreateIndex(dir.File("C.NTX"), ks);
    ASSERT_TRUE(index);
    std::set<Entry> model;
    for (uint32_t i = 1; i <= 400; ++i) {
        char buf[16];
        snprintf(buf, sizeof buf, "%06u", i * 2);
        model.emplace(Key(buf, ks), i);
        {
            auto st_ = index->Insert(Key(buf, ks), i);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
    }
    sde::NtxCursor cursor(index.get());
    ASSERT_TRUE(cursor.First().ok());
    std::vector<Entry> seen;
    uint32_t extra = 1000;
    while (!cursor.eof()) {
        Entry current(cursor.key(), cursor.recno());
        seen.push_back(current);
        // Delete the entry we stand on and insert one just behind it.
        {
            auto st_ = index->Remove(current.first, current.second);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
        std::string later = current.first;
        later[6] = 'x';
        if (current.second % 3 == 0) {
            {
                auto st_ = index->Insert(later, extra++);
                ASSERT_TRUE(st_.ok()) << st_.message();
            }
        }
        {
            auto st_ = cursor.Next();
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
    }
    // Every original entry and every inserted one was visited once, in order.
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.size(), 400u + (extra - 1000));
    EXPECT_EQ(VerifiedCount(index.get()), 0u);
}

TEST(NtxTree, UniqueIndexKeepsFirstRecordOfAKey) {
    sde_test::TempDir dir;
    const int ks = 8;
    std::vector<Entry> entries;
    for (uint32_t i = 1; i <= 500; ++i) entries.emplace_back(Key(std::to_string(i % 50), ks), i);
    Build(dir.File("U.NTX"), ks, entries, /*unique=*/true);
    auto built = OpenIndex(dir.File("U.NTX"));
    ASSERT_TRUE(built);
    auto grown = CreateIndex(dir.File("G.NTX"), ks, false, /*unique=*/true);
    for (const auto& e : entries) ASSERT_TRUE(grown->Insert(e.first, e.second).ok());
    std::map<std::string, uint32_t> first;
    for (const auto& e : entries) first.emplace(e.first, e.second);
    std::vector<Entry> expected(first.begin(), first.end());
    EXPECT_EQ(WalkForward(built.get()), expected);
    EXPECT_EQ(WalkForward(grown.get()), expected);
    EXPECT_TRUE(built->header().unique);
}

TEST(NtxTree, DescendingIndexWalksBackwards) {
    sde_test::TempDir dir;
    const int ks = 6;
    std::vector<Entry> entries;
    uint32_t seed = 3;
    for (uint32_t i = 1; i <= 2000; ++i) entries.emplace_back(RandomKey(&seed, ks, 6), i);
    Build(dir.File("D.NTX"), ks, entries, false, /*descend=*/true);
    auto built = OpenIndex(dir.File("D.NTX"));
    ASSERT_TRUE(built);
    ASSERT_TRUE(built->header().descend);
    auto grown = CreateIndex(dir.File("E.NTX"), ks, false, false, /*descend=*/true);
    for (const auto& e : entries) ASSERT_TRUE(grown->Insert(e.first, e.second).ok());
    // Keys descend; equal keys keep their record numbers ascending.
    std::vector<Entry> expected = entries;
    std::sort(expected.begin(), expected.end(), [](const Entry& a, const Entry& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    EXPECT_EQ(WalkForward(built.get()), expected);
    EXPECT_EQ(WalkForward(grown.get()), expected);
    EXPECT_EQ(WalkBackward(grown.get()), expected);
    sde::NtxCursor cursor(built.get());
    bool found = false;
    ASSERT_TRUE(cursor.Seek(expected[700].first, &found).ok());
    EXPECT_TRUE(found);
    EXPECT_EQ(cursor.key(), expected[700].first);
    std::vector<Entry> missing;
    EXPECT_EQ(PerlWalk(dir.File("D.NTX"), &missing, /*lookup=*/false), expected);
}

// Freed pages go to the free chain and are used again before the file grows.
TEST(NtxTree, FreedPagesAreReused) {
    sde_test::TempDir dir;
    const int ks = 100;
    auto index = CreateIndex(dir.File("F.NTX"), ks);
    ASSERT_TRUE(index);
    for (uint32_t i = 1; i <= 2000; ++i) {
        {
            auto st_ = index->Insert(Key(std::to_string(i), ks), i);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
    }
    auto full_size = std::filesystem::file_size(dir.File("F.NTX"));
    for (uint32_t i = 1; i <= 1900; ++i) {
        {
            auto st_ = index->Remove(Key(std::to_string(i), ks), i);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
    }
    EXPECT_NE(index->header().free_head, 0u);
    EXPECT_EQ(VerifiedCount(index.get()), 100u);
    for (uint32_t i = 1; i <= 1900; ++i) {
        {
            auto st_ = index->Insert(Key(std::to_string(i), ks), i);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
    }
    EXPECT_EQ(VerifiedCount(index.get()), 2000u);
    EXPECT_LE(std::filesystem::file_size(dir.File("F.NTX")), full_size + 8 * 1024);
    std::vector<Entry> missing;
    EXPECT_EQ(PerlWalk(dir.File("F.NTX"), &missing, false).size(), 2000u);
}

namespace {

// Pages of an index file as they lie on disk: those reachable from the root
// and those on the free chain.
struct PageCensus {
    size_t file_pages = 0;  // without the header page
    size_t tree_pages = 0;
    size_t free_pages = 0;
};

PageCensus CountPages(const std::string& path) {
    std::string bytes = sde_test::ReadWholeFile(path);
    auto u16 = [&](size_t at) { return uint32_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    PageCensus census;
    census.file_pages = bytes.size() / 1024 - 1;
    std::vector<uint32_t> pending{u32(4)};
    while (!pending.empty() && census.tree_pages <= census.file_pages) {
        uint32_t page = pending.back();
        pending.pop_back();
        ++census.tree_pages;
        uint32_t count = u16(page);
        for (uint32_t i = 0; i <= count; ++i) {
            uint32_t child = u32(page + u16(page + 2 + 2 * i));
            if (child != 0) pending.push_back(child);
        }
    }
    for (uint32_t page = u32(8); page != 0 && census.free_pages <= census.file_pages;
         page = u32(page + u16(page + 2))) {
        ++census.free_pages;
    }
    return census;
}

}  // namespace

// A growing index takes several pages from the file at once and keeps the
// spare ones on the free chain: no page of the file is lost, and splits use
// the spare pages before the file grows again.
TEST(NtxTree, GrowthKeepsSparePagesOnTheFreeChain) {
    sde_test::TempDir dir;
    const int ks = 100;
    const std::string path = dir.File("G.NTX");
    auto index = CreateIndex(path, ks);
    ASSERT_TRUE(index);
    size_t most_spare = 0;
    uint32_t seed = 5;
    for (uint32_t i = 1; i <= 3000; ++i) {
        sde::Status st = index->Insert(RandomKey(&seed, ks, 20), i);
        ASSERT_TRUE(st.ok()) << st.message();
        if (i % 100 == 0) {
            PageCensus census = CountPages(path);
            ASSERT_EQ(census.tree_pages + census.free_pages, census.file_pages) << "after " << i;
            EXPECT_LE(census.free_pages, sde::kNtxMaxSparePages);
            most_spare = std::max(most_spare, census.free_pages);
        }
    }
    EXPECT_GT(most_spare, 1u);  // the file grew by more than one page at a time
    EXPECT_EQ(VerifiedCount(index.get()), 3000u);
    index.reset();
    std::vector<Entry> missing;
    EXPECT_EQ(PerlWalk(path, &missing).size(), 3000u);
    EXPECT_TRUE(missing.empty());
}

// Zero record number and key bytes in the rightmost-child slot of every
// page, whatever happened to the page before.
TEST(NtxTree, RightmostSlotIsWrittenEmpty) {
    sde_test::TempDir dir;
    const int ks = 100;
    auto index = CreateIndex(dir.File("R.NTX"), ks);
    for (uint32_t i = 1; i <= 300; ++i) {
        {
            auto st_ = index->Insert(Key(std::to_string(i * 7919 % 1000), ks), i);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
    }
    for (uint32_t i = 1; i <= 300; i += 3) {
        {
            auto st_ = index->Remove(Key(std::to_string(i * 7919 % 1000), ks), i);
            ASSERT_TRUE(st_.ok()) << st_.message();
        }
    }
    index.reset();
    std::string bytes = sde_test::ReadWholeFile(dir.File("R.NTX"));
    const int m = sde::NtxMaxItems(ks);
    int pages_checked = 0;
    for (size_t at = 1024; at + 1024 <= bytes.size(); at += 1024) {
        const uint8_t* page = reinterpret_cast<const uint8_t*>(bytes.data()) + at;
        int n = sde::GetU16(page);
        if (n == 0) continue;  // free page or empty root
        const uint8_t* slot = page + sde::GetU16(page + 2 + 2 * n);
        for (int b = 4; b < ks + 8; ++b) ASSERT_EQ(slot[b], 0) << "page at " << at;
        ++pages_checked;
    }
    EXPECT_GT(pages_checked, 20);
    (void)m;
}

// An insert moves offsets, not item bytes: keys already in a page keep their slots.
TEST(NtxTree, InsertPermutesOffsetsOnly) {
    sde_test::TempDir dir;
    const int ks = 20;
    const std::string path = dir.File("P.NTX");
    auto index = CreateIndex(path, ks);
    ASSERT_TRUE(index->Insert(Key("M", ks), 1).ok());
    ASSERT_TRUE(index->Insert(Key("T", ks), 2).ok());
    auto slot_of = [&](const std::string& bytes, int i) {
        return sde::GetU16(reinterpret_cast<const uint8_t*>(bytes.data()) + 1024 + 2 + 2 * i);
    };
    std::string before = sde_test::ReadWholeFile(path);
    uint16_t m_slot = slot_of(before, 0), t_slot = slot_of(before, 1);
    ASSERT_TRUE(index->Insert(Key("A", ks), 3).ok());
    std::string after = sde_test::ReadWholeFile(path);
    EXPECT_EQ(sde::GetU16(reinterpret_cast<const uint8_t*>(after.data()) + 1024), 3);
    EXPECT_EQ(slot_of(after, 1), m_slot);
    EXPECT_EQ(slot_of(after, 2), t_slot);
    EXPECT_NE(slot_of(after, 0), m_slot);
    EXPECT_EQ(after.substr(1024 + m_slot, size_t(ks) + 8),
              before.substr(1024 + m_slot, size_t(ks) + 8));
    EXPECT_EQ(after.substr(1024 + slot_of(after, 0) + 8, size_t(ks)), Key("A", ks));
}
