#include "fowis/price_table_replacement.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

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

// Gives `file` the permission bits of `model`, so the replaced table keeps
// the access the host's installation gave it.  Failure changes nothing else.
void CopyPermissions(const std::string& model, const std::string& file) {
    std::error_code error;
    const auto status = std::filesystem::status(model, error);
    if (error) return;
    std::filesystem::permissions(file, status.permissions(), error);
}

}  // namespace

PriceTableReplacement::PriceTableReplacement(TApolloTable& current) : current_(current) {}

PriceTableReplacement::~PriceTableReplacement() {
    if (!committed_) Discard();
}

bool PriceTableReplacement::Begin() {
    const std::string directory = DirectoryPart(current_.FullFileName());
    fresh_file_ = directory + kNewPriceTableFile;
    Discard();
    if (!current_.CopyStructure(fresh_file_)) {
        Discard();
        return false;
    }
    fresh_.SetDatabaseName(directory);
    fresh_.SetTableName(kNewPriceTableFile);
    fresh_.SetTableType(ttSXNTX);
    fresh_.SetExclusive(true);
    try {
        fresh_.Open();
    } catch (const EApolloError&) {
        Discard();
        return false;
    }
    return true;
}

void PriceTableReplacement::Commit() {
    fresh_.Close();
    const std::string target = ResolveFileName(current_.FullFileName());
    const std::string fresh = ResolveFileName(fresh_file_);
    CopyPermissions(target, fresh);
    // The current table is still open exclusively: nobody else can have it
    // open while the complete new file takes its name.
    if (std::rename(fresh.c_str(), target.c_str()) != 0) {
        throw Error("FOWISPR.DBF konnte nicht ersetzt werden: " + target);
    }
    committed_ = true;
    const std::string fresh_memo = ResolveFileName(MemoFileFor(fresh_file_));
    if (FileExists(fresh_memo)) {
        const std::string target_memo = ResolveFileName(MemoFileFor(target));
        CopyPermissions(target_memo, fresh_memo);
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
