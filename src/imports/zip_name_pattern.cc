#include "imports/zip_name_pattern.h"

#include "common/helpers.h"
#include "common/text_encoding.h"

namespace zer1 {
namespace {

// Decodes to code points, folds A-Z to a-z and reads "/" as "\".
std::u32string Normalize(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t c = NextCodePoint(text, pos);
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        if (c == '/') c = '\\';
        out.push_back(c);
    }
    return out;
}

// Splits a normalized name at its last "\" into folder and file part.
void SplitName(const std::u32string& name, std::u32string& folder, std::u32string& file,
               bool& has_folder) {
    const std::size_t slash = name.rfind(U'\\');
    has_folder = slash != std::u32string::npos;
    folder = has_folder ? name.substr(0, slash) : std::u32string();
    file = has_folder ? name.substr(slash + 1) : name;
}

}  // namespace

bool WildcardMatch(std::u32string_view pattern, std::u32string_view text) {
    // Greedy walk with one back-tracking point: the last "*" seen.
    std::size_t p = 0, t = 0;
    std::size_t star = std::u32string_view::npos, star_text = 0;
    // A "*" in the pattern is a wildcard wherever it stands, also where the
    // text holds a "*" of its own.
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            star_text = t;
        } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (star != std::u32string_view::npos) {
            p = star + 1;
            t = ++star_text;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

ZipNamePattern::ZipNamePattern(std::string_view patterns) {
    std::vector<std::string> pieces;
    SplitText(patterns, ';', pieces);
    for (const std::string& piece : pieces) {
        const std::string_view trimmed = TrimBlanks(piece);
        if (trimmed.empty()) continue;
        Pattern pattern;
        SplitName(Normalize(trimmed), pattern.folder, pattern.file, pattern.has_folder);
        patterns_.push_back(std::move(pattern));
    }
}

bool ZipNamePattern::Matches(std::string_view member_name) const {
    // Called for every member of an archive that may hold 100,000 of them:
    // one decoded copy of the name, its parts as views into it.
    const std::u32string name = Normalize(member_name);
    const std::size_t slash = name.rfind(U'\\');
    const std::u32string_view whole(name);
    const std::u32string_view folder =
        slash == std::u32string::npos ? std::u32string_view() : whole.substr(0, slash);
    const std::u32string_view file =
        slash == std::u32string::npos ? whole : whole.substr(slash + 1);
    for (const Pattern& pattern : patterns_) {
        if (!WildcardMatch(pattern.file, file)) continue;
        if (pattern.has_folder && !WildcardMatch(pattern.folder, folder)) continue;
        return true;
    }
    return false;
}

std::string MemberFileName(std::string_view member_name) {
    const std::size_t slash = member_name.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? member_name
                                                       : member_name.substr(slash + 1));
}

}  // namespace zer1
