#include "common/messages.h"

#include "common/ui_services.h"

namespace zer1 {

void InformationMessage(const std::string& text, int /*help_context*/) {
    CurrentUiServices().ShowMessage(MessageKind::kInformation, kInformationCaption, text);
}

void ErrorMessage(const std::string& text, int /*help_context*/) {
    CurrentUiServices().ShowMessage(MessageKind::kError, kErrorCaption, text);
}

std::string MessageWithArgument(const char* pattern, const std::string& argument) {
    std::string text = pattern;
    if (auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

}  // namespace zer1
