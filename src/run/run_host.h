// What a run may do to the interfaces dialog, in plain C++: read what the
// controls hold, move the focus, enable or disable buttons, open the progress
// window, and reach the state the dialog keeps for the runs (data path,
// program directory, settings file, run report, output directory, and the
// table objects that outlive one run).  The runs in imports/, stock/ and
// fowis/ see the dialog only through this header, so they never include Qt.
#ifndef ZER1_RUN_RUN_HOST_H
#define ZER1_RUN_RUN_HOST_H

#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

namespace zer1 {

class SettingsFile;

// The dialog's controls that a run reads or changes.  ControlName() gives the
// object name the control carries in the dialog.
enum class DialogControl {
    kPbStart,
    kPbClose,
    kPgSs,
    kSleQuelle,
    kLbFiles,
    kSleAusgabe,
    kSleQuelleFowis,
    kSleZielFowis,
    kSleFaktorFowis,
    kSleQuelleFotoco,
    kLbFilesFotoco,
    kSleAusgabeFotoco,
    kCbPool,
    kCbUpdate,
    kCbStandard,
    kCbLagerUpdate,
    kCbLagerNeu,
    kCbGhWg,
    kCbGhLief,
    kCbGhSuchcode,
    kCbEkPr,
    kCbVkPr,
};

inline const char* ControlName(DialogControl control) {
    switch (control) {
        case DialogControl::kPbStart:
            return "pbStart";
        case DialogControl::kPbClose:
            return "pbClose";
        case DialogControl::kPgSs:
            return "pgSS";
        case DialogControl::kSleQuelle:
            return "sleQuelle";
        case DialogControl::kLbFiles:
            return "lbFiles";
        case DialogControl::kSleAusgabe:
            return "sleAusgabe";
        case DialogControl::kSleQuelleFowis:
            return "sleQuelleFowis";
        case DialogControl::kSleZielFowis:
            return "sleZielFowis";
        case DialogControl::kSleFaktorFowis:
            return "sleFaktorFowis";
        case DialogControl::kSleQuelleFotoco:
            return "sleQuelleFotoco";
        case DialogControl::kLbFilesFotoco:
            return "lbFilesFotoco";
        case DialogControl::kSleAusgabeFotoco:
            return "sleAusgabeFotoco";
        case DialogControl::kCbPool:
            return "cbPool";
        case DialogControl::kCbUpdate:
            return "cbUpdate";
        case DialogControl::kCbStandard:
            return "cbStandard";
        case DialogControl::kCbLagerUpdate:
            return "cbLagerUpdate";
        case DialogControl::kCbLagerNeu:
            return "cbLagerNeu";
        case DialogControl::kCbGhWg:
            return "cbGhWg";
        case DialogControl::kCbGhLief:
            return "cbGhLief";
        case DialogControl::kCbGhSuchcode:
            return "cbGhSuchcode";
        case DialogControl::kCbEkPr:
            return "cbEkPr";
        case DialogControl::kCbVkPr:
            return "cbVkPr";
    }
    return "";
}

// The engine's progress report for an index build: percent 0..100, with the
// context pointer it was registered with.  Same shape as the engine's hook.
using ProgressHookFn = void (*)(void* context, int percent);

// The progress window of a run: one line of text and a bar.  It cannot be
// cancelled and no user key moves its bar.  A run owns it through the
// unique_ptr that RunHost::OpenProgress() returns; dropping it closes and
// releases the window, so it is gone however the run ends.
class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;

    virtual void SetCaption(const std::string& caption) = 0;
    // Sets the info line and repaints it at once.
    virtual void SetInfo(const std::string& text) = 0;
    virtual void Show() = 0;
    virtual void SetMaximum(int maximum) = 0;
    virtual void SetPosition(int position) = 0;
    virtual int Maximum() const = 0;
    virtual int Position() const = 0;

    // Index builds: while the tag is kEngineProgressTag the engine's reports
    // move the bar (maximum 100); at any other tag they are ignored.
    static constexpr int kEngineProgressTag = 99;
    virtual void SetTag(int tag) = 0;
    virtual int Tag() const = 0;
    virtual void OnEngineProgress(int percent) = 0;

    // The plain callback to hand to the engine, with this window as context.
    ProgressHookFn EngineHook() const { return &ForwardEngineProgress; }
    void* EngineHookContext() { return this; }

  private:
    static void ForwardEngineProgress(void* window, int percent) {
        static_cast<ProgressWindow*>(window)->OnEngineProgress(percent);
    }
};

// Sets the engine tag on a progress window for one index build and always
// puts it back to 0, also when the build fails.
class EngineProgressScope {
  public:
    explicit EngineProgressScope(ProgressWindow& window) : window_(window) {
        window_.SetMaximum(100);
        window_.SetPosition(0);
        window_.SetTag(ProgressWindow::kEngineProgressTag);
    }
    ~EngineProgressScope() { window_.SetTag(0); }
    EngineProgressScope(const EngineProgressScope&) = delete;
    EngineProgressScope& operator=(const EngineProgressScope&) = delete;

  private:
    ProgressWindow& window_;
};

// Objects that live as long as the dialog and are shared by its runs, such
// as table objects that stay open between runs.  Each type has one instance,
// made on first use; they are destroyed with the dialog, newest first.
class DialogKeep {
  public:
    DialogKeep() = default;
    DialogKeep(const DialogKeep&) = delete;
    DialogKeep& operator=(const DialogKeep&) = delete;
    ~DialogKeep() {
        while (!items_.empty()) items_.pop_back();
    }

    template <class T>
    T& Get() {
        for (auto& [type, object] : items_) {
            if (type == std::type_index(typeid(T))) return *static_cast<T*>(object.get());
        }
        auto object = std::make_shared<T>();
        T& ref = *object;
        items_.emplace_back(std::type_index(typeid(T)), std::move(object));
        return ref;
    }

  private:
    std::vector<std::pair<std::type_index, std::shared_ptr<void>>> items_;
};

// The run report: result lines, each ending in a carriage return.
using RunReport = std::vector<std::string>;

class RunHost {
  public:
    virtual ~RunHost() = default;

    // Controls.  Texts are UTF-8.  An unknown combination (the text of a
    // check box, the selection of an edit) gives the empty text / -1 / false.
    virtual std::string Text(DialogControl control) const = 0;
    virtual int SelectedIndex(DialogControl list) const = 0;  // -1: nothing selected
    virtual std::string SelectedText(DialogControl list) const = 0;
    virtual bool IsChecked(DialogControl box) const = 0;
    // The value of the factor field sleFaktorFowis.
    virtual long double FactorValue() const = 0;

    // Moves the keyboard focus.  While a run works the dialog's inputs are
    // locked; the focus then moves as soon as the run has ended.
    virtual void SetFocus(DialogControl control) = 0;
    // Enables or disables a control.  While a run works the dialog keeps its
    // buttons disabled and applies the last state asked for when the run ends.
    virtual void SetEnabled(DialogControl control, bool enabled) = 0;

    // Creates the progress window, owned by the dialog, not yet shown.
    virtual std::unique_ptr<ProgressWindow> OpenProgress() = 0;

    // Shared state.
    virtual const std::string& DataPath() const = 0;
    virtual const std::string& ProgramDirectory() const = 0;
    virtual const std::string& FowisTransferDirectory() const = 0;
    virtual std::string& OutputDirectory() = 0;
    virtual RunReport& Report() = 0;
    virtual SettingsFile& Settings() = 0;
    virtual DialogKeep& Keep() = 0;
};

// A run: reads the dialog through the host and reports through the message
// helpers and the run report.  Errors it does not catch are shown by the
// dialog's default error display.
using RunEntry = std::function<void(RunHost&)>;

// The three runs the start button can start, by page.
struct InterfaceRuns {
    RunEntry dgh;
    RunEntry fowis;
    RunEntry fotoco;
};

}  // namespace zer1

#endif  // ZER1_RUN_RUN_HOST_H
