#include "fowis/table_creation.h"

#include <vector>

#include "common/messages.h"
#include "fowis/table_structures.h"
#include "storage/apollo_table.h"

namespace zer1 {
namespace {

enum class Creation { kDone, kNotBegun, kStructureNotWritten };

// The table layer's creation sequence: begin, define every field in order, write.
Creation CreateTable(TApolloTable& table, const std::string& file_name,
                     const std::vector<FieldDefinition>& fields) {
    if (!table.CreateNew(file_name, kTableTypeNtx, static_cast<int>(fields.size()))) {
        return Creation::kNotBegun;
    }
    for (const FieldDefinition& field : fields) {
        table.CreateField(field.name, std::string(1, field.type), field.width, field.decimals);
    }
    return table.CreateExec() ? Creation::kDone : Creation::kStructureNotWritten;
}

bool CreateWithMessages(TApolloTable& table, const std::string& file_name,
                        const std::vector<FieldDefinition>& fields, const char* not_created,
                        const char* structure_not_written) {
    switch (CreateTable(table, file_name, fields)) {
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
    return CreateWithMessages(table, target_directory + kPriceTableFile, PriceTableFields(),
                              kPriceTableNotCreatedMessage, kPriceTableStructureNotWrittenMessage);
}

bool CreateStagingTable(TApolloTable& table, const std::string& program_directory) {
    return CreateWithMessages(table, program_directory + kStagingTableFile, StagingTableFields(),
                              kStagingTableNotCreatedMessage,
                              kStagingTableStructureNotWrittenMessage);
}

bool CreateManufacturerTable(TApolloTable& table, const std::string& directory) {
    return CreateTable(table, directory + kManufacturerTableFile, ManufacturerTableFields()) ==
           Creation::kDone;
}

}  // namespace zer1
