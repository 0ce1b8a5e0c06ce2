// The world of an archive import, built by code for the end-to-end tests and
// the benchmark: the host's program directory (parameter table, index
// catalogue), its data directory (pool JEVDBF.DBF with JE1.NTX to JE5.NTX,
// stock master MLAGER.DBF with MLAGER.NTX, stock log MLPROTO.DBF), and the
// wholesalers' archives.  Plus the ways another program holds the host's
// files: whole files open (shared flock) and single records locked (fcntl,
// which needs a process of its own).
#ifndef ZER1_TESTS_ARCHIVE_RUN_ARCHIVE_WORLD_H
#define ZER1_TESTS_ARCHIVE_RUN_ARCHIVE_WORLD_H

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "dialog/parameter_table.h"
#include "storage/apollo_table.h"
#include "tests/common/temp_dir.h"

namespace zer1::testing {

struct FieldDef {
    const char* name;
    const char* type;
    int width;
    int decimals;
};

inline void CreateTable(const std::string& path, const std::vector<FieldDef>& fields) {
    TApolloTable maker;
    if (!maker.CreateNew(path, kTableTypeNtx, static_cast<int>(fields.size()))) {
        throw std::runtime_error("cannot create " + path);
    }
    for (const FieldDef& f : fields) maker.CreateField(f.name, f.type, f.width, f.decimals);
    if (!maker.CreateExec()) throw std::runtime_error("cannot create " + path);
}

// Opens a table of the world exclusively, with the given indexes open.
inline void OpenTable(TApolloTable& table, const std::string& directory, const std::string& file,
                      const std::vector<std::string>& indexes = {}) {
    table.SetDatabaseName(directory);
    table.SetTableName(file);
    table.SetExclusive(false);
    table.Open();
    for (const std::string& index : indexes) table.IndexOpen(directory + index);
}

// The pool's key expressions, JE1.NTX to JE5.NTX.
inline const std::vector<std::pair<std::string, std::string>>& PoolIndexes() {
    static const std::vector<std::pair<std::string, std::string>> indexes{
        {"JE1.NTX", "FELD1"},        {"JE2.NTX", "UPPER(FELD2)"}, {"JE3.NTX", "FELD13"},
        {"JE4.NTX", "FELD9+FELD1"}, {"JE5.NTX", "FELD11+FELD1"}};
    return indexes;
}

// ASCII text as UTF-16LE bytes behind a byte-order mark, as DGH delivers it.
inline std::string DghMemberText(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
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

class ArchiveWorld {
  public:
    ArchiveWorld() {
        if (!CreateParameterTable(program.path(), "")) {
            throw std::runtime_error("cannot create the parameter table");
        }
        CreateTable(program / "INDEXES.DBF",
                    {{"DATAFILE", "C", 8, 0}, {"INDEXNAME", "C", 8, 0}, {"INDEXEXP", "C", 100, 0}});
        {
            TApolloTable catalogue;
            OpenTable(catalogue, program.path(), "INDEXES.DBF");
            for (const auto& [file, name, expression] :
                 {std::tuple{"MLAGER", "MLAGER", "ARTNUM"},
                  std::tuple{"MLAGER", "MLBEZ", "UPPER(ARTBEZ)"},
                  std::tuple{"JEVDBF", "JEANDRE", "FELD2"}}) {
                catalogue.Append();
                catalogue.FieldByName("DATAFILE").SetAsString(file);
                catalogue.FieldByName("INDEXNAME").SetAsString(name);
                catalogue.FieldByName("INDEXEXP").SetAsString(expression);
                catalogue.Post();
            }
        }
        CreatePool();
        CreateStockMaster();
        CreateTable(data / "MLPROTO.DBF",
                    {{"ARTBEZ", "C", 50, 0}, {"ARTNUM", "C", 13, 0}, {"TEXT", "C", 10, 0},
                     {"DATUM", "D", 8, 0}, {"PREIS", "N", 12, 2}, {"ABGA", "N", 10, 2},
                     {"ZUGA", "N", 10, 2}, {"RUECK", "N", 10, 2}});
    }

    // Adds a pool record as the host keeps it: all five indexes open.
    void AddPoolRecord(const std::string& feld1, const std::string& feld2,
                       const std::string& feld11) {
        TApolloTable pool;
        std::vector<std::string> names;
        for (const auto& index : PoolIndexes()) names.push_back(index.first);
        OpenTable(pool, data.path(), "JEVDBF.DBF", names);
        pool.SetOEMTranslate(true);
        pool.Append();
        pool.FieldByName("FELD1").SetAsString(feld1);
        pool.FieldByName("FELD2").SetAsString(feld2);
        pool.FieldByName("FELD11").SetAsString(feld11);
        pool.Post();
    }

    // Adds a stock item as the host keeps it: MLAGER.NTX open.
    void AddStockItem(const std::string& artnum, const std::string& artbez, double preis) {
        TApolloTable stock;
        OpenTable(stock, data.path(), "MLAGER.DBF", {"MLAGER.NTX"});
        stock.Append();
        stock.FieldByName("ARTNUM").SetAsString(artnum);
        stock.FieldByName("ARTBEZ").SetAsString(artbez);
        stock.FieldByName("PREIS").SetAsFloat(preis);
        stock.FieldByName("HOSTFELD").SetAsString("vom Host");
        stock.Post();
    }

    TempDir program;
    TempDir data;
    TempDir archives;
    TempDir out;

  private:
    void CreatePool() {
        std::vector<FieldDef> fields;
        static const int widths[] = {13, 40, 10, 10, 15, 40, 40, 13, 13, 8, 2, 1, 13};
        static const char* names[] = {"FELD1", "FELD2", "FELD3",  "FELD4",  "FELD5",
                                      "FELD6", "FELD7", "FELD8",  "FELD9",  "FELD10",
                                      "FELD11", "FELD12", "FELD13"};
        for (int i = 0; i < 13; ++i) fields.push_back({names[i], "C", widths[i], 0});
        fields.push_back({"NOTIZ", "C", 20, 0});  // the host's own
        CreateTable(data / "JEVDBF.DBF", fields);
        TApolloTable pool;
        OpenTable(pool, data.path(), "JEVDBF.DBF");
        for (const auto& [file, expression] : PoolIndexes()) pool.Index(data / file, expression);
    }

    // The 34 fields the import handles and one of the host's own.
    void CreateStockMaster() {
        std::vector<FieldDef> fields{
            {"ARTNUM", "C", 13, 0},   {"ARTBEZ", "C", 50, 0},   {"TEX1", "C", 50, 0},
            {"STSATZ", "N", 2, 0},    {"STSATZ_2", "N", 2, 0},  {"PREIS", "N", 12, 2},
            {"EKPR", "N", 12, 2},     {"WGRUPP", "C", 13, 0},   {"LIFERANT", "C", 22, 0},
            {"LIBNR1", "C", 13, 0},   {"SUCHCOD", "C", 13, 0},  {"EINZEL", "C", 1, 0},
            {"STINK", "L", 1, 0},     {"STINK_2", "L", 1, 0},   {"WEBARTIKEL", "L", 1, 0},
            {"SERNUMVERW", "L", 1, 0}, {"BSTWARNUNG", "L", 1, 0}, {"HOSTFELD", "C", 10, 0}};
        for (const char* name : {"VKPR", "KOST_2", "KOND_2", "KOST", "STRASPREIS", "KOND",
                                 "LASTEK", "ZUGA", "ABGA", "MBEST", "HBEST", "MIDLEK", "EINHEIT",
                                 "RESV", "RABA", "RABB", "RABC"}) {
            fields.push_back({name, "N", 12, 2});
        }
        CreateTable(data / "MLAGER.DBF", fields);
        TApolloTable stock;
        OpenTable(stock, data.path(), "MLAGER.DBF");
        stock.Index(data / "MLAGER.NTX", "ARTNUM");
    }
};

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

#endif  // ZER1_TESTS_ARCHIVE_RUN_ARCHIVE_WORLD_H
