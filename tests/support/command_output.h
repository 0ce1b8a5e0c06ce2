// What a shell command prints (standard output only, unless the command
// redirects), for the tests that read our files back with independent tools.
#ifndef ZER1_TESTS_SUPPORT_COMMAND_OUTPUT_H
#define ZER1_TESTS_SUPPORT_COMMAND_OUTPUT_H

#include <cstdio>
#include <string>

namespace zer1::testing {

// "" when the command cannot be started.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_COMMAND_OUTPUT_H
