/* A stand-in for libsde61.so that only has to carry the entry point names:
 * the loader looks symbols up by name and never calls them in its tests.
 * Built twice, once with every entry point and once without sx_Seek. */
#include "storage/engine_functions.h"

#ifdef LEAVE_OUT_SEEK
#define sx_Seek sx_Seek_left_out
#endif

#define DEFINE_ENTRY_POINT(name) \
    __attribute__((visibility("default"))) void sx_##name(void) {}
ZER1_ENGINE_FUNCTIONS(DEFINE_ENTRY_POINT)
