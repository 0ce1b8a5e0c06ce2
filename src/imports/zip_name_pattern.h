// Matching of archive member names against the extraction pattern: several
// patterns separated by ";", each with the wildcards "*" and "?", compared
// without regard to the case of the letters a to z and with "/" read as "\".
// A pattern without a folder part matches members in any folder.
#ifndef ZER1_IMPORTS_ZIP_NAME_PATTERN_H
#define ZER1_IMPORTS_ZIP_NAME_PATTERN_H

#include <string>
#include <string_view>
#include <vector>

namespace zer1 {

class ZipNamePattern {
  public:
    // `patterns`: one or more patterns separated by ";"; blanks around each
    // are dropped and empty ones ignored.
    explicit ZipNamePattern(std::string_view patterns);

    // True when the stored member name matches at least one pattern.
    bool Matches(std::string_view member_name) const;

  private:
    struct Pattern {
        std::u32string folder;  // empty: any folder
        bool has_folder = false;
        std::u32string file;
    };
    std::vector<Pattern> patterns_;
};

// "*" and "?" matching of whole code-point strings ("?" is one character).
bool WildcardMatch(std::u32string_view pattern, std::u32string_view text);

// The file-name part of a stored member name: the text after its last "/"
// or "\".
std::string MemberFileName(std::string_view member_name);

}  // namespace zer1

#endif  // ZER1_IMPORTS_ZIP_NAME_PATTERN_H
