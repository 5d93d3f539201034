#pragma once

#include "common/progress.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace rg {

// What is being done and how far: "正在导出……45%" when the total is known, else the count
// so far ("正在读取数据……已读取 1,234,567 行").
QString progressText(const char* what, int64_t done, int64_t total);

// The window of long work. Work reports into it as the current progress sink; once the work
// has run for `delay` the window shows itself over its owner (window-modal, so no other
// command of the owner can start) and keeps the windows painted, pumping the event loop at
// most every 50 ms. 取消, Escape or the close box make the next report answer false.
//
// Work has no end signal of its own: whenever an event loop runs outside a report (a dialog
// the command opens after the work, or the command's end) and no report has come for a
// while, the window goes and the next report starts the clock afresh.
class TProgressWindow : public QDialog, public ProgressSink {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kShowDelay{300};

    explicit TProgressWindow(QWidget* owner, std::chrono::milliseconds delay = kShowDelay);
    ~TProgressWindow() override;

    bool progress(const char* what, int64_t done, int64_t total) override;

    QLabel* ProgressText;
    QProgressBar* ProgressBar;
    QPushButton* CancelButton;

public slots:
    // 取消, Escape and the close box: the work is told at its next report; the window stays
    // until the work has unwound.
    void reject() override;

private:
    void showProgress(const char* what, int64_t done, int64_t total);
    void pump();
    void rest();
    void idleCheck();

    std::chrono::milliseconds delay_;
    QElapsedTimer started_; // since the first report of the current work
    QElapsedTimer lastReport_;
    QElapsedTimer lastPump_;
    QTimer idle_;
    bool pumping_ = false;
    bool cancelRequested_ = false;
};

// The sink a window command runs under: its progress window is made at the first report,
// so the many commands that report nothing (a mouse move on the grid) cost nothing.
class CommandProgress : public ProgressSink {
public:
    CommandProgress(QWidget* owner, std::chrono::milliseconds delay)
        : owner_(owner), delay_(delay) {}
    ~CommandProgress() override;
    bool progress(const char* what, int64_t done, int64_t total) override;

private:
    QWidget* owner_;
    std::chrono::milliseconds delay_;
    std::unique_ptr<TProgressWindow> window_;
};

} // namespace rg
