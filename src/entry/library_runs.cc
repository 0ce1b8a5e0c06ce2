#include "entry/library_runs.h"

#include "fowis/fowis_run.h"
#include "imports/dgh_run.h"
#include "imports/fotoco_run.h"

namespace zer1 {

InterfaceRuns LibraryRuns() {
    InterfaceRuns runs;
    runs.dgh = &RunDghImport;
    runs.fowis = &RunFowisConversion;
    runs.fotoco = &RunFotocoImport;
    return runs;
}

}  // namespace zer1
