#include "dialog/qt_ui_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace zer1 {
namespace {

// "*.SDF" -> "*.[sS][dD][fF]"; "*.*" -> "*" (every file, also those without a dot).
QString CaseFreePattern(const QString& pattern) {
    if (pattern == "*.*") return "*";
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper()) {
            out += '[';
            out += c.toLower();
            out += c.toUpper();
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

QWidget* DialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

}  // namespace

QString QtFileFilter(const std::string& bar_filter) {
    const QStringList parts = QString::fromStdString(bar_filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            patterns << CaseFreePattern(p.trimmed());
        }
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

QString MessageBoxText(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.replace("\r\n", "\n");
    out.replace('\r', '\n');
    return out;
}

void QtUiServices::ShowMessage(MessageKind kind, const std::string& caption,
                               const std::string& text) {
    QMessageBox box(kind == MessageKind::kError ? QMessageBox::Critical : QMessageBox::Information,
                    QString::fromStdString(caption), MessageBoxText(text), QMessageBox::Ok,
                    DialogParent());
    // Messages are plain text: a text that happens to look like markup (a file
    // name with "<", a line starting with a tag) must keep its characters and
    // its line breaks.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::optional<std::string> QtUiServices::ChooseFileToOpen(const FileOpenRequest& request) {
    QFileDialog dialog(DialogParent(), QString::fromStdString(request.title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.file_must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(QtFileFilter(request.filter));
    // The initial directory may also name a file (the remembered Fowis source):
    // then its folder opens with the file preselected.
    const QFileInfo initial(QString::fromStdString(request.initial_directory));
    if (initial.isDir()) {
        dialog.setDirectory(initial.absoluteFilePath());
    } else if (!request.initial_directory.empty()) {
        dialog.setDirectory(initial.absolutePath());
        if (initial.exists()) dialog.selectFile(initial.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    if (request.path_must_exist && !QFileInfo(chosen.front()).absoluteDir().exists()) {
        return std::nullopt;
    }
    return chosen.front().toStdString();
}

void QtUiServices::ProcessEvents() {
    QCoreApplication::processEvents();
}

void QtUiServices::RequestQuit() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
    }
}

}  // namespace zer1
