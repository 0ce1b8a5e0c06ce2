// A minimal independent reader of dBASE III files for tests: the header's
// field list and every record's stored bytes, straight from the file, so that
// tests see exactly what other xBase programs would read.
#ifndef ZER1_TESTS_SUPPORT_RAW_DBF_H
#define ZER1_TESTS_SUPPORT_RAW_DBF_H

#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace zer1::testing {

struct RawField {
    std::string name;
    char type;
    int width;
    int decimals;
    int offset;  // within the record, after the flag byte
};

struct RawDbf {
    std::vector<RawField> fields;
    std::vector<std::string> records;  // flag byte first

    int FieldIndex(const std::string& name) const {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::string upper;
            for (char c : fields[i].name) upper += static_cast<char>(std::toupper(c));
            std::string wanted;
            for (char c : name) wanted += static_cast<char>(std::toupper(c));
            if (upper == wanted) return static_cast<int>(i);
        }
        throw std::runtime_error("no field " + name);
    }
    // Stored bytes of a field of record `recno` (1-based), padding included.
    std::string Value(long recno, const std::string& field) const {
        const RawField& f = fields[static_cast<std::size_t>(FieldIndex(field))];
        return records.at(static_cast<std::size_t>(recno - 1))
            .substr(static_cast<std::size_t>(1 + f.offset), static_cast<std::size_t>(f.width));
    }
};

inline RawDbf ReadRawDbf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u8 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at)));
    };
    std::uint32_t count = u8(4) | u8(5) << 8 | u8(6) << 16 | u8(7) << 24;
    std::uint32_t header = u8(8) | u8(9) << 8;
    std::uint32_t length = u8(10) | u8(11) << 8;
    RawDbf dbf;
    int offset = 0;
    for (std::size_t at = 32; at + 32 <= header && bytes.at(at) != '\x0D'; at += 32) {
        RawField f;
        f.name = std::string(bytes.c_str() + at);
        if (f.name.size() > 11) f.name.resize(11);
        f.type = bytes[at + 11];
        f.width = static_cast<int>(u8(at + 16));
        f.decimals = static_cast<int>(u8(at + 17));
        f.offset = offset;
        offset += f.width;
        dbf.fields.push_back(f);
    }
    for (std::uint32_t r = 0; r < count; ++r) {
        dbf.records.push_back(bytes.substr(header + r * length, length));
    }
    return dbf;
}

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_RAW_DBF_H
