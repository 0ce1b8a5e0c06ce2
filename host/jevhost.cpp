// jevhost: a stand-in for the host program.  It loads libzer1.so from its
// own directory at run time, as the host does, and calls gwSsDGH.
//
//   jevhost DATA_DIR [FOWIS_DIR]   open the interfaces dialog on DATA_DIR
//   jevhost --demo DIR             make what is missing of the demo data set
//                                  below DIR (host/demo_data.h) and the
//                                  parameter table beside jevhost, then open
//                                  the dialog on DIR/data/ and DIR/fowis/
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "host/demo_data.h"

namespace {

using EntryPoint = void (*)(const char*, const char*);

void PrintUsage() {
    std::fprintf(stderr,
                 "Aufruf / usage:\n"
                 "  jevhost DATENPFAD [FOWIS-VERZEICHNIS]   (DATA_DIR [FOWIS_DIR])\n"
                 "  jevhost --demo VERZEICHNIS              (--demo DIR)\n");
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

std::string WithSlash(std::string directory) {
    if (!directory.empty() && directory.back() != '/') directory += '/';
    return directory;
}

// The directory of this executable, with its trailing "/".
std::string OwnDirectory() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "./";
    return WithSlash(self.parent_path().string());
}

}  // namespace

int main(int argc, char** argv) {
    std::string data_dir;
    std::string fowis_dir;
    if (argc == 3 && std::string(argv[1]) == "--demo") {
        data_dir = WithSlash(argv[2]) + "data";
        fowis_dir = WithSlash(argv[2]) + "fowis";
    } else if ((argc == 2 || argc == 3) && argv[1][0] != '-') {
        data_dir = argv[1];
        if (argc == 3) fowis_dir = argv[2];
    } else {
        PrintUsage();
        return 1;
    }

    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "Kein Bildschirm gefunden (weder DISPLAY noch WAYLAND_DISPLAY noch "
                     "QT_QPA_PLATFORM ist gesetzt): der Dialog kann hier nicht angezeigt "
                     "werden.\n"
                     "No display found (neither DISPLAY nor WAYLAND_DISPLAY nor QT_QPA_PLATFORM "
                     "is set): the dialog cannot be shown here.\n");
        return 2;
    }

    if (argc == 3 && std::string(argv[1]) == "--demo") {
        jevhost::DemoPaths demo;
        std::string problem;
        if (!jevhost::MakeDemoData(argv[2], OwnDirectory(), demo, problem)) {
            std::fprintf(stderr, "Demo-Daten / demo data: %s\n", problem.c_str());
            return 1;
        }
        data_dir = demo.data_path;
        fowis_dir = demo.fowis_directory;
    }

    const std::string library = OwnDirectory() + "libzer1.so";
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "%s kann nicht geladen werden / cannot be loaded: %s\n",
                     library.c_str(), dlerror());
        return 1;
    }
    auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, "gwSsDGH"));
    if (entry == nullptr) {
        std::fprintf(stderr, "gwSsDGH fehlt in / is missing from %s\n", library.c_str());
        return 1;
    }
    // The host passes its data path with a trailing separator.
    entry(WithSlash(data_dir).c_str(), fowis_dir.c_str());
    // The library stays loaded until the process ends, as with the host.
    return 0;
}
