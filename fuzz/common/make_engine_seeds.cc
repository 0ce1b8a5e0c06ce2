// Writes the seed corpora of the engine targets: tables with their memo files
// for dbf/ (the fixed table, an encrypted one, an empty one and damaged
// copies) and indexes over the fixed table for ntx/ (several key types,
// descending, unique, with a condition, and damaged copies).
//   zer1_make_engine_seeds tests/data/fuzz
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/fixed_table.h"
#include "common/scratch.h"
#include "sde61.h"

namespace {

constexpr char kMemoSeparator[] = "\n#DBT#\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Seed(const std::string& directory, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(directory);
    zer1_fuzz::WriteScratchFile(directory + "/" + name, bytes);
}

std::string Patched(std::string bytes, std::size_t at, const std::string& with) {
    if (at + with.size() <= bytes.size()) bytes.replace(at, with.size(), with);
    return bytes;
}

[[noreturn]] void Fail(const char* step) {
    std::fprintf(stderr, "%s failed: %s\n", step, sx_ErrorText());
    std::exit(1);
}

void TableSeeds(const std::string& out, const zer1_fuzz::FixedTable& table,
                const std::string& scratch) {
    const std::string dir = out + "/dbf";
    const std::string& dbf = table.table_bytes;
    const std::string& dbt = table.memo_bytes;
    Seed(dir, "table_with_memo", dbf + kMemoSeparator + dbt);
    Seed(dir, "table_without_memo_file", dbf);
    // The first dozen records alone: small inputs keep the fuzzing fast.
    const std::size_t header = std::size_t(uint8_t(dbf[8])) | std::size_t(uint8_t(dbf[9])) << 8;
    const std::size_t record = std::size_t(uint8_t(dbf[10])) | std::size_t(uint8_t(dbf[11])) << 8;
    Seed(dir, "small_table", Patched(dbf.substr(0, header + 12 * record) + "\x1a", 4,
                                     std::string("\x0c\x00\x00\x00", 4)) +
                                 kMemoSeparator + dbt);
    Seed(dir, "truncated_record", dbf.substr(0, dbf.size() - 30) + kMemoSeparator + dbt);
    Seed(dir, "record_count_too_large", Patched(dbf, 4, std::string("\xff\xff\x00\x00", 4)));
    Seed(dir, "header_length_past_end", Patched(dbf, 8, std::string("\xff\x7f", 2)));
    Seed(dir, "record_length_zero", Patched(dbf, 10, std::string("\x00\x00", 2)));
    Seed(dir, "field_width_zero", Patched(dbf, 32 + 16, std::string("\x00", 1)));
    Seed(dir, "memo_next_block_zero", dbf + kMemoSeparator + Patched(dbt, 0, std::string(4, '\0')));
    Seed(dir, "memo_cut_short", dbf + kMemoSeparator + dbt.substr(0, 530));

    // An encrypted table and an empty one with a memo field.
    const std::string encrypted = scratch + "geheim.dbf";
    sx_CreatePassword("fuzz");
    if (!sx_CreateNew(encrypted.c_str(), "GEHEIM", SX_SDENTX, 2) ||
        !sx_CreateField("TEXT", "C", 12, 0) || !sx_CreateField("NOTIZ", "M", 10, 0) ||
        !sx_CreateExec()) {
        Fail("creating the encrypted table");
    }
    sx_AppendBlank();
    sx_Replace("TEXT", "verschluesselt");
    sx_PutMemo("NOTIZ", "geheime Notiz", 13);
    sx_Commit();
    sx_Close();
    sx_CreatePassword(nullptr);
    Seed(dir, "encrypted", ReadFile(encrypted) + kMemoSeparator + ReadFile(scratch + "geheim.dbt"));

    const std::string empty = scratch + "leer.dbf";
    if (!sx_CreateNew(empty.c_str(), "LEER", SX_SDENTX, 1) || !sx_CreateField("NOTIZ", "M", 10, 0) ||
        !sx_CreateExec()) {
        Fail("creating the empty table");
    }
    sx_Close();
    Seed(dir, "empty_table", ReadFile(empty) + kMemoSeparator + ReadFile(scratch + "leer.dbt"));
}

void IndexSeeds(const std::string& out, const zer1_fuzz::FixedTable& table,
                const std::string& scratch) {
    struct Index {
        const char* name;
        const char* key;
        const char* condition;
        int unique;
        int descend;
    };
    constexpr Index kIndexes[] = {
        {"upper_name", "UPPER(NAME)", nullptr, 0, 0},
        {"price", "PREIS", nullptr, 0, 0},
        {"date_descending", "DTOS(DATUM)", nullptr, 0, 1},
        {"name_unique", "NAME", nullptr, 1, 0},
        {"name_price_condition", "NAME+STR(PREIS,9,2)", "AKTIV", 0, 0},
    };
    const std::string dir = out + "/ntx";
    zer1_fuzz::OpenFixedTable(table, SX_EXCLUSIVE);
    std::string first;
    for (const Index& index : kIndexes) {
        const std::string path = scratch + index.name + ".ntx";
        if (sx_Index(path.c_str(), index.key, index.condition, index.unique, index.descend) == 0) {
            Fail("sx_Index");
        }
        sx_IndexClose();
        const std::string bytes = ReadFile(path);
        if (first.empty()) first = bytes;
        Seed(dir, index.name, bytes);
    }
    sx_Close();
    Seed(dir, "truncated_page", first.substr(0, first.size() - 600));
    Seed(dir, "root_past_end", Patched(first, 4, std::string("\x00\xf0\x00\x00", 4)));
    Seed(dir, "key_size_zero", Patched(first, 12, std::string("\x00\x00", 2)));
    Seed(dir, "key_expression_unknown_field", Patched(first, 22, "UPPER(NICHT)"));
    Seed(dir, "page_key_count_large", Patched(first, 1024, std::string("\xff\x00", 2)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    sx_ErrorLevel(0);
    const std::string& scratch = zer1_fuzz::ScratchDirectory("seeds");
    const zer1_fuzz::FixedTable table = zer1_fuzz::CreateFixedTable(scratch);
    TableSeeds(argv[1], table, scratch);
    IndexSeeds(argv[1], table, scratch);
    return 0;
}
