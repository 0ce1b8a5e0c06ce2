// POSIX implementation of File and Env: one shared descriptor per file inside
// the process, flock() for open modes, fcntl() for range locks.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/file.h"

namespace sde {

namespace {

std::string ErrnoText(int err) {
    return std::strerror(err);
}

Status IoError(const std::string& what, const std::string& path, int err) {
    return Status::IOError(what + " " + path + ": " + ErrnoText(err));
}

// One range lock held by one handle of this process.
struct HeldRange {
    const void* owner;
    uint64_t offset;
    uint64_t end;  // exclusive; UINT64_MAX for "to the end"
    RangeLock kind;
};

// The descriptor of one file (device, inode) shared by all handles of this process.
struct SharedFile {
    dev_t dev = 0;
    ino_t ino = 0;
    int fd = -1;
    bool writable = false;
    int users = 0;
    int shared_openers = 0;
    int exclusive_openers = 0;
    int flock_mode = LOCK_UN;
    std::vector<HeldRange> ranges;
    // Set in a child process for descriptors of the parent: the open file
    // description and its flock belong to the parent, so the child only reads
    // through it and never changes its locks.
    bool inherited = false;
};

std::mutex g_registry_mutex;
std::map<std::pair<dev_t, ino_t>, SharedFile*>* g_registry = nullptr;
std::map<std::pair<dev_t, ino_t>, SharedFile*>& Registry() {
    if (g_registry == nullptr) g_registry = new std::map<std::pair<dev_t, ino_t>, SharedFile*>();
    return *g_registry;
}

// After fork() the child opens its own descriptors: it forgets the parent's.
void ForgetParentFilesInChild() {
    for (auto& entry : Registry()) entry.second->inherited = true;
    Registry().clear();
}

struct ForkHandlerInstaller {
    ForkHandlerInstaller() { pthread_atfork(nullptr, nullptr, ForgetParentFilesInChild); }
} g_fork_handler_installer;

bool Overlaps(const HeldRange& r, uint64_t offset, uint64_t end) {
    return r.offset < end && offset < r.end;
}

Status SetFcntl(int fd, short type, uint64_t offset, uint64_t end, bool wait) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(offset);
    fl.l_len = end == UINT64_MAX ? 0 : off_t(end - offset);
    for (;;) {
        if (fcntl(fd, wait ? F_SETLKW : F_SETLK, &fl) == 0) return Status::OK();
        if (errno == EINTR) continue;
        if (errno == EACCES || errno == EAGAIN) return Status::Locked("locked by another user");
        return Status::IOError(std::string("lock failed: ") + ErrnoText(errno));
    }
}

class PosixFile : public File {
  public:
    PosixFile(SharedFile* shared, std::string path, bool writable)
        : shared_(shared), path_(std::move(path)), writable_(writable) {}

    ~PosixFile() override {
        if (map_ != nullptr) munmap(map_, map_size_);
        std::lock_guard<std::mutex> guard(g_registry_mutex);
        if (!shared_->inherited) {
            ReleaseRanges(0, UINT64_MAX);
            ReleaseOpenLock();
        }
        if (--shared_->users == 0) {
            auto it = Registry().find({shared_->dev, shared_->ino});
            if (it != Registry().end() && it->second == shared_) Registry().erase(it);
            close(shared_->fd);
            delete shared_;
        }
    }

    Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* read) override {
        size_t done = 0;
        auto* out = static_cast<char*>(buf);
        while (done < n) {
            ssize_t r = pread(shared_->fd, out + done, n - done, off_t(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                return IoError("cannot read", path_, errno);
            }
            if (r == 0) break;
            done += size_t(r);
            // A regular file gives fewer bytes than asked only at its end:
            // no second call to learn that there is nothing more.
            if (done < n) break;
        }
        *read = done;
        return Status::OK();
    }

    Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
        if (!writable_) return Status::IOError("file is open read-only: " + path_);
        size_t done = 0;
        auto* in = static_cast<const char*>(buf);
        while (done < n) {
            ssize_t w = pwrite(shared_->fd, in + done, n - done, off_t(offset + done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return IoError("cannot write", path_, errno);
            }
            done += size_t(w);
        }
        return Status::OK();
    }

    Result<uint64_t> Size() override {
        struct stat st;
        if (fstat(shared_->fd, &st) != 0) return IoError("cannot examine", path_, errno);
        return uint64_t(st.st_size);
    }

    Status Truncate(uint64_t size) override {
        if (!writable_) return Status::IOError("file is open read-only: " + path_);
        if (ftruncate(shared_->fd, off_t(size)) != 0)
            return IoError("cannot truncate", path_, errno);
        return Status::OK();
    }

    Status Sync() override {
        if (fdatasync(shared_->fd) != 0) return IoError("cannot sync", path_, errno);
        return Status::OK();
    }

    Status SetOpenLock(OpenLock mode) override {
        std::lock_guard<std::mutex> guard(g_registry_mutex);
        if (shared_->inherited) return InheritedError();
        if (mode == open_lock_) return Status::OK();
        OpenLock old = open_lock_;
        ReleaseOpenLock();
        if (mode == OpenLock::kNone) return Status::OK();
        // Other handles of this process count like other programs.
        bool conflict = mode == OpenLock::kExclusive
                            ? (shared_->users > 1 || shared_->exclusive_openers > 0)
                            : shared_->exclusive_openers > 0;
        if (!conflict) {
            if (mode == OpenLock::kShared)
                ++shared_->shared_openers;
            else
                ++shared_->exclusive_openers;
            open_lock_ = mode;
            Status s = ApplyFlock();
            if (s.ok()) return s;
            ReleaseOpenLock();
            RestoreOpenLock(old);
            return Status::Locked("file is in use by another user: " + path_);
        }
        RestoreOpenLock(old);
        return Status::Locked("file is in use: " + path_);
    }

    Status LockRange(uint64_t offset, uint64_t len, RangeLock kind, LockWait wait) override {
        std::lock_guard<std::mutex> guard(g_registry_mutex);
        if (shared_->inherited) return InheritedError();
        uint64_t end = len == 0 ? UINT64_MAX : offset + len;
        for (const HeldRange& r : shared_->ranges) {
            if (r.owner != this && Overlaps(r, offset, end) &&
                (kind == RangeLock::kWrite || r.kind == RangeLock::kWrite)) {
                // Waiting for ourselves would never end: one thread owns the engine.
                return Status::Locked("locked by another work area: " + path_);
            }
        }
        if (kind == RangeLock::kWrite && !shared_->writable) {
            return Status::IOError("file is open read-only: " + path_);
        }
        Status s = SetFcntl(shared_->fd, kind == RangeLock::kWrite ? F_WRLCK : F_RDLCK, offset, end,
                            wait == LockWait::kWait);
        if (!s.ok())
            return Status(s.code() == Status::Code::kLocked
                              ? Status::Locked("locked by another user: " + path_)
                              : Status::IOError(s.message() + ": " + path_));
        // Our own older locks inside the range are replaced by this one.
        if (!shared_->ranges.empty()) DropOwnRecords(offset, end);
        shared_->ranges.push_back({this, offset, end, kind});
        return Status::OK();
    }

    Status UnlockRange(uint64_t offset, uint64_t len) override {
        std::lock_guard<std::mutex> guard(g_registry_mutex);
        if (shared_->inherited) return InheritedError();
        return ReleaseRanges(offset, len == 0 ? UINT64_MAX : offset + len);
    }

    uint8_t* MapPrefix(size_t n) override {
        if (!writable_ || shared_->inherited || n == 0) return nullptr;
        if (map_ != nullptr) return n <= map_size_ ? static_cast<uint8_t*>(map_) : nullptr;
        auto size = Size();
        if (!size.ok() || *size < n) return nullptr;
        void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_SHARED, shared_->fd, 0);
        if (p == MAP_FAILED) return nullptr;
        map_ = p;
        map_size_ = n;
        return static_cast<uint8_t*>(map_);
    }

    Result<void*> MapShared(uint64_t length) override {
        void* p = mmap(nullptr, size_t(length), PROT_READ | (writable_ ? PROT_WRITE : 0),
                       MAP_SHARED, shared_->fd, 0);
        if (p == MAP_FAILED) return IoError("cannot map", path_, errno);
        return p;
    }

    const std::string& path() const override { return path_; }
    bool writable() const override { return writable_; }

  private:
    Status InheritedError() const {
        return Status::IOError("file was opened by the parent process: " + path_);
    }

    void RestoreOpenLock(OpenLock old) {
        if (old == OpenLock::kNone) return;
        if (old == OpenLock::kShared)
            ++shared_->shared_openers;
        else
            ++shared_->exclusive_openers;
        open_lock_ = old;
        ApplyFlock();
    }

    void ReleaseOpenLock() {
        if (open_lock_ == OpenLock::kNone) return;
        if (open_lock_ == OpenLock::kShared)
            --shared_->shared_openers;
        else
            --shared_->exclusive_openers;
        open_lock_ = OpenLock::kNone;
        ApplyFlock();
    }

    // Sets the descriptor's flock to the strongest mode any handle wants.
    Status ApplyFlock() {
        int want = shared_->exclusive_openers > 0 ? LOCK_EX
                   : shared_->shared_openers > 0  ? LOCK_SH
                                                  : LOCK_UN;
        if (want == shared_->flock_mode) return Status::OK();
        for (;;) {
            if (flock(shared_->fd, want | (want == LOCK_UN ? 0 : LOCK_NB)) == 0) {
                shared_->flock_mode = want;
                return Status::OK();
            }
            if (errno == EINTR) continue;
            return Status::Locked("file is in use by another user: " + path_);
        }
    }

    void DropOwnRecords(uint64_t offset, uint64_t end) {
        // Usually whole ranges of ours go: removed in place, no allocation.
        bool cut_needed = false;
        for (const HeldRange& r : shared_->ranges) {
            if (r.owner == this && Overlaps(r, offset, end) && (r.offset < offset || r.end > end))
                cut_needed = true;
        }
        if (!cut_needed) {
            std::erase_if(shared_->ranges, [&](const HeldRange& r) {
                return r.owner == this && Overlaps(r, offset, end);
            });
            return;
        }
        std::vector<HeldRange> kept;
        for (const HeldRange& r : shared_->ranges) {
            if (r.owner != this || !Overlaps(r, offset, end)) {
                kept.push_back(r);
                continue;
            }
            if (r.offset < offset) kept.push_back({this, r.offset, offset, r.kind});
            if (r.end > end) kept.push_back({this, end, r.end, r.kind});
        }
        shared_->ranges.swap(kept);
    }

    // Gives the kernel back what this handle held inside [offset, end), except
    // what other handles of the process still hold there (downgraded to their kind).
    Status ReleaseRanges(uint64_t offset, uint64_t end) {
        size_t own = 0;
        size_t only_index = 0;
        HeldRange only{};
        for (size_t i = 0; i < shared_->ranges.size(); ++i) {
            const HeldRange& r = shared_->ranges[i];
            if (r.owner == this && Overlaps(r, offset, end)) {
                ++own;
                only_index = i;
                only = {this, std::max(r.offset, offset), std::min(r.end, end), r.kind};
            }
        }
        if (own == 0) return Status::OK();
        if (own == 1) {
            // The common case: one range of ours that no other handle of this
            // process holds any part of goes back to the kernel in one call.
            bool others = false;
            for (const HeldRange& r : shared_->ranges) {
                if (r.owner != this && Overlaps(r, only.offset, only.end)) others = true;
            }
            if (!others) {
                const HeldRange& held = shared_->ranges[only_index];
                if (held.offset == only.offset && held.end == only.end) {
                    // Released whole: the entry goes without a second search.
                    shared_->ranges.erase(shared_->ranges.begin() + ptrdiff_t(only_index));
                } else {
                    DropOwnRecords(offset, end);
                }
                Status s = SetFcntl(shared_->fd, F_UNLCK, only.offset, only.end, false);
                return s.ok() ? s : Status::IOError(s.message() + ": " + path_);
            }
        }
        std::vector<HeldRange> mine;
        for (const HeldRange& r : shared_->ranges) {
            if (r.owner == this && Overlaps(r, offset, end)) {
                mine.push_back({this, std::max(r.offset, offset), std::min(r.end, end), r.kind});
            }
        }
        DropOwnRecords(offset, end);
        Status result;
        for (const HeldRange& piece : mine) {
            // Cut points: the piece's ends and every other holder's ends inside it.
            std::vector<uint64_t> cuts{piece.offset, piece.end};
            for (const HeldRange& r : shared_->ranges) {
                if (!Overlaps(r, piece.offset, piece.end)) continue;
                if (r.offset > piece.offset) cuts.push_back(r.offset);
                if (r.end < piece.end) cuts.push_back(r.end);
            }
            std::sort(cuts.begin(), cuts.end());
            cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
            for (size_t i = 0; i + 1 < cuts.size(); ++i) {
                short type = F_UNLCK;
                for (const HeldRange& r : shared_->ranges) {
                    if (!Overlaps(r, cuts[i], cuts[i + 1])) continue;
                    if (r.kind == RangeLock::kWrite)
                        type = F_WRLCK;
                    else if (type == F_UNLCK)
                        type = F_RDLCK;
                }
                Status s = SetFcntl(shared_->fd, type, cuts[i], cuts[i + 1], false);
                if (!s.ok() && result.ok()) result = Status::IOError(s.message() + ": " + path_);
            }
        }
        return result;
    }

    SharedFile* shared_;
    std::string path_;
    bool writable_;
    OpenLock open_lock_ = OpenLock::kNone;
    void* map_ = nullptr;
    size_t map_size_ = 0;
};

class PosixEnv : public Env {
  public:
    Result<std::unique_ptr<File>> Open(const std::string& name, FileAccess access) override {
        bool want_write = access == FileAccess::kReadWrite;
        std::lock_guard<std::mutex> guard(g_registry_mutex);
        // The name as given is tried first; only a name that is not there is
        // looked up without regard to case.
        std::string path = name;
        struct stat st;
        int found = stat(path.c_str(), &st);
        if (found != 0 && errno == ENOENT) {
            std::string resolved = Resolve(name);
            if (resolved != name) {
                path = std::move(resolved);
                found = stat(path.c_str(), &st);
            } else {
                errno = ENOENT;
            }
        }
        if (found != 0) {
            if (errno == ENOENT) return Status::NotFound("file does not exist: " + path);
            return IoError("cannot open", path, errno);
        }
        if (S_ISDIR(st.st_mode)) return Status::IOError("is a directory: " + path);
        auto it = Registry().find({st.st_dev, st.st_ino});
        if (it != Registry().end()) {
            SharedFile* shared = it->second;
            if (want_write && !shared->writable) {
                return Status::IOError("cannot open for writing: " + path);
            }
            ++shared->users;
            return std::unique_ptr<File>(new PosixFile(shared, path, want_write));
        }
        // The shared descriptor is opened for writing whenever the file allows
        // it, so that a later writer in this process can use it too.
        int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        bool fd_writable = fd >= 0;
        if (fd < 0 && !want_write && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        }
        if (fd < 0) {
            if (errno == ENOENT) return Status::NotFound("file does not exist: " + path);
            return IoError("cannot open", path, errno);
        }
        return Register(fd, fd_writable, path, want_write);
    }

    Result<std::unique_ptr<File>> Create(const std::string& name) override {
        std::string path = Resolve(name);
        std::lock_guard<std::mutex> guard(g_registry_mutex);
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && Registry().count({st.st_dev, st.st_ino})) {
            return Status::Locked("file is in use: " + path);
        }
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) return IoError("cannot create", path, errno);
        return Register(fd, true, path, true);
    }

    bool Exists(const std::string& name) override {
        struct stat st;
        return stat(Resolve(name).c_str(), &st) == 0;
    }

    Status Delete(const std::string& name) override {
        std::string path = Resolve(name);
        if (unlink(path.c_str()) != 0) {
            if (errno == ENOENT) return Status::NotFound("file does not exist: " + path);
            return IoError("cannot delete", path, errno);
        }
        return Status::OK();
    }

    Status Rename(const std::string& from, const std::string& to) override {
        std::string source = Resolve(from);
        std::string target = Resolve(to);
        if (rename(source.c_str(), target.c_str()) != 0) {
            return IoError("cannot rename " + source + " to", target, errno);
        }
        return Status::OK();
    }

    std::string Resolve(const std::string& path) override {
        struct stat st;
        if (lstat(path.c_str(), &st) == 0) return path;
        std::string dir = DirName(path);
        std::string base = BaseName(path);
        if (base.empty()) return path;
        DIR* d = opendir(dir.empty() ? "." : dir.c_str());
        if (d == nullptr) return path;
        // Of several names that differ from it only by case, the first in
        // byte order is taken, as the table layer takes it.
        std::string found;
        while (dirent* e = readdir(d)) {
            if (strcasecmp(e->d_name, base.c_str()) == 0 &&
                (found.empty() || std::strcmp(e->d_name, found.c_str()) < 0)) {
                found = e->d_name;
            }
        }
        closedir(d);
        return found.empty() ? path : dir + found;
    }

  private:
    // Called with the registry locked.
    Result<std::unique_ptr<File>> Register(int fd, bool fd_writable, const std::string& path,
                                           bool want_write) {
        struct stat st;
        if (fstat(fd, &st) != 0) {
            int err = errno;
            close(fd);
            return IoError("cannot examine", path, err);
        }
        auto* shared = new SharedFile;
        shared->dev = st.st_dev;
        shared->ino = st.st_ino;
        shared->fd = fd;
        shared->writable = fd_writable;
        shared->users = 1;
        Registry()[{st.st_dev, st.st_ino}] = shared;
        return std::unique_ptr<File>(new PosixFile(shared, path, want_write));
    }
};

Env* g_current_env = nullptr;

}  // namespace

Status File::ReadExact(uint64_t offset, void* buf, size_t n) {
    size_t got = 0;
    SDE_RETURN_IF_ERROR(ReadAt(offset, buf, n, &got));
    if (got != n) {
        return Status::Corruption(path(), "it ends early (wanted " + std::to_string(n) +
                                              " bytes at offset " + std::to_string(offset) + ")");
    }
    return Status::OK();
}

namespace {
PosixEnv* g_default_env = nullptr;
}  // namespace

namespace {

// /proc/locks names the file of every lock held in the system as
// "major:minor:inode" (device numbers in hex, inode in decimal):
//   1: POSIX  ADVISORY  WRITE 9009 fe:00:10953009 1000000005 1000000005
//   2: FLOCK  ADVISORY  WRITE 9000 fe:00:10952993 0 EOF
//   2: -> FLOCK  ADVISORY  WRITE 9012 fe:00:10952993 0 EOF   (a waiter)
bool LockLineNamesFile(const std::string& line, unsigned major_number, unsigned minor_number,
                       unsigned long long inode) {
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string::npos) end = line.size();
        std::string token = line.substr(pos, end - pos);
        pos = end + 1;
        unsigned maj = 0, min = 0;
        unsigned long long ino = 0;
        char rest = 0;
        if (std::count(token.begin(), token.end(), ':') == 2 &&
            std::sscanf(token.c_str(), "%x:%x:%llu%c", &maj, &min, &ino, &rest) == 3) {
            return maj == major_number && min == minor_number && ino == inode;
        }
    }
    return false;
}

}  // namespace

Result<bool> FileInUse(const std::string& name) {
    std::string path = DefaultEnv()->Resolve(name);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return false;
        return IoError("cannot examine", path, errno);
    }
    {
        std::lock_guard<std::mutex> guard(g_registry_mutex);
        if (Registry().count({st.st_dev, st.st_ino}) != 0) return true;
    }
    FILE* locks = std::fopen("/proc/locks", "re");
    if (locks == nullptr) {
        return Status::IOError("cannot tell whether " + path +
                               " is in use: /proc/locks: " + ErrnoText(errno));
    }
    bool in_use = false;
    std::string line;
    char chunk[256];
    while (!in_use && std::fgets(chunk, sizeof chunk, locks) != nullptr) {
        line += chunk;
        if (line.back() != '\n' && !std::feof(locks)) continue;  // a longer line goes on
        if (line.back() == '\n') line.pop_back();
        in_use = LockLineNamesFile(line, major(st.st_dev), minor(st.st_dev), st.st_ino);
        line.clear();
    }
    std::fclose(locks);
    return in_use;
}

Env* DefaultEnv() {
    if (g_default_env == nullptr) g_default_env = new PosixEnv();
    return g_default_env;
}

void ReleaseFileLayerState() {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    // Files still registered belong to objects that outlive the library's
    // own tables; their entries must stay valid, so the registry is kept.
    if (g_registry != nullptr && g_registry->empty()) {
        delete g_registry;
        g_registry = nullptr;
    }
    if (g_current_env == nullptr || g_current_env != g_default_env) {
        delete g_default_env;
        g_default_env = nullptr;
    }
}

Env* CurrentEnv() {
    return g_current_env ? g_current_env : DefaultEnv();
}
void SetCurrentEnv(Env* env) {
    g_current_env = env;
}

unsigned long CurrentProcessId() {
    return static_cast<unsigned long>(getpid());
}

std::string DirName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace sde
