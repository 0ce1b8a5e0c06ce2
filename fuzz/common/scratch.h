// What the fuzz targets share: a scratch directory of their own per process,
// removed at exit, and the writing of one input into a file in it.  Each
// target reuses its files from input to input, so an iteration costs a few
// system calls and no directory walk.
#ifndef ZER1_FUZZ_COMMON_SCRATCH_H
#define ZER1_FUZZ_COMMON_SCRATCH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zer1_fuzz {

// "/tmp/zer1-fuzz-<target>-<pid>/", created on the first call and removed
// with everything in it when the process ends normally.
const std::string& ScratchDirectory(const char* target);

// Replaces the file at path with the bytes (created when missing).  Aborts
// when the file cannot be written: that is the harness failing, not the
// code under test.
void WriteScratchFile(const std::string& path, const uint8_t* data, std::size_t size);
void WriteScratchFile(const std::string& path, std::string_view bytes);

// Splits an input at the first occurrence of separator: the part before it
// and the part after it (empty when the separator is missing).  Lets one
// input carry two files, for example a table and its memo file.
struct InputParts {
    std::string_view first;
    std::string_view second;
    bool separated = false;
};
InputParts SplitInput(const uint8_t* data, std::size_t size, std::string_view separator);

}  // namespace zer1_fuzz

#endif  // ZER1_FUZZ_COMMON_SCRATCH_H
