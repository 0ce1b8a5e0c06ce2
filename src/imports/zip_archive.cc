#include "imports/zip_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "common/error.h"
#include "common/little_endian.h"
#include "common/text_encoding.h"

namespace zer1 {
namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndOfDirectorySignature = 0x06054b50;
constexpr uint32_t kZip64EndOfDirectorySignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;

constexpr uint64_t kEndOfDirectorySize = 22;
constexpr uint64_t kMaxCommentSize = 0xFFFF;
constexpr uint64_t kZip64LocatorSize = 20;
constexpr uint64_t kZip64EndOfDirectorySize = 56;
constexpr uint64_t kCentralHeaderSize = 46;
constexpr uint64_t kLocalHeaderSize = 30;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kFlagUtf8Name = 0x0800;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::size_t kChunkSize = 256 * 1024;

[[noreturn]] void Invalid() {
    throw Error(kInvalidZipFile);
}

// End of central directory record (at the end of the file, before a comment
// of up to 65535 bytes):
//
//   offset  size  meaning
//   0       4     signature 50 4B 05 06
//   4       2     number of this disk
//   6       2     disk where the central directory starts
//   8       2     entries on this disk
//   10      2     entries in total
//   12      4     size of the central directory
//   16      4     offset of the central directory
//   20      2     comment length n
//   22      n     comment
//
// ZIP64 locator (20 bytes, directly before the record above):
//   0 signature 50 4B 06 07 (4), 4 disk of the ZIP64 record (4),
//   8 offset of the ZIP64 record (8), 16 number of disks (4).
//
// ZIP64 end of central directory record:
//   0 signature 50 4B 06 06 (4), 4 size of the rest of the record (8),
//   12 version made by (2), 14 version needed (2), 16 number of this disk (4),
//   20 disk where the directory starts (4), 24 entries on this disk (8),
//   32 entries in total (8), 40 size of the directory (8),
//   48 offset of the directory (8).

// Central directory file header:
//
//   offset  size  meaning
//   0       4     signature 50 4B 01 02
//   4       2     version made by (high byte: system, 3 = Unix)
//   6       2     version needed to extract
//   8       2     flags (bit 0 encrypted, bit 3 data descriptor, bit 11 UTF-8 name)
//   10      2     compression method
//   12      2     modification time (DOS)
//   14      2     modification date (DOS)
//   16      4     CRC-32
//   20      4     compressed size (0xFFFFFFFF: in the ZIP64 extra field)
//   24      4     uncompressed size (0xFFFFFFFF: in the ZIP64 extra field)
//   28      2     file name length n
//   30      2     extra field length m
//   32      2     comment length k
//   34      2     disk number start
//   36      2     internal attributes
//   38      4     external attributes (Unix: mode in the high 16 bits;
//                 DOS: 0x01 read-only, 0x10 folder)
//   42      4     offset of the local header (0xFFFFFFFF: in the ZIP64 extra field)
//   46      n     file name; then m bytes extra field; then k bytes comment
//
// Extra field: blocks of id (2), data size (2), data.  The ZIP64 block (id 1)
// holds, in this order and only for the fields set to 0xFFFFFFFF above, the
// uncompressed size (8), the compressed size (8) and the local header offset (8).

// Local file header:
//   0 signature 50 4B 03 04 (4), 4 version needed (2), 6 flags (2),
//   8 method (2), 10 time (2), 12 date (2), 14 CRC-32 (4),
//   18 compressed size (4), 22 uncompressed size (4), 26 name length n (2),
//   28 extra length m (2), 30 name, extra, then the member's data.
//   With flag bit 3 the CRC and sizes here are zero and follow the data in a
//   data descriptor; the central directory always has the real values, so
//   only the name and extra lengths are taken from here.

void ApplyZip64Extra(const uint8_t* extra, std::size_t length, ZipMember& member,
                     bool need_uncompressed, bool need_compressed, bool need_offset) {
    std::size_t pos = 0;
    while (pos + 4 <= length) {
        const uint16_t id = GetU16(extra + pos);
        const uint16_t size = GetU16(extra + pos + 2);
        if (size > length - pos - 4) Invalid();
        if (id == kZip64ExtraId) {
            const uint8_t* data = extra + pos + 4;
            std::size_t used = 0;
            auto take = [&](uint64_t& field) {
                if (used + 8 > size) Invalid();
                field = GetU64(data + used);
                used += 8;
            };
            if (need_uncompressed) take(member.uncompressed_size);
            if (need_compressed) take(member.compressed_size);
            if (need_offset) take(member.local_header_offset);
            return;
        }
        pos += 4 + size;
    }
    if (need_uncompressed || need_compressed || need_offset) Invalid();
}

}  // namespace

bool ZipMember::IsFolder() const {
    if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
    const uint8_t system = version_made_by >> 8;
    if (system == 3) return ((external_attributes >> 16) & 0170000) == 0040000;
    return (external_attributes & 0x10) != 0;
}

uint32_t ZipMember::PermissionBits() const {
    const uint8_t system = version_made_by >> 8;
    if (system == 3) {
        const uint32_t mode = (external_attributes >> 16) & 0666;
        if (mode != 0) return mode;
    }
    return (external_attributes & 0x01) != 0 ? 0444 : 0666;
}

ZipArchive::ZipArchive(std::string path, int fd, uint64_t size)
    : path_(std::move(path)), fd_(fd), file_size_(size) {}

ZipArchive::~ZipArchive() {
    ::close(fd_);
}

std::unique_ptr<ZipArchive> ZipArchive::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Error("Cannot open file " + path);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Error("Cannot open file " + path);
    }
    std::unique_ptr<ZipArchive> archive(new ZipArchive(path, fd, uint64_t(st.st_size)));
    archive->ReadDirectory();
    return archive;
}

bool ZipArchive::ReadAt(uint64_t offset, uint64_t length, uint8_t* out) const {
    if (offset > file_size_ || length > file_size_ - offset) return false;
    uint64_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, out + done, std::size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += uint64_t(n);
    }
    return true;
}

ZipArchive::DirectoryLocation ZipArchive::LocateDirectory() {
    // Find the end-of-central-directory record: the last signature in the
    // final 22 + 65535 bytes whose comment ends exactly at the end of the file
    // (or, failing that, lies wholly inside it).
    const uint64_t tail_size = std::min(file_size_, kEndOfDirectorySize + kMaxCommentSize);
    std::vector<uint8_t> tail(tail_size);
    if (!ReadAt(file_size_ - tail_size, tail_size, tail.data())) Invalid();
    std::optional<uint64_t> record;  // position within `tail`
    std::optional<uint64_t> loose;
    for (uint64_t i = tail_size >= kEndOfDirectorySize ? tail_size - kEndOfDirectorySize + 1 : 0;
         i-- > 0;) {
        if (GetU32(&tail[i]) != kEndOfDirectorySignature) continue;
        const uint64_t comment_length = GetU16(&tail[i + 20]);
        if (i + kEndOfDirectorySize + comment_length == tail_size) {
            record = i;
            break;
        }
        if (!loose && i + kEndOfDirectorySize + comment_length <= tail_size) loose = i;
    }
    if (!record) record = loose;
    if (!record) {
        uint8_t head[4] = {};
        if (ReadAt(0, 4, head) && GetU32(head) == kLocalHeaderSignature) Invalid();
        throw Error(kUnhandledArchiveType);
    }
    const uint8_t* eocd = &tail[*record];
    const uint64_t eocd_position = file_size_ - tail_size + *record;
    comment_.assign(reinterpret_cast<const char*>(eocd + kEndOfDirectorySize), GetU16(eocd + 20));

    DirectoryLocation location;
    const uint16_t disk = GetU16(eocd + 4);
    const uint16_t directory_disk = GetU16(eocd + 6);
    const uint16_t disk_entries = GetU16(eocd + 8);
    location.entries = GetU16(eocd + 10);
    location.size = GetU32(eocd + 12);
    location.offset = GetU32(eocd + 16);
    location.end = eocd_position;

    // A ZIP64 locator directly in front of the record replaces its fields.
    uint8_t locator[kZip64LocatorSize];
    if (eocd_position >= kZip64LocatorSize &&
        ReadAt(eocd_position - kZip64LocatorSize, kZip64LocatorSize, locator) &&
        GetU32(locator) == kZip64LocatorSignature) {
        const uint64_t record64_position = GetU64(locator + 8);
        uint8_t record64[kZip64EndOfDirectorySize];
        if (GetU32(locator + 16) > 1 ||
            eocd_position < kZip64LocatorSize + kZip64EndOfDirectorySize ||
            record64_position > eocd_position - kZip64LocatorSize - kZip64EndOfDirectorySize ||
            !ReadAt(record64_position, kZip64EndOfDirectorySize, record64) ||
            GetU32(record64) != kZip64EndOfDirectorySignature) {
            Invalid();
        }
        if (GetU32(record64 + 16) != 0 || GetU32(record64 + 20) != 0 ||
            GetU64(record64 + 24) != GetU64(record64 + 32)) {
            Invalid();  // spanned over several disks
        }
        location.entries = GetU64(record64 + 32);
        location.size = GetU64(record64 + 40);
        location.offset = GetU64(record64 + 48);
        location.end = record64_position;
    } else if (disk != 0 || directory_disk != 0 || disk_entries != location.entries) {
        Invalid();  // spanned over several disks
    }

    return location;
}

void ZipArchive::ReadDirectory() {
    const DirectoryLocation location = LocateDirectory();

    // The directory must end where the record begins.  Data in front of the
    // archive (a self-extracting stub) shifts every offset by the same amount.
    if (location.size > location.end) Invalid();
    const uint64_t directory_start = location.end - location.size;
    if (location.offset > directory_start) Invalid();
    const uint64_t shift = directory_start - location.offset;
    if (location.entries > location.size / kCentralHeaderSize) Invalid();
    directory_offset_ = directory_start;

    std::vector<uint8_t> directory(location.size);
    if (!ReadAt(directory_start, location.size, directory.data())) Invalid();
    members_.reserve(location.entries);
    uint64_t pos = 0;
    for (uint64_t index = 0; index < location.entries; ++index) {
        if (location.size - pos < kCentralHeaderSize) Invalid();
        const uint8_t* header = &directory[pos];
        if (GetU32(header) != kCentralHeaderSignature) Invalid();
        const uint64_t name_length = GetU16(header + 28);
        const uint64_t extra_length = GetU16(header + 30);
        const uint64_t comment_length = GetU16(header + 32);
        const uint64_t total = kCentralHeaderSize + name_length + extra_length + comment_length;
        if (location.size - pos < total) Invalid();

        ZipMember member;
        member.version_made_by = GetU16(header + 4);
        member.flags = GetU16(header + 8);
        member.method = GetU16(header + 10);
        member.dos_time = GetU16(header + 12);
        member.dos_date = GetU16(header + 14);
        member.crc32 = GetU32(header + 16);
        member.compressed_size = GetU32(header + 20);
        member.uncompressed_size = GetU32(header + 24);
        member.external_attributes = GetU32(header + 38);
        member.local_header_offset = GetU32(header + 42);
        ApplyZip64Extra(header + kCentralHeaderSize + name_length, extra_length, member,
                        member.uncompressed_size == 0xFFFFFFFF,
                        member.compressed_size == 0xFFFFFFFF,
                        member.local_header_offset == 0xFFFFFFFF);

        const std::string_view raw_name(reinterpret_cast<const char*>(header + kCentralHeaderSize),
                                        name_length);
        if (raw_name.find('\0') != std::string_view::npos) Invalid();
        if ((member.flags & kFlagUtf8Name) != 0) {
            std::string name;
            for (std::size_t i = 0; i < raw_name.size();)
                AppendUtf8(name, NextCodePoint(raw_name, i));
            member.name = std::move(name);
        } else {
            member.name = Cp437ToUtf8(raw_name);
        }

        if (member.local_header_offset > location.offset) Invalid();
        member.local_header_offset += shift;
        members_.push_back(std::move(member));
        pos += total;
    }
}

uint64_t ZipArchive::DataOffset(const ZipMember& member) const {
    uint8_t header[kLocalHeaderSize];
    if (member.local_header_offset > directory_offset_ ||
        directory_offset_ - member.local_header_offset < kLocalHeaderSize ||
        !ReadAt(member.local_header_offset, kLocalHeaderSize, header) ||
        GetU32(header) != kLocalHeaderSignature) {
        Invalid();
    }
    const uint64_t start =
        member.local_header_offset + kLocalHeaderSize + GetU16(header + 26) + GetU16(header + 28);
    if (start > directory_offset_ || member.compressed_size > directory_offset_ - start) Invalid();
    return start;
}

void ZipArchive::Extract(const ZipMember& member, const Sink& sink) const {
    if (member.IsEncrypted() || (member.flags & kFlagStrongEncryption) != 0) {
        throw Error(kInvalidPassword);
    }
    if (member.method != kMethodStored && member.method != kMethodDeflate) {
        throw Error(kUnsupportedMethod);
    }
    if (member.method == kMethodStored && member.compressed_size != member.uncompressed_size) {
        Invalid();
    }
    uint64_t input_offset = DataOffset(member);
    uint64_t input_left = member.compressed_size;

    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t produced = 0;
    auto deliver = [&](const uint8_t* data, std::size_t length) {
        if (length == 0) return;
        if (length > member.uncompressed_size - produced) Invalid();  // more than declared
        crc = crc32(crc, data, uInt(length));
        produced += length;
        if (!sink(data, length)) throw Error("Cannot write file");
    };

    std::vector<uint8_t> input(std::min<uint64_t>(kChunkSize, std::max<uint64_t>(input_left, 1)));
    if (member.method == kMethodStored) {
        while (input_left > 0) {
            const std::size_t length = std::size_t(std::min<uint64_t>(input_left, input.size()));
            if (!ReadAt(input_offset, length, input.data())) Invalid();
            deliver(input.data(), length);
            input_offset += length;
            input_left -= length;
        }
    } else {
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw Error("Out of memory");
        struct StreamGuard {
            z_stream* stream;
            ~StreamGuard() { inflateEnd(stream); }
        } guard{&stream};
        std::vector<uint8_t> output(kChunkSize);
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            if (stream.avail_in == 0) {
                if (input_left == 0) Invalid();  // data ends inside the stream
                const std::size_t length =
                    std::size_t(std::min<uint64_t>(input_left, input.size()));
                if (!ReadAt(input_offset, length, input.data())) Invalid();
                input_offset += length;
                input_left -= length;
                stream.next_in = input.data();
                stream.avail_in = uInt(length);
            }
            stream.next_out = output.data();
            stream.avail_out = uInt(output.size());
            status = inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) Invalid();
            deliver(output.data(), output.size() - stream.avail_out);
            if (status == Z_BUF_ERROR && stream.avail_in != 0) Invalid();
        }
    }
    if (produced != member.uncompressed_size) Invalid();
    if (uint32_t(crc) != member.crc32) throw Error(kFailedCrcCheck);
}

}  // namespace zer1
