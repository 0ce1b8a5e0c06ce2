// The one error class of the table layer and its texts.
//
// Every misuse of a table object and every engine failure that the table layer
// reports as an error travels as an EApolloError carrying the text the user
// may see.  Errors never travel into the engine: the layer raises them only in
// its own code, after the engine call has returned.
#ifndef ZER1_STORAGE_APOLLO_ERROR_H
#define ZER1_STORAGE_APOLLO_ERROR_H

#include <string>

#include "common/error.h"

namespace zer1 {

// A zer1::Error, so that whoever catches the library's errors catches these too.
class EApolloError : public Error {
  public:
    explicit EApolloError(const std::string& message) : Error(message) {}
};

// Texts of the table layer's errors.
namespace apollo_text {
inline constexpr const char* kEngineNotLoaded = "Unable to load required Apollo DLL: SDE61.DLL";
inline constexpr const char* kTableMissing = "Table, file or directory does not exist.";
inline constexpr const char* kUnableToOpen = "Unable to open table: ";
inline constexpr const char* kClosedTable = "Cannot perform this operation on a closed table";
inline constexpr const char* kOpenTable = "Cannot perform this operation on an open table";
inline constexpr const char* kNeedsExclusive =
    "Table must be opened in Exclusive mode to perform this operation";
inline constexpr const char* kNeedsOrder = "This operation requires an active index order";
inline constexpr const char* kIndexMissing = "Index file does not exist.";
inline constexpr const char* kFieldBeforeCreateNew = "Must call CreateNew before CreateField";
inline constexpr const char* kExecBeforeCreateNew = "Must call CreateNew before CreateExec";
inline constexpr const char* kInvalidFieldName =
    "Invalid field name. Field names must begin with a letter";
inline constexpr const char* kInvalidFieldType = "Invalid field type";
inline constexpr const char* kInvalidFieldLength = "Invalid field length.";
inline constexpr const char* kIndexNoFile = "Missing Parameter to Index Method: Index File Name";
inline constexpr const char* kIndexNoExpression =
    "Missing Parameter to Index or IndexTag Method: Index Expression";
inline constexpr const char* kReadOnly = "Cannot modify a read-only data set";
inline constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* kNoCurrentRecord = "No current record";
inline constexpr const char* kTableTypeNotSupported = "Table type not supported";
inline constexpr const char* kPasswordRefused = "Wrong password for table: ";
}  // namespace apollo_text

// Texts of the write and read failures that reach the user: `table` is the
// table file's name, `why` the engine's reason.
std::string recordLockedText(long record, const std::string& table);
std::string recordNotWrittenText(long record, const std::string& table, const std::string& why);
std::string newRecordLockedText(const std::string& table);
std::string newRecordNotWrittenText(const std::string& table, const std::string& why);
std::string tableNotReadText(const std::string& table, const std::string& why);

// "<first line>" + carriage return + "File: " + file name.
std::string missingFileText(const char* firstLine, const std::string& fileName);

}  // namespace zer1

#endif  // ZER1_STORAGE_APOLLO_ERROR_H
