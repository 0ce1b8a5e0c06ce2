#include "storage/apollo_error.h"

namespace zer1 {

std::string missingFileText(const char* firstLine, const std::string& fileName) {
    return std::string(firstLine) + "\rFile: " + fileName;
}

}  // namespace zer1
