// Fuzz target of the table layer of the engine: the input is a table file,
// optionally followed by the separator line "\n#DBT#\n" and its memo file.
// The table is opened exclusively, every record is walked and every field
// and memo read; then a record is changed (a field, a memo that spans
// blocks), a blank record appended; the same follows in shared use, and the
// table is opened once more read-only and walked.  Broken files must end in an engine error, never in
// a crash, a hang or a read outside the files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/scratch.h"
#include "sde61.h"

namespace {

constexpr char kMemoSeparator[] = "\n#DBT#\n";
// A walk stops after this many records, so a header claiming millions of
// records costs no more than a small table.
constexpr long kMaxWalk = 2000;

std::vector<sx_FieldDesc> Fields() {
    const int count = sx_FieldInfo(nullptr, 0);
    if (count <= 0) return {};
    std::vector<sx_FieldDesc> fields(static_cast<std::size_t>(count));
    sx_FieldInfo(fields.data(), count);
    return fields;
}

void ReadRecord(const std::vector<sx_FieldDesc>& fields, std::vector<char>& buffer) {
    sx_GetRecord(buffer.data(), int(buffer.size()));
    sx_Deleted();
    for (const sx_FieldDesc& field : fields) {
        sx_GetString(field.name, buffer.data(), int(buffer.size()));
        sx_Empty(field.name);
        if (field.type == 'M') sx_GetMemo(field.name, buffer.data(), int(buffer.size()));
    }
}

void Walk(std::vector<char>& buffer) {
    const std::vector<sx_FieldDesc> fields = Fields();
    for (int i = 1; i <= int(fields.size()); ++i) {
        sx_FieldName(i, buffer.data(), int(buffer.size()));
        sx_FieldType(i);
        sx_FieldWidth(i);
        sx_FieldDecimals(i);
    }
    sx_RecSize();
    sx_RecCount();
    long walked = 0;
    for (sx_GoTop(); !sx_Eof() && walked < kMaxWalk; sx_Skip(1), ++walked) {
        sx_RecNo();
        ReadRecord(fields, buffer);
    }
    sx_GoBottom();
    for (walked = 0; !sx_Bof() && walked < 3; sx_Skip(-1), ++walked) ReadRecord(fields, buffer);
    sx_Go(sx_RecCount());
    ReadRecord(fields, buffer);
}

void ChangeFirstRecord() {
    const std::vector<sx_FieldDesc> fields = Fields();
    sx_GoTop();
    const std::string long_memo(700, 'm');
    for (const sx_FieldDesc& field : fields) {
        switch (field.type) {
            case 'C': sx_Replace(field.name, "Fuzz"); break;
            case 'N': sx_Replace(field.name, "1"); break;
            case 'D': sx_Replace(field.name, "20261209"); break;
            case 'L': sx_Replace(field.name, "T"); break;
            case 'M': sx_PutMemo(field.name, long_memo.data(), int(long_memo.size())); break;
            default: break;
        }
    }
    sx_Commit();
    sx_AppendBlank();
    for (const sx_FieldDesc& field : fields) {
        if (field.type == 'M') sx_PutMemo(field.name, "kurz", 4);
    }
    sx_Commit();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string& directory = zer1_fuzz::ScratchDirectory("dbf");
    const std::string table = directory + "fuzz.dbf";
    const zer1_fuzz::InputParts parts = zer1_fuzz::SplitInput(data, size, kMemoSeparator);
    zer1_fuzz::WriteScratchFile(table, parts.first);
    zer1_fuzz::WriteScratchFile(directory + "fuzz.dbt", parts.second);
    sx_ErrorLevel(0);
    std::vector<char> buffer(70000);

    if (sx_UseEx(table.c_str(), "FUZZ", SX_EXCLUSIVE, SX_SDENTX, SX_COMMIT_NORMAL) == 0) return 0;
    sx_SetPassword("fuzz");
    sx_SetTranslate(int(size & 1));  // the code page translation on every other input
    Walk(buffer);
    ChangeFirstRecord();
    sx_Close();

    // Shared use reads the record count again and locks what it writes.
    if (sx_UseEx(table.c_str(), "FUZZ", SX_SHARED, SX_SDENTX, SX_COMMIT_NORMAL) == 0) return 0;
    sx_SetPassword("fuzz");
    Walk(buffer);
    if (sx_Rlock(1)) {
        ChangeFirstRecord();
        sx_Unlock(0);
    }
    sx_Close();

    if (sx_UseEx(table.c_str(), "FUZZ", SX_READONLY, SX_SDENTX, SX_COMMIT_NORMAL) == 0) return 0;
    Walk(buffer);
    sx_Close();
    return 0;
}
