// The dialog's button glyphs, built into the library and looked up by the
// resource names the dialog uses: "BM_CHECKOK", "BM_CLOSE", "BM_VASSIST".
#ifndef ZER1_DIALOG_GLYPHS_H
#define ZER1_DIALOG_GLYPHS_H

#include <QIcon>

namespace zer1 {

// The glyph of that name; an empty icon for an unknown name.
QIcon Glyph(const char* resource_name);

}  // namespace zer1

#endif  // ZER1_DIALOG_GLYPHS_H
