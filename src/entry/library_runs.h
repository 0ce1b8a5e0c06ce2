// The three runs the library's dialog starts: DGH import, Fowis conversion
// and Fotoco import.
#ifndef ZER1_ENTRY_LIBRARY_RUNS_H
#define ZER1_ENTRY_LIBRARY_RUNS_H

#include "run/run_host.h"

namespace zer1 {

InterfaceRuns LibraryRuns();

}  // namespace zer1

#endif  // ZER1_ENTRY_LIBRARY_RUNS_H
