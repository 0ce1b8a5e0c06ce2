#include "common/messages.h"

#include "common/ui_services.h"

namespace zer1 {

void InformationMessage(const std::string& text, int /*help_context*/) {
    CurrentUiServices().ShowMessage(MessageKind::kInformation, kInformationCaption, text);
}

void ErrorMessage(const std::string& text, int /*help_context*/) {
    CurrentUiServices().ShowMessage(MessageKind::kError, kErrorCaption, text);
}

}  // namespace zer1
