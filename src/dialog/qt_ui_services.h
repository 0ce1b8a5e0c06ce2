// The UI services of the running library, done with Qt: message boxes with
// one OK button, the file-open dialog, processing of pending events and the
// quit request.  Installed by the entry point for the length of one call.
#ifndef ZER1_DIALOG_QT_UI_SERVICES_H
#define ZER1_DIALOG_QT_UI_SERVICES_H

#include <QString>

#include "common/ui_services.h"

namespace zer1 {

class QtUiServices : public UiServices {
  public:
    void ShowMessage(MessageKind kind, const std::string& caption,
                     const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const FileOpenRequest& request) override;
    void ProcessEvents() override;
    void RequestQuit() override;
};

// "ZIP-Archive|*.zip|Alle Dateien|*.*" -> "ZIP-Archive (*.zip);;Alle Dateien (*)".
// Patterns match without regard to case, as the host's file system does.
QString QtFileFilter(const std::string& bar_filter);

// Carriage returns (alone or before a line feed) become line feeds.
QString MessageBoxText(const std::string& text);

}  // namespace zer1

#endif  // ZER1_DIALOG_QT_UI_SERVICES_H
