// The function table through which the table layer calls the
// xBase engine.
//
// The table layer never calls an sx_ function directly: it calls through an
// EngineApi, filled by the loader from libsde61.so or by a test with fakes.
#ifndef ZER1_STORAGE_ENGINE_API_H
#define ZER1_STORAGE_ENGINE_API_H

#include "sde61.h"
#include "storage/engine_functions.h"

namespace zer1 {

struct EngineApi {
#define ZER1_ENGINE_MEMBER(name) decltype(&::sx_##name) name = nullptr;
    ZER1_ENGINE_FUNCTIONS(ZER1_ENGINE_MEMBER)
#undef ZER1_ENGINE_MEMBER
};

// Number of entry points in the table.
inline constexpr int kEngineFunctionCount = 0
#define ZER1_ENGINE_COUNT(name) +1
    ZER1_ENGINE_FUNCTIONS(ZER1_ENGINE_COUNT)
#undef ZER1_ENGINE_COUNT
    ;

}  // namespace zer1

#endif  // ZER1_STORAGE_ENGINE_API_H
