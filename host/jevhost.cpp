// jevhost: a stand-in for the host program.  It loads libzer1.so from its
// own directory at run time, as the host does, and calls gwSsDGH.
//
//   jevhost DATA_DIR [FOWIS_DIR]   open the interfaces dialog on DATA_DIR
//   jevhost --demo DIR             make what is missing of the demo world
//                                  below DIR (host/demo_data.h), place the
//                                  host in DIR/programm/ and open the dialog
//                                  there on DIR/data/ and DIR/fowis/
//   jevhost --tour DIR             the same world, driven through the dialog
//                                  offscreen (host/tour.h); pictures go to
//                                  DIR/bilder/
#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "host/demo_data.h"
#include "host/host_placement.h"
#include "host/tour.h"
#include "storage/engine_loader.h"

namespace {

using jevhost::EntryPoint;

void PrintUsage() {
    std::fprintf(stderr,
                 "Aufruf / usage:\n"
                 "  jevhost DATENPFAD [FOWIS-VERZEICHNIS]   (DATA_DIR [FOWIS_DIR])\n"
                 "  jevhost --demo VERZEICHNIS              (--demo DIR: open the dialog)\n"
                 "  jevhost --tour VERZEICHNIS              (--tour DIR: scripted, offscreen)\n");
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

EntryPoint LoadEntryPoint() {
    const std::string library = jevhost::OwnDirectory() + "libzer1.so";
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "%s kann nicht geladen werden / cannot be loaded: %s\n",
                     library.c_str(), dlerror());
        return nullptr;
    }
    // The library stays loaded until the process ends, as with the host.
    auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, "gwSsDGH"));
    if (entry == nullptr) {
        std::fprintf(stderr, "gwSsDGH fehlt in / is missing from %s\n", library.c_str());
    }
    return entry;
}

// The demo's program directory is DIR/programm/: unless this process runs
// from there, the host is placed there and started again from there, so
// that the program directory is one the demo may write.
int StartFromDemoProgramDirectory(const jevhost::DemoPaths& paths, char** argv) {
    try {
        std::string copy = jevhost::PlaceHostIn(paths.program_directory);
        std::vector<char*> args{copy.data()};
        for (char** arg = argv + 1; *arg != nullptr; ++arg) args.push_back(*arg);
        args.push_back(nullptr);
        execv(copy.c_str(), args.data());
        std::fprintf(stderr, "%s kann nicht gestartet werden / cannot be started\n", copy.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Programmverzeichnis / program directory: %s\n", error.what());
    }
    return 1;
}

int RunDemo(const std::string& mode, const std::string& root, char** argv) {
    const jevhost::DemoPaths wanted = jevhost::DemoPathsFor(root);
    if (jevhost::OwnDirectory() != wanted.program_directory) {
        return StartFromDemoProgramDirectory(wanted, argv);
    }
    zer1::processEngineLibrary().setLibraryPath(wanted.program_directory + "libsde61.so");
    jevhost::DemoPaths demo;
    std::string problem;
    if (!jevhost::MakeDemoData(root, wanted.program_directory, demo, problem)) {
        std::fprintf(stderr, "Demo-Daten / demo data: %s\n", problem.c_str());
        return 1;
    }
    const EntryPoint entry = LoadEntryPoint();
    if (entry == nullptr) return 1;
    if (mode == "--tour") {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        int qt_argc = 1;
        QApplication app(qt_argc, argv);
        return jevhost::RunTour(entry, demo, WithSlash(root) + "bilder/");
    }
    // The host passes its data path with a trailing separator.
    entry(demo.data_path.c_str(), demo.fowis_directory.c_str());
    return 0;
}

void SayThereIsNoDisplay() {
    std::fprintf(stderr,
                 "Kein Bildschirm gefunden (weder DISPLAY noch WAYLAND_DISPLAY noch "
                 "QT_QPA_PLATFORM ist gesetzt): der Dialog kann hier nicht angezeigt werden.\n"
                 "No display found (neither DISPLAY nor WAYLAND_DISPLAY nor QT_QPA_PLATFORM "
                 "is set): the dialog cannot be shown here.\n");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (argc == 3 && (first == "--demo" || first == "--tour")) {
        if (first == "--demo" && !HasDisplay()) {
            SayThereIsNoDisplay();
            std::fprintf(stderr, "Ohne Bildschirm / without a display: jevhost --tour %s\n",
                         argv[2]);
            return 2;
        }
        return RunDemo(first, argv[2], argv);
    }
    if ((argc != 2 && argc != 3) || first.empty() || first[0] == '-') {
        PrintUsage();
        return 1;
    }
    if (!HasDisplay()) {
        SayThereIsNoDisplay();
        return 2;
    }
    const EntryPoint entry = LoadEntryPoint();
    if (entry == nullptr) return 1;
    entry(WithSlash(argv[1]).c_str(), argc == 3 ? argv[2] : "");
    return 0;
}
