// ZipArchive: read access to one ZIP archive in the published PKWARE format.
// Opening reads the end-of-central-directory record (ZIP64 included) and the
// whole central directory; members are then listed in central-directory
// order and their data can be streamed out, stored or Deflate-compressed,
// with its size and CRC-32 checked.  Archives are never written.
//
// Failures are raised as zer1::Error with the archive texts the user sees:
// kUnhandledArchiveType, kInvalidZipFile, kFailedCrcCheck,
// kUnsupportedMethod and kInvalidPassword.
#ifndef ZER1_IMPORTS_ZIP_ARCHIVE_H
#define ZER1_IMPORTS_ZIP_ARCHIVE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zer1 {

inline constexpr const char* kArchiveDoesNotExist = "Archive does not exist - FileName is blank";
inline constexpr const char* kDirectoryDoesNotExist = "Directory does not exist";
inline constexpr const char* kUnhandledArchiveType = "Unhandled Archive Type";
inline constexpr const char* kInvalidZipFile = "Invalid file - not a PKZip file";
inline constexpr const char* kFailedCrcCheck = "Failed CRC Check";
inline constexpr const char* kUnsupportedMethod =
    "Cannot extract file - unsupported compression method";
inline constexpr const char* kInvalidPassword = "Cannot extract file - invalid password";

// One member as the central directory describes it.
struct ZipMember {
    std::string name;  // UTF-8, folder part included, exactly as stored
    uint16_t version_made_by = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dos_time = 0;
    uint16_t dos_date = 0;
    uint32_t crc32 = 0;
    uint64_t compressed_size = 0;
    uint64_t uncompressed_size = 0;
    uint64_t local_header_offset = 0;
    uint32_t external_attributes = 0;

    bool IsEncrypted() const { return (flags & 0x0001) != 0; }
    // A folder entry: its name ends with a separator or it carries the DOS
    // folder attribute.
    bool IsFolder() const;
    // The file's permission bits as stored (read/write bits only, never
    // execute or special bits), before the process's umask is applied.
    uint32_t PermissionBits() const;
};

// Methods the archive can extract.
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflate = 8;

class ZipArchive {
  public:
    // Receives extracted data piece by piece; returns false to stop with an
    // error (for example when the disk is full).
    using Sink = std::function<bool(const uint8_t* data, std::size_t length)>;

    // Opens the archive at `path` for reading and reads its central directory.
    // Raises kUnhandledArchiveType for a file that is no ZIP archive at all,
    // kInvalidZipFile for a damaged one, and "Cannot open file <path>" when
    // the file cannot be opened.
    static std::unique_ptr<ZipArchive> Open(const std::string& path);

    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    const std::string& path() const { return path_; }
    const std::vector<ZipMember>& members() const { return members_; }
    const std::string& comment() const { return comment_; }

    // Streams the data of `member` (one of members()) into `sink`.  Raises
    // kInvalidPassword, kUnsupportedMethod, kInvalidZipFile (damaged data,
    // data outside the file, more or less data than the stored size) and
    // kFailedCrcCheck; raises "Cannot write file" when the sink refuses.
    // The sink may have received data before an error is raised.
    void Extract(const ZipMember& member, const Sink& sink) const;

  private:
    // The fields of the end-of-central-directory record that matter here,
    // after any ZIP64 record has replaced the 16- and 32-bit ones.
    struct DirectoryLocation {
        uint64_t entries = 0;
        uint64_t size = 0;
        uint64_t offset = 0;
        uint64_t end = 0;  // file offset of the record that follows the directory
    };

    ZipArchive(std::string path, int fd, uint64_t size);
    // Finds the end record (and a ZIP64 record) and reads the archive comment.
    DirectoryLocation LocateDirectory();
    // Reads every central directory header into members_.
    void ReadDirectory();
    bool ReadAt(uint64_t offset, uint64_t length, uint8_t* out) const;
    uint64_t DataOffset(const ZipMember& member) const;

    std::string path_;
    int fd_;
    uint64_t file_size_;
    uint64_t directory_offset_ = 0;  // where member data must end
    std::vector<ZipMember> members_;
    std::string comment_;
};

}  // namespace zer1

#endif  // ZER1_IMPORTS_ZIP_ARCHIVE_H
