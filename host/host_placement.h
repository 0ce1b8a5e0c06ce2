// Where the host stand-in runs from.  The program directory is the directory
// of the running executable; the demo needs one of its own that it may
// write (VUROZE.LIC, INDEXES.DBF, zer1.ini, the Fowis staging tables), also
// when jevhost is installed read-only under /usr.  So the demo places a copy
// of the executable in its program directory (a copy, because a symbolic
// link would leave /proc/self/exe pointing at the original) and symbolic
// links to libzer1.so and libsde61.so beside it, and starts that copy.
#ifndef ZER1_HOST_HOST_PLACEMENT_H
#define ZER1_HOST_HOST_PLACEMENT_H

#include <string>

namespace jevhost {

// The directory of the running executable, with its trailing "/".
std::string OwnDirectory();

// Puts the copy of this executable and the two library links into
// `program_directory` (made when missing), refreshing a copy that differs.
// Returns the copy's full name; throws std::runtime_error naming the file
// that cannot be placed.
std::string PlaceHostIn(const std::string& program_directory);

}  // namespace jevhost

#endif  // ZER1_HOST_HOST_PLACEMENT_H
