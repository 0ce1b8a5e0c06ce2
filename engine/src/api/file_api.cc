// The file entry points of sde61.h: questions about files that are asked
// without opening them.
#include "sde61.h"

#include "api/workarea.h"
#include "platform/file.h"

extern "C" {

int sx_FileInUse(const char* file) {
    return sde::Guarded<int>(-1, [&]() -> int {
        sde::ClearLastError();
        if (file == nullptr || *file == '\0') {
            return sde::Fail(sde::Status::InvalidArgument("no file name given"), -1);
        }
        auto in_use = sde::FileInUse(file);
        if (!in_use.ok()) return sde::Fail(in_use.status(), -1);
        return *in_use ? 1 : 0;
    });
}

}  // extern "C"
