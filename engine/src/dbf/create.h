// Creating table files: the definition collected between sx_CreateNew and
// sx_CreateExec, and the writing of an empty table with its memo file.
#ifndef SDE61_DBF_CREATE_H
#define SDE61_DBF_CREATE_H

#include <string>
#include <vector>

#include "base/status.h"
#include "dbf/dbf_format.h"
#include "platform/file.h"

namespace sde {

// Writes an empty table (header, end mark) and, when a field is a memo, an
// empty memo file.  Both are written under temporary names and renamed into
// place, so an existing table is replaced whole or not at all.
Status CreateTableFiles(Env* env, const std::string& path, std::vector<FieldDesc> fields,
                        const uint8_t* engine_mark = nullptr);

// A table definition being collected.
class TableDefinition {
  public:
    TableDefinition(std::string path, std::string alias, int field_count)
        : path_(std::move(path)), alias_(std::move(alias)), field_count_(field_count) {}

    // Adds a field after checking it (the failure texts are shown to users).
    Status AddField(const std::string& name, const std::string& type, int width, int decimals);
    const std::string& path() const { return path_; }
    const std::string& alias() const { return alias_; }
    const std::vector<FieldDesc>& fields() const { return fields_; }
    Status CheckComplete() const;

  private:
    std::string path_;
    std::string alias_;
    int field_count_;
    std::vector<FieldDesc> fields_;
};

// The name with ".DBF" appended when its file part has no extension.
std::string WithTableExtension(const std::string& path);

// Name of a temporary file beside `path`, unique to this process and call.
std::string TemporaryNameBeside(const std::string& path);

}  // namespace sde

#endif  // SDE61_DBF_CREATE_H
