// The program directory: the directory of the running host executable, with
// its trailing "/".  It holds the settings file, the parameter table and the
// index catalogue.
#ifndef ZER1_COMMON_PROGRAM_DIRECTORY_H
#define ZER1_COMMON_PROGRAM_DIRECTORY_H

#include <string>

namespace zer1 {

// Directory of /proc/self/exe with a trailing "/"; the current directory
// ("./") when the executable's path cannot be read.
std::string ProgramDirectory();

}  // namespace zer1

#endif  // ZER1_COMMON_PROGRAM_DIRECTORY_H
