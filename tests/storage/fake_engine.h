// An in-memory stand-in for the engine's function table: a few work areas
// with fields and records, a log of the calls the table layer makes, and
// switches to make single calls fail.  Enough to check what the table layer
// asks of the engine and in which order.
//
// Writes behave as the engine's do: PutRecord and PutMemo change a pending
// copy of the current record, which reaches `records` at Commit or at the next
// move; an append reaches the file at once in shared use and at the commit in
// exclusive use.  A refused commit drops the pending change and leaves the
// file as it was, with the error text and code of the engine.
#ifndef ZER1_TESTS_STORAGE_FAKE_ENGINE_H
#define ZER1_TESTS_STORAGE_FAKE_ENGINE_H

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "storage/engine_api.h"

namespace zer1::fake {

struct Field {
    std::string name;
    char type;
    int width;
    int decimals;
};

struct Area {
    std::string file, alias;
    int mode = 0, commit = 0;
    std::vector<Field> fields;
    std::vector<std::string> records;  // flag byte + field bytes
    std::map<std::pair<long, std::string>, std::string> memos;
    // The change not committed yet: the record's new bytes and memos, and
    // whether it is an exclusive append that is not in `records` yet.
    std::optional<std::string> pending;
    std::map<std::string, std::string> pendingMemos;
    bool pendingAppend = false;
    long recno = 1;  // records.size() + 1 at the end
    bool translate = false;
    std::string password;
    int order = 0;
    bool found = false;
    std::map<std::string, long> keys;  // seek key -> record number
};

struct Engine {
    std::map<int, Area> areas;
    int current = 0;
    int nextArea = 1;
    std::vector<std::string> calls;
    std::string error;
    int errorCode = SX_ERR_NONE;

    // What the next UseEx opens.
    std::vector<Field> nextFields;
    std::vector<std::string> nextRecords;
    bool refuseOpen = false;
    bool failAppend = false;
    // Commit refuses with this error code (SX_ERR_NONE: commits succeed).
    int refuseCommit = SX_ERR_NONE;
    bool failMemo = false;
    int evalTest = 1;
    bool seekMissLeavesPosition = false;  // a miss leaves the record where it was

    std::string createFile;
    std::vector<Field> createFields;
    int createdCount = 0;

    sx_ProgressFn gauge = nullptr;
    void* gaugeContext = nullptr;
    int gaugeCallsReturned = 0;

    Area& cur() { return areas.at(current); }
    // Calls logged since the last mark, then marks.
    std::vector<std::string> takeCalls();
};

Engine& state();
void reset();
const EngineApi& api();

}  // namespace zer1::fake

#endif  // ZER1_TESTS_STORAGE_FAKE_ENGINE_H
