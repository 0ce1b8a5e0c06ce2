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

}  // namespace zer1

#endif  // ZER1_STOCK_STEP_PROGRESS_H
