#include "host/zip_writer.h"

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>

namespace jevhost {
namespace {

constexpr uint16_t kVersionNeeded = 20;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;
// 2026-03-02 09:30:00 in the DOS date and time format, the same for every
// member, so that the same members give the same archive.
constexpr uint16_t kDosDate = ((2026 - 1980) << 9) | (3 << 5) | 2;
constexpr uint16_t kDosTime = (9 << 11) | (30 << 5);

void Put16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

uint32_t Crc32(const std::string& data) {
    return static_cast<uint32_t>(crc32(crc32(0, Z_NULL, 0),
                                       reinterpret_cast<const Bytef*>(data.data()),
                                       static_cast<uInt>(data.size())));
}

// Deflate without the zlib header, as ZIP members hold it.
std::string RawDeflate(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("ZIP: Deflate kann nicht beginnen");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) throw std::runtime_error("ZIP: Deflate ist fehlgeschlagen");
    out.resize(stream.total_out);
    return out;
}

// The fields a local header and its central directory entry share, from
// "version needed" to the name length.
void PutCommonFields(std::string& out, uint16_t method, uint32_t crc, uint32_t packed,
                     uint32_t size, uint16_t name_length) {
    Put16(out, kVersionNeeded);
    Put16(out, 0);  // flags
    Put16(out, method);
    Put16(out, kDosTime);
    Put16(out, kDosDate);
    Put32(out, crc);
    Put32(out, packed);
    Put32(out, size);
    Put16(out, name_length);
}

}  // namespace

std::string BuildZipArchive(const std::vector<ZipMember>& members) {
    std::string archive;
    std::string directory;
    for (const ZipMember& member : members) {
        const std::string payload = member.deflate ? RawDeflate(member.data) : member.data;
        const uint16_t method = member.deflate ? kMethodDeflate : kMethodStored;
        const uint32_t crc = Crc32(member.data);
        const auto packed = static_cast<uint32_t>(payload.size());
        const auto size = static_cast<uint32_t>(member.data.size());
        const auto name_length = static_cast<uint16_t>(member.name.size());
        const auto offset = static_cast<uint32_t>(archive.size());

        Put32(archive, 0x04034b50);
        PutCommonFields(archive, method, crc, packed, size, name_length);
        Put16(archive, 0);  // extra field length
        archive += member.name;
        archive += payload;

        Put32(directory, 0x02014b50);
        Put16(directory, kVersionNeeded);  // made by: DOS
        PutCommonFields(directory, method, crc, packed, size, name_length);
        Put16(directory, 0);  // extra field length
        Put16(directory, 0);  // comment length
        Put16(directory, 0);  // disk
        Put16(directory, 0);  // internal attributes
        Put32(directory, 0);  // external attributes
        Put32(directory, offset);
        directory += member.name;
    }
    const auto directory_offset = static_cast<uint32_t>(archive.size());
    archive += directory;
    Put32(archive, 0x06054b50);
    Put16(archive, 0);  // this disk
    Put16(archive, 0);  // disk of the directory
    Put16(archive, static_cast<uint16_t>(members.size()));
    Put16(archive, static_cast<uint16_t>(members.size()));
    Put32(archive, static_cast<uint32_t>(directory.size()));
    Put32(archive, directory_offset);
    Put16(archive, 0);  // comment length
    return archive;
}

void WriteZipArchive(const std::string& path, const std::vector<ZipMember>& members) {
    const std::string bytes = BuildZipArchive(members);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("Die Datei " + path + " kann nicht geschrieben werden");
}

}  // namespace jevhost
