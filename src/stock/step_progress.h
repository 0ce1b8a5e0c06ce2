// StepProgress: what a step of an archive run does to the run's progress
// window (its info line and bar). The run hands its window in through this
// plain interface, so the steps in stock/ need no user-interface code.
#ifndef ZER1_STOCK_STEP_PROGRESS_H
#define ZER1_STOCK_STEP_PROGRESS_H

#include <string>

namespace zer1 {

class StepProgress {
  public:
    virtual ~StepProgress() = default;
    // Sets the info line and repaints it at once.
    virtual void SetInfo(const std::string& text) = 0;
    virtual void SetMaximum(int maximum) = 0;
    virtual void SetPosition(int position) = 0;
};

// Hands the calls on to any window with the same three operations, such as
// the dialog's progress window: StepProgressOn progress(*window);
template <class Window>
class StepProgressOn : public StepProgress {
  public:
    explicit StepProgressOn(Window& window) : window_(window) {}
    void SetInfo(const std::string& text) override { window_.SetInfo(text); }
    void SetMaximum(int maximum) override { window_.SetMaximum(maximum); }
    void SetPosition(int position) override { window_.SetPosition(position); }

  private:
    Window& window_;
};

}  // namespace zer1

#endif  // ZER1_STOCK_STEP_PROGRESS_H
