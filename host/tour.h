// The scripted tour of the dialog for machines without a display: on Qt's
// offscreen platform it drives the real dialog of libzer1.so by its
// controls' object names, as a user would: the Fowis, DGH and Fotoco runs
// one after the other with every option on, each message box answered and
// printed, a PNG picture of each page and of each run's progress window,
// and at the end what the runs changed in the host's tables.
#ifndef ZER1_HOST_TOUR_H
#define ZER1_HOST_TOUR_H

#include <string>

#include "host/demo_data.h"

namespace jevhost {

using EntryPoint = void (*)(const char*, const char*);

// Calls `entry` (gwSsDGH) on the demo world and drives the dialog it shows;
// the pictures go to `picture_directory`.  A QApplication must exist.
// Returns 0 when all three runs were started and no window came up that
// the tour did not expect; a tour that takes longer than two minutes closes
// whatever is open and fails.
int RunTour(EntryPoint entry, const DemoPaths& paths, const std::string& picture_directory);

}  // namespace jevhost

#endif  // ZER1_HOST_TOUR_H
