#include "storage/apollo_error.h"

namespace zer1 {

std::string missingFileText(const char* firstLine, const std::string& fileName) {
    return std::string(firstLine) + "\rFile: " + fileName;
}

std::string recordLockedText(long record, const std::string& table) {
    return "Der Datensatz " + std::to_string(record) + " in " + table +
           " ist von einem anderen Programm gesperrt.";
}

std::string recordNotWrittenText(long record, const std::string& table, const std::string& why) {
    return "Der Datensatz " + std::to_string(record) + " in " + table +
           " konnte nicht geschrieben werden: " + why;
}

std::string newRecordLockedText(const std::string& table) {
    return "Ein neuer Datensatz in " + table + " ist von einem anderen Programm gesperrt.";
}

std::string newRecordNotWrittenText(const std::string& table, const std::string& why) {
    return "Ein neuer Datensatz konnte nicht an " + table + " angehängt werden: " + why;
}

std::string tableNotReadText(const std::string& table, const std::string& why) {
    return "Fehler beim Lesen von " + table + ": " + why;
}

}  // namespace zer1
