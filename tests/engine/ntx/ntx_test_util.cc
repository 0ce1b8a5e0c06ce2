#include "ntx_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "test_util.h"

namespace ntx_test {

std::unique_ptr<sde::NtxIndex> CreateIndex(const std::string& path, int key_size, bool shared,
                                           bool unique, bool descend, bool mapped) {
    auto file = sde::CurrentEnv()->Create(path);
    EXPECT_TRUE(file.ok()) << file.status().message();
    if (!file.ok()) return nullptr;
    auto header = sde::NewNtxHeader("KEYFIELD", "", key_size, 0, unique, descend);
    auto index = sde::NtxIndex::Create(std::move(*file), header, shared, mapped);
    EXPECT_TRUE(index.ok()) << index.status().message();
    return index.ok() ? std::move(*index) : nullptr;
}

std::unique_ptr<sde::NtxIndex> OpenIndex(const std::string& path, bool shared, bool mapped) {
    auto file = sde::CurrentEnv()->Open(path, sde::FileAccess::kReadWrite);
    EXPECT_TRUE(file.ok()) << file.status().message();
    if (!file.ok()) return nullptr;
    auto index = sde::NtxIndex::Open(std::move(*file), shared, mapped);
    EXPECT_TRUE(index.ok()) << index.status().message();
    return index.ok() ? std::move(*index) : nullptr;
}

std::vector<Entry> WalkForward(sde::NtxIndex* index) {
    std::vector<Entry> out;
    sde::NtxCursor cursor(index);
    sde::Status s = cursor.First();
    while (s.ok() && !cursor.eof()) {
        out.emplace_back(cursor.key(), cursor.recno());
        s = cursor.Next();
    }
    EXPECT_TRUE(s.ok()) << s.message();
    return out;
}

std::vector<Entry> WalkBackward(sde::NtxIndex* index) {
    std::vector<Entry> out;
    sde::NtxCursor cursor(index);
    sde::Status s = cursor.Last();
    while (s.ok() && !cursor.eof()) {
        out.emplace_back(cursor.key(), cursor.recno());
        s = cursor.Prev();
    }
    EXPECT_TRUE(s.ok()) << s.message();
    EXPECT_TRUE(cursor.bof());
    std::reverse(out.begin(), out.end());
    return out;
}

static std::string Unhex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::vector<Entry> PerlWalk(const std::string& path, std::vector<Entry>* missing, bool lookup) {
    std::string output;
    std::string cmd = std::string("perl ") + NTX_PERL_WALKER + " '" + path + "'" +
                      (lookup ? "" : " nolookup") + " 2>&1";
    int rc = sde_test::RunCommand(cmd, &output);
    EXPECT_EQ(rc, 0) << output.substr(0, 2000);
    std::vector<Entry> out;
    if (missing) missing->clear();
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string first, hex;
        uint32_t recno = 0;
        fields >> first;
        if (first == "MISSING") {
            fields >> hex >> recno;
            if (missing) missing->emplace_back(Unhex(hex), recno);
        } else {
            fields >> recno;
            out.emplace_back(Unhex(first), recno);
        }
    }
    return out;
}

std::vector<Entry> Sorted(std::vector<Entry> entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string RandomKey(uint32_t* seed, int key_size, int alphabet) {
    std::string key(size_t(key_size), ' ');
    for (auto& c : key) {
        *seed = *seed * 1103515245u + 12345u;
        c = char('A' + (*seed >> 16) % uint32_t(alphabet));
    }
    return key;
}

}  // namespace ntx_test
