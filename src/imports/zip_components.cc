#include "imports/zip_components.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <optional>
#include <utility>

#include "common/error.h"
#include "common/file_names.h"
#include "imports/zip_name_pattern.h"

namespace zer1 {
namespace {

std::unique_ptr<ZipArchive> OpenIfPresent(const std::string& file_name) {
    if (file_name.empty() || !FileExists(file_name)) return nullptr;
    return ZipArchive::Open(ResolveFileName(file_name));
}

// A file time as futimens() takes it.
using FileTime = decltype(std::declval<struct stat>().st_mtim);

// The modification time stored in DOS form (local time), or nothing when the
// stored date is no valid date.
//   date: bits 15-9 year since 1980, 8-5 month, 4-0 day
//   time: bits 15-11 hour, 10-5 minute, 4-0 second / 2
std::optional<FileTime> DosTime(uint16_t date, uint16_t time) {
    std::tm tm{};
    tm.tm_year = ((date >> 9) & 0x7F) + 80;
    tm.tm_mon = ((date >> 5) & 0x0F) - 1;
    tm.tm_mday = date & 0x1F;
    tm.tm_hour = (time >> 11) & 0x1F;
    tm.tm_min = (time >> 5) & 0x3F;
    tm.tm_sec = (time & 0x1F) * 2;
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_hour > 23 || tm.tm_min > 59 ||
        tm.tm_sec > 59) {
        return std::nullopt;
    }
    const std::time_t seconds = std::mktime(&tm);
    if (seconds == std::time_t(-1)) return std::nullopt;
    return FileTime{seconds, 0};
}

bool WriteAll(int fd, const uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        length -= std::size_t(n);
    }
    return true;
}

std::string CannotCreate(const std::string& target) {
    return "Cannot create file " + target;
}

}  // namespace

void TAbZipper::SetFileName(const std::string& file_name) {
    archive_.reset();
    file_name_ = file_name;
    archive_ = OpenIfPresent(file_name);
}

int TAbZipper::Count() const {
    return archive_ ? int(archive_->members().size()) : 0;
}

const std::string& TAbZipper::MemberName(int index) const {
    if (index < 0 || index >= Count()) {
        throw Error("List index out of bounds (" + std::to_string(index) + ")");
    }
    return archive_->members()[std::size_t(index)].name;
}

void TAbUnZipper::SetFileName(const std::string& file_name) {
    archive_.reset();
    file_name_ = file_name;
    archive_ = OpenIfPresent(file_name);
}

void TAbUnZipper::SetBaseDirectory(const std::string& directory) {
    std::string base = directory;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (!DirectoryExists(base.empty() ? "." : base)) throw Error(kDirectoryDoesNotExist);
    base_directory_ = base;
}

void TAbUnZipper::ExtractFiles(const std::string& patterns) {
    if (!archive_) throw Error(kArchiveDoesNotExist);
    std::string base = base_directory_.empty() ? "." : base_directory_;
    if (!DirectoryExists(base)) throw Error(kDirectoryDoesNotExist);
    base = WithTrailingSeparator(ResolveFileName(base));
    const ZipNamePattern pattern(patterns);
    for (const ZipMember& member : archive_->members()) {
        if (member.IsFolder() || !pattern.Matches(member.name)) continue;
        ExtractMember(member, base);
    }
}

std::vector<std::string> TAbUnZipper::MatchingMembers(const std::string& patterns) const {
    if (!archive_) throw Error(kArchiveDoesNotExist);
    const ZipNamePattern pattern(patterns);
    std::vector<std::string> names;
    for (const ZipMember& member : archive_->members()) {
        if (!member.IsFolder() && pattern.Matches(member.name)) names.push_back(member.name);
    }
    return names;
}

void TAbUnZipper::ExtractMember(const ZipMember& member, const std::string& base) {
    const std::string file = MemberFileName(member.name);
    if (file.empty() || file == "." || file == "..") return;  // names no file of its own
    const std::string target = ResolveFileName(base + file);

    std::string temp = base + ".zer1-extract-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) throw Error(CannotCreate(target));
    bool closed = false;
    try {
        archive_->Extract(member, [fd](const uint8_t* data, std::size_t length) {
            return WriteAll(fd, data, length);
        });
        // The stored permission bits and time are given where the file
        // system takes them; one that refuses them (no Unix permissions, a
        // time it cannot hold) still receives the member's data.
        ::fchmod(fd, mode_t(member.PermissionBits() & ~CurrentUmask()));
        if (const auto time = DosTime(member.dos_date, member.dos_time)) {
            const FileTime times[2] = {*time, *time};
            ::futimens(fd, times);
        }
        closed = true;
        // A failed close may mean data that never reached the disk.
        const bool written = ::close(fd) == 0;
        // rename replaces whatever is at the target, a symbolic link included,
        // without following it; a folder there makes it fail.
        if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
            throw Error(CannotCreate(target));
        }
    } catch (...) {
        if (!closed) ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
}

}  // namespace zer1
