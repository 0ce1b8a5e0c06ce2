// An in-memory stand-in for the engine's function table: a few work areas
// with fields and records, a log of the calls the table layer makes, and
// switches to make single calls fail.  Enough to check what the table layer
// asks of the engine and in which order.
#pragma once

#include <map>
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

    // What the next UseEx opens.
    std::vector<Field> nextFields;
    std::vector<std::string> nextRecords;
    bool refuseOpen = false;
    bool failAppend = false;
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
