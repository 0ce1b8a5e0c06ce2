// Builds ZIP archives in memory for the tests: stored and deflated members,
// data descriptors, ZIP64 records, comments, and deliberately wrong fields.
#ifndef ZER1_TESTS_IMPORTS_ZIP_ZIP_BUILDER_H
#define ZER1_TESTS_IMPORTS_ZIP_ZIP_BUILDER_H

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zer1::testing {

struct ZipEntry {
    ZipEntry(std::string member_name, std::string member_data)
        : name(std::move(member_name)), data(std::move(member_data)) {}

    std::string name;
    std::string data;
    uint16_t method = 8;            // 0 stored, 8 deflate, others stored as they are
    bool utf8_name = false;         // flag bit 11
    bool data_descriptor = false;   // flag bit 3: zero CRC and sizes in the local header
    bool encrypted = false;         // flag bit 0
    bool zip64 = false;             // sizes and offset in a ZIP64 extra field
    uint16_t version_made_by = 20;  // high byte 0: DOS
    uint32_t external_attributes = 0;
    uint16_t dos_date = (44 << 9) | (3 << 5) | 15;    // 2024-03-15
    uint16_t dos_time = (13 << 11) | (45 << 5) | 10;  // 13:45:20
    std::optional<uint32_t> crc;                      // stored CRC instead of the real one
    std::optional<uint64_t> declared_size;  // stored uncompressed size instead of the real one
};

struct ZipOptions {
    ZipOptions() = default;
    explicit ZipOptions(std::string archive_comment) : comment(std::move(archive_comment)) {}

    std::string comment;
    std::string prefix;      // bytes in front of the archive (a stub)
    bool zip64_end = false;  // ZIP64 end record and locator
};

inline void Put16(std::string& out, uint16_t v) {
    out.push_back(char(v));
    out.push_back(char(v >> 8));
}
inline void Put32(std::string& out, uint32_t v) {
    Put16(out, uint16_t(v));
    Put16(out, uint16_t(v >> 16));
}
inline void Put64(std::string& out, uint64_t v) {
    Put32(out, uint32_t(v));
    Put32(out, uint32_t(v >> 32));
}

inline std::string RawDeflate(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&stream, uLong(data.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

inline uint32_t Crc32(const std::string& data) {
    return uint32_t(
        crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

inline std::string BuildZip(const std::vector<ZipEntry>& entries, const ZipOptions& options = {}) {
    std::string out = options.prefix;
    std::string directory;
    for (const ZipEntry& entry : entries) {
        const std::string payload = entry.method == 8 ? RawDeflate(entry.data) : entry.data;
        const uint32_t crc = entry.crc.value_or(Crc32(entry.data));
        const uint64_t size = entry.declared_size.value_or(entry.data.size());
        const uint64_t offset = out.size() - options.prefix.size();
        uint16_t flags = 0;
        if (entry.encrypted) flags |= 0x0001;
        if (entry.data_descriptor) flags |= 0x0008;
        if (entry.utf8_name) flags |= 0x0800;

        std::string zip64_extra;
        if (entry.zip64) {
            Put16(zip64_extra, 0x0001);
            Put16(zip64_extra, 24);
            Put64(zip64_extra, size);
            Put64(zip64_extra, payload.size());
            Put64(zip64_extra, offset);
        }
        const uint32_t size32 = entry.zip64 ? 0xFFFFFFFF : uint32_t(size);
        const uint32_t packed32 = entry.zip64 ? 0xFFFFFFFF : uint32_t(payload.size());

        Put32(out, 0x04034b50);
        Put16(out, entry.zip64 ? 45 : 20);
        Put16(out, flags);
        Put16(out, entry.method);
        Put16(out, entry.dos_time);
        Put16(out, entry.dos_date);
        Put32(out, entry.data_descriptor ? 0 : crc);
        Put32(out, entry.data_descriptor ? 0 : packed32);
        Put32(out, entry.data_descriptor ? 0 : size32);
        Put16(out, uint16_t(entry.name.size()));
        Put16(out, uint16_t(zip64_extra.size()));
        out += entry.name;
        out += zip64_extra;
        out += payload;
        if (entry.data_descriptor) {
            Put32(out, 0x08074b50);
            Put32(out, crc);
            Put32(out, uint32_t(payload.size()));
            Put32(out, uint32_t(size));
        }

        Put32(directory, 0x02014b50);
        Put16(directory, entry.version_made_by);
        Put16(directory, entry.zip64 ? 45 : 20);
        Put16(directory, flags);
        Put16(directory, entry.method);
        Put16(directory, entry.dos_time);
        Put16(directory, entry.dos_date);
        Put32(directory, crc);
        Put32(directory, packed32);
        Put32(directory, size32);
        Put16(directory, uint16_t(entry.name.size()));
        Put16(directory, uint16_t(zip64_extra.size()));
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, entry.external_attributes);
        Put32(directory, entry.zip64 ? 0xFFFFFFFF : uint32_t(offset));
        directory += entry.name;
        directory += zip64_extra;
    }
    const uint64_t directory_offset = out.size() - options.prefix.size();
    out += directory;
    if (options.zip64_end) {
        const uint64_t record_offset = out.size() - options.prefix.size();
        Put32(out, 0x06064b50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, entries.size());
        Put64(out, entries.size());
        Put64(out, directory.size());
        Put64(out, directory_offset);
        Put32(out, 0x07064b50);
        Put32(out, 0);
        Put64(out, record_offset);
        Put32(out, 1);
    }
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, options.zip64_end ? 0xFFFF : uint16_t(entries.size()));
    Put16(out, options.zip64_end ? 0xFFFF : uint16_t(entries.size()));
    Put32(out, options.zip64_end ? 0xFFFFFFFF : uint32_t(directory.size()));
    Put32(out, options.zip64_end ? 0xFFFFFFFF : uint32_t(directory_offset));
    Put16(out, uint16_t(options.comment.size()));
    out += options.comment;
    return out;
}

}  // namespace zer1::testing

#endif  // ZER1_TESTS_IMPORTS_ZIP_ZIP_BUILDER_H
