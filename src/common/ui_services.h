// UI services: the small seam between the library's logic and the user
// interface.  Message boxes, the file-open dialog, processing of pending
// window messages and the quit request all go through the implementation
// installed here.  The dialog installs a Qt implementation; tests install one
// that records what it is asked.  Without an installed implementation a
// silent default is used that writes messages to standard error and cancels
// every file dialog.
#ifndef ZER1_COMMON_UI_SERVICES_H
#define ZER1_COMMON_UI_SERVICES_H

#include <chrono>
#include <optional>
#include <string>

namespace zer1 {

enum class MessageKind { kInformation, kError };

// What a file-open dialog is asked to show.  The filter uses the "|" notation:
// "ZIP-Archive|*.zip|Alle Dateien|*.*" (description, pattern, description, ...).
struct FileOpenRequest {
    std::string title;
    std::string filter;
    std::string initial_directory;
    bool hide_read_only = true;
    bool path_must_exist = true;
    bool file_must_exist = true;
};

class UiServices {
  public:
    virtual ~UiServices() = default;

    // A modal message box with the text, the caption and one "OK" button; the
    // call returns when the user has pressed it.  Carriage returns in the text
    // are line breaks.
    virtual void ShowMessage(MessageKind kind, const std::string& caption,
                             const std::string& text) = 0;

    // A modal file-open dialog.  Returns the chosen full file name, or nothing
    // when the user cancelled.
    virtual std::optional<std::string> ChooseFileToOpen(const FileOpenRequest& request) = 0;

    // Hands pending window messages to their windows (repaints, input), then
    // returns.  Callers normally go through ProcessPendingMessages(), which
    // throttles.
    virtual void ProcessEvents() = 0;

    // Asks the application to terminate once control returns to its message loop.
    virtual void RequestQuit() = 0;
};

// The implementation in force.  Never null: without an installed one, the
// silent default answers.
UiServices& CurrentUiServices();

// Installs `services` (not owned; nullptr reinstalls the silent default) and
// returns the one that was installed before (nullptr for the silent default).
UiServices* InstallUiServices(UiServices* services);

// Installs an implementation for the lifetime of the object and restores the
// previous one afterwards.
class ScopedUiServices {
  public:
    explicit ScopedUiServices(UiServices* services) : previous_(InstallUiServices(services)) {}
    ~ScopedUiServices() { InstallUiServices(previous_); }
    ScopedUiServices(const ScopedUiServices&) = delete;
    ScopedUiServices& operator=(const ScopedUiServices&) = delete;

  private:
    UiServices* previous_;
};

// Lets the user interface process its pending messages, but at most once per
// kMessagePumpInterval: long loops call this once per record or line, and all
// but a few of those calls cost one steady-clock read and a compare.
inline constexpr std::chrono::milliseconds kMessagePumpInterval{20};
void ProcessPendingMessages();

// The throttle behind ProcessPendingMessages(), kept separate so that its
// decisions can be tested with chosen points in time.
class MessagePumpThrottle {
  public:
    using Clock = std::chrono::steady_clock;
    explicit MessagePumpThrottle(Clock::duration interval = kMessagePumpInterval)
        : interval_(interval) {}

    // True when a pump is due at `now`; a true answer starts the next interval.
    bool Due(Clock::time_point now) {
        if (started_ && now - last_ < interval_) return false;
        started_ = true;
        last_ = now;
        return true;
    }

  private:
    Clock::duration interval_;
    Clock::time_point last_{};
    bool started_ = false;
};

}  // namespace zer1

#endif  // ZER1_COMMON_UI_SERVICES_H
