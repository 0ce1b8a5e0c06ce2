#include "fowis/table_creation.h"

#include <unistd.h>

#include <vector>

#include "common/file_names.h"
#include "common/messages.h"
#include "fowis/table_structures.h"
#include "storage/apollo_table.h"

namespace zer1 {
namespace {

enum class Creation { kDone, kNotBegun, kStructureNotWritten };

// True when a new file can be made in `directory` ("" is the current directory).
bool CanCreateFileIn(const std::string& directory) {
    const std::string resolved = directory.empty() ? std::string(".") : ResolveFileName(directory);
    return DirectoryExists(resolved) && ::access(resolved.c_str(), W_OK | X_OK) == 0;
}

// The table layer's creation sequence: begin, define every field in order, write.
// The engine touches the disk only when the structure is written, so a directory
// that cannot take the new file counts as a failure to begin.
Creation CreateTable(TApolloTable& table, const std::string& directory,
                     const std::string& file_name, const std::vector<FieldDefinition>& fields) {
    if (!CanCreateFileIn(directory)) return Creation::kNotBegun;
    const std::string path = directory + file_name;
    if (!table.CreateNew(path, kTableTypeNtx, static_cast<int>(fields.size()))) {
        return Creation::kNotBegun;
    }
    for (const FieldDefinition& field : fields) {
        table.CreateField(field.name, std::string(1, field.type), field.width, field.decimals);
    }
    return table.CreateExec() ? Creation::kDone : Creation::kStructureNotWritten;
}

bool CreateWithMessages(TApolloTable& table, const std::string& directory,
                        const std::string& file_name, const std::vector<FieldDefinition>& fields,
                        const char* not_created, const char* structure_not_written) {
    switch (CreateTable(table, directory, file_name, fields)) {
        case Creation::kDone:
            return true;
        case Creation::kNotBegun:
            ErrorMessage(not_created);
            return false;
        case Creation::kStructureNotWritten:
            ErrorMessage(structure_not_written);
            return false;
    }
    return false;
}

}  // namespace

bool CreatePriceTable(TApolloTable& table, const std::string& target_directory) {
    return CreateWithMessages(table, target_directory, kPriceTableFile, PriceTableFields(),
                              kPriceTableNotCreatedMessage, kPriceTableStructureNotWrittenMessage);
}

bool CreateStagingTable(TApolloTable& table, const std::string& program_directory) {
    return CreateWithMessages(table, program_directory, kStagingTableFile, StagingTableFields(),
                              kStagingTableNotCreatedMessage,
                              kStagingTableStructureNotWrittenMessage);
}

bool CreateManufacturerTable(TApolloTable& table, const std::string& directory) {
    return CreateTable(table, directory, kManufacturerTableFile, ManufacturerTableFields()) ==
           Creation::kDone;
}

}  // namespace zer1
