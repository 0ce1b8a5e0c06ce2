// Helpers shared by the engine tests: a scratch directory per test and small
// file utilities.
#ifndef SDE61_TEST_UTIL_H
#define SDE61_TEST_UTIL_H

#include <functional>
#include <string>

namespace sde_test {

// A fresh directory under /tmp, removed with everything in it at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Runs fn in a child process; returns the child's exit code (fn's result),
// or -1 when it died from a signal.
int RunInChild(const std::function<int()>& fn);

// Runs a shell command and returns its exit status and standard output.
int RunCommand(const std::string& command, std::string* output);

// The selected table's field at full width through sx_GetString, or
// "<error: ...>" with the engine's error text.
std::string Field(const char* name);

}  // namespace sde_test

#endif
