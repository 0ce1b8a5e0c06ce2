#include "fowis/price_table_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

#include "common/error.h"
#include "common/file_names.h"

namespace zer1 {
namespace {

// The memo file that belongs to a table file: same stem, extension ".dbt"
// when the table's extension starts in lower case, ".DBT" otherwise.
std::string MemoFileFor(const std::string& table_file) {
    const std::string directory = DirectoryPart(table_file);
    const std::string name = FileNamePart(table_file);
    const std::size_t dot = name.rfind('.');
    const bool lower = dot != std::string::npos && dot + 1 < name.size() &&
                       std::islower(static_cast<unsigned char>(name[dot + 1]));
    return directory + name.substr(0, dot) + (lower ? ".dbt" : ".DBT");
}

// Gives `file` the owner, group and permission bits of `model`, so the
// replaced table keeps the access the host's installation gave it.  Only a
// privileged process may hand on the owner, and others only a group they
// belong to; what the system refuses stays as created.  The bits are set
// last, since a change of owner clears the set-id bits.
void CopyOwnerAndMode(const std::string& model, const std::string& file) {
    struct stat model_status;
    if (::stat(model.c_str(), &model_status) != 0) return;
    if (::chown(file.c_str(), model_status.st_uid, model_status.st_gid) != 0 &&
        ::chown(file.c_str(), static_cast<uid_t>(-1), model_status.st_gid) != 0) {
        // Neither could be handed on: the file keeps those it was created with.
    }
    ::chmod(file.c_str(), model_status.st_mode & 07777);
}

// True when `directory` does not let this process create files in it.
bool RefusesNewFiles(const std::string& directory) {
    const std::string on_disk = directory.empty() ? "." : ResolveFileName(directory);
    if (::faccessat(AT_FDCWD, on_disk.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return false;
    return errno == EACCES || errno == EROFS || errno == EPERM;
}

}  // namespace

PriceTableReplacement::PriceTableReplacement(TApolloTable& current) : current_(current) {}

PriceTableReplacement::~PriceTableReplacement() {
    if (!committed_) Discard();
}

PriceTableReplacement::BeginResult PriceTableReplacement::Begin() {
    const std::string directory = DirectoryPart(current_.FullFileName());
    fresh_file_ = directory + kNewPriceTableFile;
    Discard();
    if (!current_.CopyStructure(fresh_file_)) {
        Discard();
        return RefusesNewFiles(directory) ? BeginResult::kDirectoryRefusesNewFiles
                                          : BeginResult::kFailed;
    }
    fresh_.SetDatabaseName(directory);
    fresh_.SetTableName(kNewPriceTableFile);
    fresh_.SetTableType(ttSXNTX);
    fresh_.SetExclusive(true);
    try {
        fresh_.Open();
    } catch (const EApolloError&) {
        Discard();
        return BeginResult::kFailed;
    }
    return BeginResult::kReady;
}

void PriceTableReplacement::Commit() {
    fresh_.Close();
    const std::string target = ResolveFileName(current_.FullFileName());
    const std::string fresh = ResolveFileName(fresh_file_);
    CopyOwnerAndMode(target, fresh);
    // The current table is still open exclusively: nobody else can have it
    // open while the complete new file takes its name.
    if (std::rename(fresh.c_str(), target.c_str()) != 0) {
        throw Error("FOWISPR.DBF konnte nicht ersetzt werden: " + target);
    }
    committed_ = true;
    const std::string fresh_memo = ResolveFileName(MemoFileFor(fresh_file_));
    if (FileExists(fresh_memo)) {
        const std::string target_memo = ResolveFileName(MemoFileFor(target));
        CopyOwnerAndMode(target_memo, fresh_memo);
        if (std::rename(fresh_memo.c_str(), target_memo.c_str()) != 0) {
            throw Error("FOWISPR.DBT konnte nicht ersetzt werden: " + target_memo);
        }
    }
    current_.Close();
}

void PriceTableReplacement::Discard() {
    try {
        fresh_.Close();
    } catch (...) {
        // Closing only fails when the engine is gone; the files go below.
    }
    if (fresh_file_.empty()) return;
    DeleteFile(fresh_file_);
    DeleteFile(MemoFileFor(fresh_file_));
}

}  // namespace zer1
