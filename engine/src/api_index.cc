// The index entry points of sde61.h until the NTX index engine is part of
// the build: each one fails with a clear text.
#include "sde61.h"
#include "workarea.h"

namespace {

constexpr const char kNoIndexes[] = "index support is not available in this build";

template <typename T>
T NoIndexes(T failed) {
    sde::SetLastError(std::string(kNoIndexes));
    return failed;
}

}  // namespace

extern "C" {

int sx_IndexOpen(const char*) { return NoIndexes(0); }
int sx_SetOrder(int) { return NoIndexes(0); }
int sx_Index(const char*, const char*, const char*, int, int) { return NoIndexes(0); }
int sx_IndexClose(void) { return NoIndexes(0); }
int sx_IndexKey(int, char*, int) { return NoIndexes(-1); }
int sx_Seek(const char*) { return NoIndexes(0); }
int sx_Found(void) { return NoIndexes(0); }
void sx_SetGaugeHook(sx_ProgressFn, void*) { NoIndexes(0); }

}  // extern "C"
