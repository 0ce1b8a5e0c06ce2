#include "entry/german_qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <cstdio>

namespace zer1 {
namespace {

// Debian's qt6-translations-l10n puts it into Qt's translations directory.
constexpr const char* kQtGermanCatalog = "qtbase_de";

}  // namespace

GermanQtTexts::GermanQtTexts() {
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator_.load(QLatin1String(kQtGermanCatalog), directory)) {
        std::fprintf(stderr, "gwSsDGH: %s.qm not found in %s; Qt's own texts stay English\n",
                     kQtGermanCatalog, directory.toLocal8Bit().constData());
        return;
    }
    installed_ = QCoreApplication::installTranslator(&translator_);
}

GermanQtTexts::~GermanQtTexts() {
    if (installed_) QCoreApplication::removeTranslator(&translator_);
}

}  // namespace zer1
