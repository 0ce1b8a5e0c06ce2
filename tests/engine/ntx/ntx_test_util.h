// Helpers of the NTX tests: creating indexes, walking them with our cursor
// and with Perl XBase, and a model of what an index must hold.
#ifndef SDE61_NTX_TEST_UTIL_H
#define SDE61_NTX_TEST_UTIL_H

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ntx/ntx_index.h"

namespace ntx_test {

using Entry = std::pair<std::string, uint32_t>;  // key, record number

// A new empty index file at path; mapped: pages through a memory mapping
// (the engine's way) or through reads and writes.
std::unique_ptr<sde::NtxIndex> CreateIndex(const std::string& path, int key_size,
                                           bool shared = false, bool unique = false,
                                           bool descend = false, bool mapped = true);
std::unique_ptr<sde::NtxIndex> OpenIndex(const std::string& path, bool shared = false,
                                         bool mapped = true);

// All entries in index order, by First/Next and by Last/Prev (reversed back
// into index order).
std::vector<Entry> WalkForward(sde::NtxIndex* index);
std::vector<Entry> WalkBackward(sde::NtxIndex* index);

// All entries as Perl XBase walks the file; *missing receives the entries it
// could not look up again (skipped when lookup is false).
std::vector<Entry> PerlWalk(const std::string& path, std::vector<Entry>* missing,
                            bool lookup = true);

// Entries sorted as an ascending index keeps them.
std::vector<Entry> Sorted(std::vector<Entry> entries);

// A random key of key_size bytes over a small alphabet, so that keys repeat.
std::string RandomKey(uint32_t* seed, int key_size, int alphabet);

}  // namespace ntx_test

#endif
