#include "common/unfinished_run_marker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace zer1 {

UnfinishedRunMarker::UnfinishedRunMarker(std::string path) : path_(std::move(path)) {}

UnfinishedRunMarker::~UnfinishedRunMarker() {
    if (fd_ >= 0) ::close(fd_);
}

bool UnfinishedRunMarker::LeftByAnEarlierRun() const {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // A running update holds its shared lock: then the exclusive one fails.
    const bool nobody_holds_it = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return nobody_holds_it;
}

bool UnfinishedRunMarker::Begin() {
    if (fd_ >= 0) return true;
    // A finishing update may remove the file between our open and our lock:
    // then the lock is on a file that is gone, and we try again.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        struct stat held {};
        struct stat named {};
        if (::flock(fd, LOCK_SH) == 0 && ::fstat(fd, &held) == 0 &&
            ::stat(path_.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
    return false;
}

void UnfinishedRunMarker::Finish() {
    if (fd_ < 0) return;
    // Only the last update to end may remove the file; the others just let go.
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

}  // namespace zer1
