#include "common/ui_services.h"

#include <cstdio>

namespace zer1 {
namespace {

// Used while no user interface is installed (for example in a program without
// a dialog): messages go to standard error, file dialogs are cancelled.
class SilentUiServices : public UiServices {
  public:
    void ShowMessage(MessageKind, const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    std::optional<std::string> ChooseFileToOpen(const FileOpenRequest&) override {
        return std::nullopt;
    }
    void ProcessEvents() override {}
    void RequestQuit() override {}
};

SilentUiServices g_silent;
UiServices* g_current = &g_silent;
MessagePumpThrottle g_pump_throttle;

}  // namespace

UiServices& CurrentUiServices() {
    return *g_current;
}

UiServices* InstallUiServices(UiServices* services) {
    UiServices* previous = g_current;
    g_current = services != nullptr ? services : &g_silent;
    return previous == &g_silent ? nullptr : previous;
}

void ProcessPendingMessages() {
    if (g_pump_throttle.Due(MessagePumpThrottle::Clock::now())) g_current->ProcessEvents();
}

}  // namespace zer1
