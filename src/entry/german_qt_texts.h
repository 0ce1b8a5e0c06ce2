// GermanQtTexts: Qt's own texts (file dialog, the edits' context menus,
// standard buttons) in German for the length of one call of the entry point.
// Qt's German translation is installed on the running application and removed
// again at the end, so that a host running Qt itself gets its own texts back.
#ifndef ZER1_ENTRY_GERMAN_QT_TEXTS_H
#define ZER1_ENTRY_GERMAN_QT_TEXTS_H

#include <QTranslator>

namespace zer1 {

class GermanQtTexts {
  public:
    // Needs the application object.  Without Qt's German translation on the
    // system the texts stay as they are; that is reported on standard error.
    GermanQtTexts();
    ~GermanQtTexts();
    GermanQtTexts(const GermanQtTexts&) = delete;
    GermanQtTexts& operator=(const GermanQtTexts&) = delete;

  private:
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace zer1

#endif  // ZER1_ENTRY_GERMAN_QT_TEXTS_H
