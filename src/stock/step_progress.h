// StepProgress: what a step of an archive run does to the run's progress
// window (its info line and bar). The run hands its window in through this
// plain interface, so the steps in stock/ need no user-interface code.
#ifndef ZER1_STOCK_STEP_PROGRESS_H
#define ZER1_STOCK_STEP_PROGRESS_H

#include <string>

namespace zer1 {

class StepProgress {
  public:
    // While the tag has this value the engine's reports of an index build
    // move the bar (maximum 100); at any other tag they are ignored.
    static constexpr int kEngineProgressTag = 99;

    virtual ~StepProgress() = default;
    // Sets the info line and repaints it at once.
    virtual void SetInfo(const std::string& text) = 0;
    virtual void SetMaximum(int maximum) = 0;
    virtual void SetPosition(int position) = 0;

    // The window's tag: kEngineProgressTag during one index build, else 0.
    virtual void SetTag(int tag) { tag_ = tag; }
    // One progress report of the engine (percent 0..100).
    virtual void OnEngineProgress(int percent) {
        if (tag_ == kEngineProgressTag) SetPosition(percent);
    }

  private:
    int tag_ = 0;
};

// Hands the calls on to any window with the same operations, such as the
// dialog's progress window: StepProgressOn progress(*window);  A window
// without SetTag and OnEngineProgress gets the engine's reports through
// SetPosition while the tag is kEngineProgressTag.
template <class Window>
class StepProgressOn : public StepProgress {
  public:
    explicit StepProgressOn(Window& window) : window_(window) {}
    void SetInfo(const std::string& text) override { window_.SetInfo(text); }
    void SetMaximum(int maximum) override { window_.SetMaximum(maximum); }
    void SetPosition(int position) override { window_.SetPosition(position); }
    void SetTag(int tag) override {
        if constexpr (requires { window_.SetTag(tag); }) {
            window_.SetTag(tag);
        } else {
            StepProgress::SetTag(tag);
        }
    }
    void OnEngineProgress(int percent) override {
        if constexpr (requires { window_.OnEngineProgress(percent); }) {
            window_.OnEngineProgress(percent);
        } else {
            StepProgress::OnEngineProgress(percent);
        }
    }

  private:
    Window& window_;
};

}  // namespace zer1

#endif  // ZER1_STOCK_STEP_PROGRESS_H
