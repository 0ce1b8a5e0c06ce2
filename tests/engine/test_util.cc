#include "test_util.h"

#include "sde61.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace sde_test {

TempDir::TempDir() {
    char tmpl[] = "/tmp/sde61-test-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

int RunInChild(const std::function<int()>& fn) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buf[4096];
    size_t n;
    output->clear();
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output->append(buf, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Field(const char* name) {
    int n = sx_GetString(name, nullptr, 0);
    if (n < 0) return "<error: " + std::string(sx_ErrorText()) + ">";
    std::string s(size_t(n) + 1, '\0');
    sx_GetString(name, s.data(), int(s.size()));
    s.resize(size_t(n));
    return s;
}

}  // namespace sde_test
