// Fuzz target of the NTX index: the input is an index file over the fixed
// table (common/fixed_table.h).  The index is opened on the table, walked
// forwards and backwards, searched for keys of several kinds, and then kept
// up to date through a changed and an appended record.  Table and memo file
// are restored before every input.  A broken index must end in an engine
// error, never in a crash, a hang or a read outside the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/fixed_table.h"
#include "common/scratch.h"
#include "sde61.h"

namespace {

// Keys as the index expressions of the seed corpus give them, and some that
// fit none.
constexpr const char* kSeekKeys[] = {"APFEL", "Apfel", "B", "", "      1.50", "20260101",
                                     "T", "ZZZZZZZZZZZZZZZZZZZZ", "Z"};
constexpr long kMaxWalk = 200;

const zer1_fuzz::FixedTable& Table() {
    static const zer1_fuzz::FixedTable table =
        zer1_fuzz::CreateFixedTable(zer1_fuzz::ScratchDirectory("ntx"));
    return table;
}

void WalkOrder() {
    char key[300];
    sx_IndexKey(1, key, int(sizeof key));
    long walked = 0;
    for (sx_GoTop(); !sx_Eof() && walked < kMaxWalk; sx_Skip(1), ++walked) sx_RecNo();
    walked = 0;
    for (sx_GoBottom(); !sx_Bof() && walked < kMaxWalk; sx_Skip(-1), ++walked) sx_RecNo();
    for (const char* seek : kSeekKeys) {
        sx_Seek(seek);
        sx_Found();
        sx_Skip(1);
        sx_Skip(-2);
    }
    sx_Go(3);
    sx_Skip(2);
}

void ChangeRecords() {
    sx_Go(2);
    sx_Replace("NAME", "Aprikose");
    sx_Replace("PREIS", "5.55");
    sx_Commit();
    sx_AppendBlank();
    sx_Replace("NAME", "Melone");
    sx_Replace("DATUM", "20261224");
    sx_Commit();
    sx_Go(5);
    sx_Delete();
    sx_Commit();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    sx_ErrorLevel(0);
    const zer1_fuzz::FixedTable& table = Table();
    zer1_fuzz::RestoreFixedTable(table);
    const std::string index = zer1_fuzz::ScratchDirectory("ntx") + "fuzz.ntx";
    zer1_fuzz::WriteScratchFile(index, data, size);

    zer1_fuzz::OpenFixedTable(table, SX_EXCLUSIVE);
    if (sx_IndexOpen(index.c_str()) > 0) {
        WalkOrder();
        ChangeRecords();
        WalkOrder();
        sx_SetOrder(0);
        sx_GoTop();
    }
    sx_Close();
    return 0;
}
