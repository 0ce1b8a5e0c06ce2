// The expression entry points of sde61.h until the expression engine is part
// of the build: each one fails with a clear text.
#include "sde61.h"
#include "workarea.h"

namespace {

constexpr const char kNoExpressions[] = "expression support is not available in this build";

template <typename T>
T NoExpressions(T failed) {
    sde::SetLastError(std::string(kNoExpressions));
    return failed;
}

}  // namespace

extern "C" {

int sx_EvalString(const char*, char*, int) { return NoExpressions(-1); }
int sx_EvalTest(const char*) { return NoExpressions(-1); }
char sx_EvalType(const char*) { return NoExpressions<char>(0); }

}  // extern "C"
