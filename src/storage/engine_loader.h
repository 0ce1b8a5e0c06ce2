// Loads the xBase engine libsde61.so at run time.
//
// The engine is opened with dlopen at the first table operation that needs it
// and every entry point of engine_functions.h is looked up by name.  When the
// library or any entry point is missing, the user is told once per attempt,
// the application is asked to quit, and the operation fails with an
// EApolloError; the next operation tries again.  The library is released when
// the loader goes away (for the process's loader: at library unload).
#ifndef ZER1_STORAGE_ENGINE_LOADER_H
#define ZER1_STORAGE_ENGINE_LOADER_H

#include <functional>
#include <string>

#include "storage/engine_api.h"

namespace zer1 {

class EngineLibrary {
  public:
    // Called with the user-visible text when loading fails.
    using FailureReport = std::function<void(const std::string& message)>;

    // libraryPath: passed to dlopen as given (a bare name uses the normal
    // search path).  report: what to do on failure; the default shows the
    // error message and asks the application to quit.
    explicit EngineLibrary(std::string libraryPath, FailureReport report = {});
    ~EngineLibrary();

    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;

    // The function table, loading the library first when needed.  Throws
    // EApolloError after reporting when the library cannot be used.
    const EngineApi& require();

    bool isLoaded() const { return handle_ != nullptr; }
    const std::string& libraryPath() const { return libraryPath_; }
    void setLibraryPath(std::string path) { libraryPath_ = std::move(path); }
    // Why the last attempt failed (dlerror text), empty after success.
    const std::string& lastFailure() const { return lastFailure_; }

    void unload();

  private:
    bool tryLoad();

    std::string libraryPath_;
    FailureReport report_;
    void* handle_ = nullptr;
    EngineApi api_{};
    std::string lastFailure_;
};

// libsde61.so in the directory of the library (or program) that holds the
// table layer when it is there, else the bare name for the normal search path.
std::string defaultEngineLibraryPath();

// Shows the load failure text through the error message helper and asks the
// application to quit.
void reportEngineLoadFailure(const std::string& message);

// The engine every table object calls: the test override when one is
// installed, else the process's loaded libsde61.so.  Throws EApolloError when
// the engine cannot be loaded.
const EngineApi& engine();

// The loader behind engine(), e.g. to point it somewhere else in tests.
EngineLibrary& processEngineLibrary();

// Installs a function table (for example fakes) that engine() returns for the
// lifetime of this object instead of the loaded library.
class ScopedEngineOverride {
  public:
    explicit ScopedEngineOverride(const EngineApi& api);
    ~ScopedEngineOverride();
    ScopedEngineOverride(const ScopedEngineOverride&) = delete;
    ScopedEngineOverride& operator=(const ScopedEngineOverride&) = delete;

  private:
    const EngineApi* previous_;
};

}  // namespace zer1

#endif  // ZER1_STORAGE_ENGINE_LOADER_H
