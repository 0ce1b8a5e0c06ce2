#include "host/table_changes.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/little_endian.h"

namespace jevhost {
namespace {

namespace fs = std::filesystem;

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TableState ReadTable(const fs::path& file) {
    TableState state;
    state.exists = true;
    const std::string bytes = ReadBytes(file);
    if (bytes.size() < 32) throw std::runtime_error(file.string() + ": Kopf unvollständig");
    const auto* head = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint32_t count = zer1::GetU32(head + 4);
    const uint16_t header = zer1::GetU16(head + 8);
    const uint16_t length = zer1::GetU16(head + 10);
    if (length == 0 || header + static_cast<std::size_t>(count) * length > bytes.size()) {
        throw std::runtime_error(file.string() + ": Satzanzahl passt nicht zur Dateilänge");
    }
    for (unsigned r = 0; r < count; ++r) {
        state.records.push_back(bytes.substr(header + static_cast<std::size_t>(r) * length, length));
    }
    return state;
}

}  // namespace

FolderState ReadFolderState(const std::string& directory, const std::vector<std::string>& tables) {
    FolderState state;
    for (const std::string& table : tables) state.tables[table];
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
        const std::string name = Upper(entry.path().filename().string());
        if (name.size() > 4 && name.substr(name.size() - 4) == ".NTX") {
            state.indexes[name] = ReadBytes(entry.path());
        }
        for (const std::string& table : tables) {
            if (Upper(table) == name) state.tables[table] = ReadTable(entry.path());
        }
    }
    return state;
}

std::vector<std::string> DescribeChanges(const FolderState& before, const FolderState& after) {
    std::vector<std::string> lines;
    for (const auto& [name, now] : after.tables) {
        const auto earlier = before.tables.find(name);
        const TableState empty;
        const TableState& then = earlier == before.tables.end() ? empty : earlier->second;
        if (!now.exists) {
            lines.push_back(name + ": nicht vorhanden");
            continue;
        }
        std::size_t changed = 0;
        for (std::size_t r = 0; r < then.records.size() && r < now.records.size(); ++r) {
            if (then.records[r] != now.records[r]) ++changed;
        }
        const std::size_t added =
            now.records.size() > then.records.size() ? now.records.size() - then.records.size() : 0;
        std::string line = name + ": ";
        line += then.exists ? std::to_string(then.records.size()) + " -> " : "neu angelegt, ";
        line += std::to_string(now.records.size()) + " Sätze, " + std::to_string(added) +
                " neu, " + std::to_string(changed) + " geändert";
        lines.push_back(line);
    }
    std::string rewritten;
    for (const auto& [name, bytes] : after.indexes) {
        const auto earlier = before.indexes.find(name);
        if (earlier == before.indexes.end() || earlier->second != bytes) {
            rewritten += (rewritten.empty() ? "" : ", ") + name;
        }
    }
    lines.push_back("Indizes geschrieben: " + (rewritten.empty() ? "keine" : rewritten));
    return lines;
}

}  // namespace jevhost
