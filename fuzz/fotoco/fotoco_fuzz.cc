// Fuzz target of the Fotoco member reading and line conversion: the input is
// a member's bytes.  It is read from a file block by block and from memory;
// both must give the same numbered lines, and every line is converted.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/error.h"
#include "common/scratch.h"
#include "imports/fotoco_conversion.h"
#include "imports/fotoco_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = zer1_fuzz::ScratchDirectory("fotoco") + "member.txt";
    zer1_fuzz::WriteScratchFile(path, data, size);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    using Lines = std::vector<std::pair<long, std::string>>;
    Lines from_file;
    Lines from_memory;
    try {
        zer1::ReadFotocoSourceFile(
            path, [&](long number, std::string_view line) { from_file.emplace_back(number, line); });
    } catch (const zer1::Error&) {
        std::abort();  // the scratch file is always readable
    }
    zer1::ForEachFotocoLine(
        bytes, [&](long number, std::string_view line) { from_memory.emplace_back(number, line); });
    if (from_file != from_memory) {
        std::fprintf(stderr, "the file and the memory reading give different lines\n");
        std::abort();
    }
    zer1::FotocoLineConverter converter;
    for (const auto& [number, line] : from_file) {
        if (converter.Convert(line) >= zer1::kFotocoFieldCount) {
            for (int n = 1; n <= zer1::kWorkingTextFieldCount; ++n) converter.Record().get(n);
        }
    }
    return 0;
}
