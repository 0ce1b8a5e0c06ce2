// What an archive import needs beyond the host's stock tables (stock_layout.h),
// built by code for the end-to-end tests and the benchmark: the pool
// JEVDBF.DBF with JE1.NTX to JE5.NTX, and the wholesalers' member texts.
// Plus the ways another program holds the host's files: whole files open
// (shared flock) and single records locked (fcntl, which needs a process of
// its own).  No test framework here.
#ifndef ZER1_TESTS_SUPPORT_ARCHIVE_WORLD_H
#define ZER1_TESTS_SUPPORT_ARCHIVE_WORLD_H

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "stock_layout.h"
#include "storage/apollo_table.h"

namespace zer1::testing {

// Opens a table of the world shared, with the given indexes open.
inline void OpenTable(TApolloTable& table, const std::string& directory, const std::string& file,
                      const std::vector<std::string>& indexes = {}) {
    table.SetDatabaseName(directory);
    table.SetTableName(file);
    table.SetExclusive(false);
    table.Open();
    for (const std::string& index : indexes) table.IndexOpen(directory + index);
}

inline std::vector<std::string> PoolIndexNames() {
    std::vector<std::string> names;
    for (const auto& index : jevhost::PoolIndexes()) names.push_back(index.file);
    return names;
}

// The pool JEVDBF.DBF in data_path with its five indexes, empty.
inline void CreatePool(const std::string& data_path) {
    if (!CreateTable(data_path + "JEVDBF.DBF", jevhost::PoolLayout())) {
        throw std::runtime_error("cannot create the pool");
    }
    TApolloTable pool;
    OpenTable(pool, data_path, "JEVDBF.DBF");
    for (const auto& [file, expression] : jevhost::PoolIndexes()) {
        pool.Index(data_path + file, expression);
    }
}

// Opens the pool as the host keeps it: shared, all five indexes, texts in
// the DOS code page.
inline void OpenPoolAsHost(TApolloTable& pool, const std::string& data_path) {
    OpenTable(pool, data_path, "JEVDBF.DBF", PoolIndexNames());
    pool.SetOEMTranslate(true);
}

inline void AddPoolRecord(TApolloTable& pool, const std::string& feld1, const std::string& feld2,
                          const std::string& feld11) {
    pool.Append();
    pool.FieldByName("FELD1").SetAsString(feld1);
    pool.FieldByName("FELD2").SetAsString(feld2);
    pool.FieldByName("FELD11").SetAsString(feld11);
    pool.FieldByName("NOTIZ").SetAsString("vom Host");
    pool.Post();
}

// ASCII text as UTF-16LE bytes behind a byte-order mark, as DGH delivers it.
inline std::string DghMemberText(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + 2 * ascii.size());
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// One DGH line of 16 columns.
inline std::string DghLine(const std::string& ean, const std::string& order,
                           const std::string& description, const std::string& purchase,
                           const std::string& sales, const std::string& group) {
    return "zusatz;text;" + order + ";" + description + ";Lief;x;" + ean + ";;;;;;" + purchase +
           ";" + sales + ";;" + group + "\r\n";
}

// One Fotoco article line of 18 fields.
inline std::string FotocoLine(const std::string& order, const std::string& description,
                              const std::string& purchase, const std::string& group,
                              const std::string& ean, const std::string& sales) {
    return order + ";" + description + ";Zweite Zeile;" + purchase + ";;;" + group +
           ";;;;;;;;;;" + ean + ";" + sales + "\r\n";
}

// Another program that holds files open, as the host does with a shared
// open: a shared flock on each, released when the object goes.
class HeldOpenByAnotherProgram {
  public:
    explicit HeldOpenByAnotherProgram(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0 || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
                throw std::runtime_error("cannot hold " + path);
            }
            fds_.push_back(fd);
        }
    }
    ~HeldOpenByAnotherProgram() {
        for (int fd : fds_) ::close(fd);
    }
    HeldOpenByAnotherProgram(const HeldOpenByAnotherProgram&) = delete;
    HeldOpenByAnotherProgram& operator=(const HeldOpenByAnotherProgram&) = delete;

  private:
    std::vector<int> fds_;
};

// Another process that holds the record lock of one record of a shared
// table, until the object goes.
class RecordLockedByAnotherProcess {
  public:
    RecordLockedByAnotherProcess(const std::string& table, long record_number) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(release_) != 0) throw std::runtime_error("pipe");
        child_ = ::fork();
        if (child_ < 0) throw std::runtime_error("fork");
        if (child_ == 0) {
            ::close(ready[0]);
            ::close(release_[1]);
            const int fd = ::open(table.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_start = 1000000000L + record_number;
            lock.l_len = 1;
            const char locked = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? '1' : '0';
            (void)!::write(ready[1], &locked, 1);
            char ignored;
            (void)!::read(release_[0], &ignored, 1);  // until the parent closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release_[0]);
        char locked = '0';
        (void)!::read(ready[0], &locked, 1);
        ::close(ready[0]);
        if (locked != '1') throw std::runtime_error("the other process could not lock");
    }
    ~RecordLockedByAnotherProcess() {
        ::close(release_[1]);
        ::waitpid(child_, nullptr, 0);
    }
    RecordLockedByAnotherProcess(const RecordLockedByAnotherProcess&) = delete;
    RecordLockedByAnotherProcess& operator=(const RecordLockedByAnotherProcess&) = delete;

  private:
    pid_t child_ = -1;
    int release_[2] = {-1, -1};
};

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_ARCHIVE_WORLD_H
