#include "dialog/glyphs.h"

#include <QPixmap>
#include <cstring>

namespace zer1 {
namespace {

// 16 x 16 pixmaps in XPM form: a green tick, a red cross, and a folder with
// the three dots of a "choose..." button.
// clang-format off
const char* const kCheckOk[] = {
    "16 16 3 1",
    "  c None",
    ". c #008000",
    "+ c #00A000",
    "                ",
    "                ",
    "             .. ",
    "            .+. ",
    "           .+.  ",
    "          .+.   ",
    " ..      .+.    ",
    " .+.    .+.     ",
    "  .+.  .+.      ",
    "   .+..+.       ",
    "    .++.        ",
    "     ..         ",
    "                ",
    "                ",
    "                ",
    "                "
};

const char* const kClose[] = {
    "16 16 3 1",
    "  c None",
    ". c #A00000",
    "+ c #E02020",
    "                ",
    "                ",
    "  ..        ..  ",
    "  .+.      .+.  ",
    "   .+.    .+.   ",
    "    .+.  .+.    ",
    "     .+..+.     ",
    "      .++.      ",
    "      .++.      ",
    "     .+..+.     ",
    "    .+.  .+.    ",
    "   .+.    .+.   ",
    "  .+.      .+.  ",
    "  ..        ..  ",
    "                ",
    "                "
};

const char* const kVAssist[] = {
    "16 16 4 1",
    "  c None",
    ". c #806000",
    "+ c #F0D060",
    "o c #000000",
    "                ",
    "                ",
    "                ",
    "  ....          ",
    " .++++.         ",
    " .+++++......   ",
    " .++++++++++.   ",
    " .++++++++++.   ",
    " .++++++++++.   ",
    " .++++++++++.   ",
    " .++++++++++.   ",
    " ............   ",
    "                ",
    "   oo  oo  oo   ",
    "   oo  oo  oo   ",
    "                "
};
// clang-format on

}  // namespace

QIcon Glyph(const char* resource_name) {
    if (std::strcmp(resource_name, "BM_CHECKOK") == 0) return QIcon(QPixmap(kCheckOk));
    if (std::strcmp(resource_name, "BM_CLOSE") == 0) return QIcon(QPixmap(kClose));
    if (std::strcmp(resource_name, "BM_VASSIST") == 0) return QIcon(QPixmap(kVAssist));
    return QIcon();
}

}  // namespace zer1
