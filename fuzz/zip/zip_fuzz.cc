// Fuzz target of the ZIP reader: the input is opened as an archive, every
// member is listed, matched and streamed into a sink that discards the data,
// and then the extraction component writes the members that match into a
// scratch folder (temporary file, times, permission bits, rename).  The
// pattern is the archive comment, "*" without one.  Errors must come out as
// zer1::Error, never as a crash, a hang or a read outside the file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/error.h"
#include "common/scratch.h"
#include "imports/zip_archive.h"
#include "imports/zip_components.h"
#include "imports/zip_name_pattern.h"

namespace {

void ListAndStream(const std::string& path) {
    try {
        const auto archive = zer1::ZipArchive::Open(path);
        const zer1::ZipNamePattern pattern(archive->comment().empty() ? "*" : archive->comment());
        for (const zer1::ZipMember& member : archive->members()) {
            pattern.Matches(member.name);
            zer1::MemberFileName(member.name);
            member.IsFolder();
            member.PermissionBits();
            try {
                archive->Extract(member, [](const uint8_t*, std::size_t) { return true; });
            } catch (const zer1::Error&) {
            }
        }
    } catch (const zer1::Error&) {
    }
}

void ListAndExtract(const std::string& path, const std::string& output) {
    try {
        zer1::TAbZipper zipper;
        zipper.SetFileName(path);
        for (int i = 0; i < zipper.Count(); ++i) zipper.MemberName(i);
    } catch (const zer1::Error&) {
    }
    try {
        zer1::TAbUnZipper unzipper;
        unzipper.SetFileName(path);
        unzipper.SetBaseDirectory(output);
        const auto archive = zer1::ZipArchive::Open(path);
        const std::string patterns = archive->comment().empty() ? "*" : archive->comment();
        unzipper.MatchingMembers(patterns);
        unzipper.ExtractFiles(patterns);
    } catch (const zer1::Error&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string& directory = zer1_fuzz::ScratchDirectory("zip");
    const std::string archive = directory + "input.zip";
    const std::string output = directory + "out";
    zer1_fuzz::WriteScratchFile(archive, data, size);
    ListAndStream(archive);

    std::error_code ignored;
    std::filesystem::create_directory(output, ignored);
    ListAndExtract(archive, output);
    std::filesystem::remove_all(output, ignored);
    return 0;
}
