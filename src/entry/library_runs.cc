#include "entry/library_runs.h"

#include "common/messages.h"
#include "fowis/fowis_run.h"

namespace zer1 {
namespace {

// An interface whose run is not in this build yet says so and does nothing.
void InterfaceNotAvailable(RunHost&) {
    ErrorMessage("Diese Schnittstelle ist noch nicht verfügbar.");
}

}  // namespace

InterfaceRuns LibraryRuns() {
    InterfaceRuns runs;
    runs.dgh = &InterfaceNotAvailable;
    runs.fowis = &RunFowisConversion;
    runs.fotoco = &InterfaceNotAvailable;
    return runs;
}

}  // namespace zer1
