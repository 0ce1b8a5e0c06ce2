// Fuzz target of the DGH member reading and line conversion: the input is a
// member's bytes (UTF-16LE text).  It is read from a file block by block and
// from memory, in both forms, and every line is converted both ways.  The
// conversion of the Windows-1252 form must store the same bytes as the
// conversion of the UTF-8 form once that is stored; a difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/scratch.h"
#include "common/text_encoding.h"
#include "imports/dgh_conversion.h"
#include "imports/dgh_source.h"
#include "imports/working_record.h"

namespace {

constexpr std::string_view kImportDate = "09.12.26";

std::string_view WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// The two conversions of one line must agree field by field.
void CompareConversions(const std::string& utf8_line, const std::string& cp1252_line,
                        zer1::DghLineConverter& converter) {
    const zer1::WorkingRecord record = zer1::ConvertDghLine(utf8_line, kImportDate);
    const zer1::StoredWorkingRecord& stored = converter.Convert(cp1252_line, kImportDate);
    for (int n = 1; n <= zer1::kWorkingTextFieldCount; ++n) {
        const std::string expected = zer1::Utf8ToWindows1252(record.get(n));
        if (WithoutTrailingBlanks(expected) != WithoutTrailingBlanks(stored.get(n))) {
            std::fprintf(stderr, "field %d differs: \"%s\" from UTF-8, \"%.*s\" stored\n", n,
                         expected.c_str(), int(stored.get(n).size()), stored.get(n).data());
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = zer1_fuzz::ScratchDirectory("dgh") + "member.txt";
    zer1_fuzz::WriteScratchFile(path, data, size);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    std::vector<std::string> utf8_lines;
    std::vector<std::string> cp1252_lines;
    try {
        zer1::ReadDghSourceFile(path, [&](std::string_view line) { utf8_lines.emplace_back(line); });
        zer1::ReadDghSourceFile(
            path, [&](std::string_view line) { cp1252_lines.emplace_back(line); },
            zer1::DghLineText::kWindows1252);
    } catch (const zer1::Error&) {
        std::abort();  // the scratch file is always readable
    }
    if (zer1::DecodeDghLines(bytes) != utf8_lines || utf8_lines.size() != cp1252_lines.size()) {
        std::fprintf(stderr, "the file and the memory reading give different lines\n");
        std::abort();
    }
    zer1::DghLineConverter converter;
    for (std::size_t i = 0; i < utf8_lines.size(); ++i) {
        CompareConversions(utf8_lines[i], cp1252_lines[i], converter);
    }
    return 0;
}
