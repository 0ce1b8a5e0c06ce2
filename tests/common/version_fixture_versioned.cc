// A shared library that carries an embedded file version, for the
// version-text tests.
#include "common/file_version_note.h"

ZER1_EMBED_FILE_VERSION("2.3.4.5");

extern "C" __attribute__((visibility("default"))) int zer1_versioned_fixture_answer() {
    return 42;
}
