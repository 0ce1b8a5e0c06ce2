// The two message helpers through which every user-visible message of the
// library is shown: a modal box with one "OK" button, captioned "Information"
// or "Fehler".  They are the only callers of UiServices::ShowMessage.
#ifndef ZER1_COMMON_MESSAGES_H
#define ZER1_COMMON_MESSAGES_H

#include <string>

namespace zer1 {

inline constexpr const char* kInformationCaption = "Information";
inline constexpr const char* kErrorCaption = "Fehler";

// The runs' answer to an input they cannot use; %s is the input's area name.
inline constexpr const char* kNoValidInputMessage =
    "Der Bereich \"%s\" enthält keine gültige Eingabe!";

// `pattern` with its first "%s" replaced by `argument`.
std::string MessageWithArgument(const char* pattern, const std::string& argument);

// Shows `text` in an information box and waits for "OK".  The help context
// is accepted for the callers' sake (they pass 0) and otherwise unused.
void InformationMessage(const std::string& text, int help_context = 0);

// Shows `text` in an error box and waits for "OK".
void ErrorMessage(const std::string& text, int help_context = 0);

}  // namespace zer1

#endif  // ZER1_COMMON_MESSAGES_H
