// Builds small ZIP archives for the dialog tests: members stored without
// compression, in the order given.
#ifndef ZER1_TESTS_SUPPORT_STORED_ZIP_H
#define ZER1_TESTS_SUPPORT_STORED_ZIP_H

#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace zer1::testing {

inline void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Writes a ZIP archive at `path` holding (name, contents) pairs.
inline void WriteStoredZip(const std::string& path,
                           const std::vector<std::pair<std::string, std::string>>& members) {
    std::string archive;
    std::string directory;
    for (const auto& [name, data] : members) {
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        const uint32_t offset = static_cast<uint32_t>(archive.size());
        PutLe(archive, 0x04034b50, 4);
        PutLe(archive, 20, 2);      // version needed
        PutLe(archive, 0, 2);       // flags
        PutLe(archive, 0, 2);       // stored
        PutLe(archive, 0, 2);       // time
        PutLe(archive, 0x5821, 2);  // date
        PutLe(archive, crc, 4);
        PutLe(archive, static_cast<uint32_t>(data.size()), 4);
        PutLe(archive, static_cast<uint32_t>(data.size()), 4);
        PutLe(archive, static_cast<uint32_t>(name.size()), 2);
        PutLe(archive, 0, 2);
        archive += name;
        archive += data;

        PutLe(directory, 0x02014b50, 4);
        PutLe(directory, 20, 2);  // made by
        PutLe(directory, 20, 2);  // needed
        PutLe(directory, 0, 2);
        PutLe(directory, 0, 2);
        PutLe(directory, 0, 2);
        PutLe(directory, 0x5821, 2);
        PutLe(directory, crc, 4);
        PutLe(directory, static_cast<uint32_t>(data.size()), 4);
        PutLe(directory, static_cast<uint32_t>(data.size()), 4);
        PutLe(directory, static_cast<uint32_t>(name.size()), 2);
        PutLe(directory, 0, 2);  // extra
        PutLe(directory, 0, 2);  // comment
        PutLe(directory, 0, 2);  // disk
        PutLe(directory, 0, 2);  // internal attributes
        PutLe(directory, 0, 4);  // external attributes
        PutLe(directory, offset, 4);
        directory += name;
    }
    const uint32_t directory_offset = static_cast<uint32_t>(archive.size());
    archive += directory;
    PutLe(archive, 0x06054b50, 4);
    PutLe(archive, 0, 2);
    PutLe(archive, 0, 2);
    PutLe(archive, static_cast<uint32_t>(members.size()), 2);
    PutLe(archive, static_cast<uint32_t>(members.size()), 2);
    PutLe(archive, static_cast<uint32_t>(directory.size()), 4);
    PutLe(archive, directory_offset, 4);
    PutLe(archive, 0, 2);
    WriteFile(path, archive);
}

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_STORED_ZIP_H
