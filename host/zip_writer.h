// The host stand-in's ZIP writer: archives as wholesalers deliver them, each
// member stored or compressed with Deflate, with its CRC-32, a DOS time
// stamp and the central directory.  The demo writes its archives with it,
// and the tests build their well-formed archives with it too.
#ifndef ZER1_HOST_ZIP_WRITER_H
#define ZER1_HOST_ZIP_WRITER_H

#include <string>
#include <utility>
#include <vector>

namespace jevhost {

struct ZipMember {
    ZipMember(std::string member_name, std::string member_data, bool deflated = false)
        : name(std::move(member_name)), data(std::move(member_data)), deflate(deflated) {}

    std::string name;
    std::string data;
    bool deflate = false;  // compressed with Deflate, else stored
};

// The archive's bytes, members in the order given.
std::string BuildZipArchive(const std::vector<ZipMember>& members);

// Writes the archive to `path`; throws std::runtime_error naming the file
// when it cannot be written.
void WriteZipArchive(const std::string& path, const std::vector<ZipMember>& members);

}  // namespace jevhost

#endif  // ZER1_HOST_ZIP_WRITER_H
