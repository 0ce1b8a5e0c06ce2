// TformProgress: the small window a run shows while it works, one line of
// text (lblInfo) and a bar (ProgressBar).  It stays on top, has no close
// button and ignores the user's keys: nothing but the run and the engine's
// index-build reports change it.  ProgressWindow is the run's plain view.
#ifndef ZER1_DIALOG_FORM_PROGRESS_H
#define ZER1_DIALOG_FORM_PROGRESS_H

#include <QPointer>
#include <QWidget>

#include "run/run_host.h"

class QLabel;
class QProgressBar;

namespace zer1 {

class TformProgress : public QWidget {
    Q_OBJECT

  public:
    explicit TformProgress(QWidget* owner);

    QLabel* lblInfo = nullptr;
    QProgressBar* ProgressBar = nullptr;
    int tag = 0;

    // The bar's range is 0..maximum; positions outside it are clamped.
    void SetBarMaximum(int maximum);
    void SetBarPosition(int position);
    int bar_maximum() const { return bar_maximum_; }

    // Lets the next close go through; every other close is refused.
    void CloseByProgram();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    bool closing_by_program_ = false;
    int bar_maximum_ = 100;
};

// The run's handle on a TformProgress.  Dropping it closes and releases the
// window; it stays harmless when the window is already gone.
class ProgressWindowHandle : public ProgressWindow {
  public:
    explicit ProgressWindowHandle(TformProgress* window) : window_(window) {}
    ~ProgressWindowHandle() override;

    void SetCaption(const std::string& caption) override;
    void SetInfo(const std::string& text) override;
    void Show() override;
    void SetMaximum(int maximum) override;
    void SetPosition(int position) override;
    int Maximum() const override;
    int Position() const override;
    void SetTag(int tag) override;
    int Tag() const override;
    void OnEngineProgress(int percent) override;

    TformProgress* window() const { return window_; }

  private:
    QPointer<TformProgress> window_;
};

}  // namespace zer1

#endif  // ZER1_DIALOG_FORM_PROGRESS_H
