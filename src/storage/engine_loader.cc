#include "storage/engine_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "common/messages.h"
#include "common/ui_services.h"
#include "storage/apollo_error.h"

namespace zer1 {

namespace {

constexpr const char* kEngineFileName = "libsde61.so";

const EngineApi* g_override = nullptr;

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string defaultEngineLibraryPath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&defaultEngineLibraryPath), &info) != 0 &&
        info.dli_fname != nullptr) {
        std::string self = info.dli_fname;
        auto slash = self.rfind('/');
        if (slash != std::string::npos) {
            std::string beside = self.substr(0, slash + 1) + kEngineFileName;
            if (isRegularFile(beside)) return beside;
        }
    }
    return kEngineFileName;
}

void reportEngineLoadFailure(const std::string& message) {
    ErrorMessage(message);
    CurrentUiServices().RequestQuit();
}

EngineLibrary::EngineLibrary(std::string libraryPath, FailureReport report)
    : libraryPath_(std::move(libraryPath)), report_(std::move(report)) {
    if (!report_) report_ = reportEngineLoadFailure;
}

EngineLibrary::~EngineLibrary() {
    unload();
}

void EngineLibrary::unload() {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
    api_ = EngineApi{};
}

bool EngineLibrary::tryLoad() {
    ::dlerror();
    void* handle = ::dlopen(libraryPath_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        lastFailure_ = why != nullptr ? why : "dlopen failed: " + libraryPath_;
        return false;
    }
    EngineApi api{};
    bool complete = true;
    // Every entry point is required; the first missing one ends the attempt.
#define ZER1_ENGINE_LOOKUP(name)                                                  \
    if (complete) {                                                               \
        void* symbol = ::dlsym(handle, "sx_" #name);                              \
        if (symbol == nullptr) {                                                  \
            complete = false;                                                     \
            lastFailure_ = "missing entry point sx_" #name " in " + libraryPath_; \
        } else {                                                                  \
            api.name = reinterpret_cast<decltype(api.name)>(symbol);              \
        }                                                                         \
    }
    ZER1_ENGINE_FUNCTIONS(ZER1_ENGINE_LOOKUP)
#undef ZER1_ENGINE_LOOKUP
    if (!complete) {
        ::dlclose(handle);
        return false;
    }
    handle_ = handle;
    api_ = api;
    lastFailure_.clear();
    return true;
}

const EngineApi& EngineLibrary::require() {
    if (handle_ == nullptr && !tryLoad()) {
        report_(apollo_text::kEngineNotLoaded);
        throw EApolloError(apollo_text::kEngineNotLoaded);
    }
    return api_;
}

EngineLibrary& processEngineLibrary() {
    // Destroyed at library unload, which releases the engine.
    static EngineLibrary library(defaultEngineLibraryPath());
    return library;
}

const EngineApi& engine() {
    if (g_override != nullptr) return *g_override;
    return processEngineLibrary().require();
}

ScopedEngineOverride::ScopedEngineOverride(const EngineApi& api) : previous_(g_override) {
    g_override = &api;
}

ScopedEngineOverride::~ScopedEngineOverride() {
    g_override = previous_;
}

}  // namespace zer1
