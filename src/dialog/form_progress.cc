#include "dialog/form_progress.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <algorithm>

#include "common/ui_services.h"

namespace zer1 {

TformProgress::TformProgress(QWidget* owner)
    : QWidget(owner,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("formProgress");
    setWindowTitle("Information");
    setFixedSize(300, 61);

    lblInfo = new QLabel("lblInfo", this);
    lblInfo->setObjectName("lblInfo");
    lblInfo->setGeometry(8, 8, 284, 16);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setGeometry(8, 32, 284, 18);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setFocusPolicy(Qt::NoFocus);
}

// A bar whose minimum equals its maximum would turn into a busy indicator;
// an empty table's maximum of 0 shows an empty bar instead.
void TformProgress::SetBarMaximum(int maximum) {
    bar_maximum_ = std::max(0, maximum);
    ProgressBar->setRange(0, std::max(1, bar_maximum_));
    SetBarPosition(ProgressBar->value());
}

void TformProgress::SetBarPosition(int position) {
    ProgressBar->setValue(std::clamp(position, 0, bar_maximum_));
}

void TformProgress::CloseByProgram() {
    closing_by_program_ = true;
    close();
}

// The window belongs to the run: no key of the user does anything here.
void TformProgress::keyPressEvent(QKeyEvent* event) {
    event->accept();
}
void TformProgress::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
}

void TformProgress::closeEvent(QCloseEvent* event) {
    if (closing_by_program_) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TformProgress::showEvent(QShowEvent* event) {
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QWidget::showEvent(event);
}

ProgressWindowHandle::~ProgressWindowHandle() {
    if (window_) {
        window_->CloseByProgram();
        delete window_.data();
    }
}

void ProgressWindowHandle::SetCaption(const std::string& caption) {
    if (window_) window_->setWindowTitle(QString::fromStdString(caption));
}

void ProgressWindowHandle::SetInfo(const std::string& text) {
    if (!window_) return;
    window_->lblInfo->setText(QString::fromStdString(text));
    window_->lblInfo->repaint();
}

void ProgressWindowHandle::Show() {
    if (window_) window_->show();
}

void ProgressWindowHandle::SetMaximum(int maximum) {
    if (window_) window_->SetBarMaximum(maximum);
}

void ProgressWindowHandle::SetPosition(int position) {
    if (window_) window_->SetBarPosition(position);
}

int ProgressWindowHandle::Maximum() const {
    return window_ ? window_->bar_maximum() : 0;
}

int ProgressWindowHandle::Position() const {
    return window_ ? window_->ProgressBar->value() : 0;
}

void ProgressWindowHandle::SetTag(int tag) {
    if (window_) window_->tag = tag;
}

int ProgressWindowHandle::Tag() const {
    return window_ ? window_->tag : 0;
}

void ProgressWindowHandle::OnEngineProgress(int percent) {
    if (!window_ || window_->tag != kEngineProgressTag) return;
    SetPosition(percent);
    ProcessPendingMessages();
}

}  // namespace zer1
