// The two archive components the interfaces dialog holds: TAbZipper lists the
// members of an archive (AbZip), TAbUnZipper extracts the members that match
// a name pattern into a base directory (AbUnZip).  Both only read archives.
//
// Extraction writes each member to base directory + the file-name part of its
// stored name (stored folders are not recreated), replacing an existing file
// of that name.  A member is first written to a temporary file in the base
// directory and renamed over the target only after its size and CRC-32 were
// found right, so a failed extraction leaves an existing file untouched and
// no partial file behind.  Nothing is ever written outside the base
// directory: a stored name's folders, "..", absolute names and backslash
// names are reduced to their file-name part, folder entries are skipped, and
// a symbolic link at the target is replaced, never followed.
#ifndef ZER1_IMPORTS_ZIP_COMPONENTS_H
#define ZER1_IMPORTS_ZIP_COMPONENTS_H

#include <memory>
#include <string>
#include <vector>

#include "imports/zip_archive.h"

namespace zer1 {

class TAbZipper {
  public:
    // Opens the archive for listing; an empty name closes it.  A name of a
    // file that does not exist leaves no archive open.  Raises the archive
    // errors of ZipArchive::Open for a file that is no readable archive (no
    // archive is open afterwards).
    void SetFileName(const std::string& file_name);
    const std::string& FileName() const { return file_name_; }

    // Number of members; 0 when no archive is open.
    int Count() const;

    // Stored name of member `index` (0 to Count() - 1), in archive order.
    // Raises "List index out of bounds (<index>)" for any other index.
    const std::string& MemberName(int index) const;

  private:
    std::string file_name_;
    std::unique_ptr<ZipArchive> archive_;
};

class TAbUnZipper {
  public:
    // Opens the archive for extraction; when the file does not exist (or the
    // name is empty) no archive is open.  Raises the archive errors of
    // ZipArchive::Open for a file that is no readable archive.
    void SetFileName(const std::string& file_name);
    const std::string& FileName() const { return file_name_; }

    // The directory that receives extracted files.  A trailing "/" is dropped
    // unless the text is the root "/".  Raises "Directory does not exist"
    // when it does not exist.
    void SetBaseDirectory(const std::string& directory);
    const std::string& BaseDirectory() const { return base_directory_; }

    // Stored names of the members (folder entries left out) that
    // ExtractFiles(patterns) would write, in archive order.  Raises "Archive
    // does not exist - FileName is blank" when no archive is open.
    std::vector<std::string> MatchingMembers(const std::string& patterns) const;

    // Extracts every member whose stored name matches `patterns` (see
    // ZipNamePattern), in archive order.  A pattern that matches nothing
    // extracts nothing and raises nothing.  Raises "Archive does not exist -
    // FileName is blank" when no archive is open, "Directory does not exist"
    // when the base directory has gone, and the errors of
    // ZipArchive::Extract; the member being written when an error occurs
    // leaves nothing behind.
    void ExtractFiles(const std::string& patterns);

  private:
    void ExtractMember(const ZipMember& member, const std::string& base);

    std::string file_name_;
    std::string base_directory_;
    std::unique_ptr<ZipArchive> archive_;
};

}  // namespace zer1

#endif  // ZER1_IMPORTS_ZIP_COMPONENTS_H
