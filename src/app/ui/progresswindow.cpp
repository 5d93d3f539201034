#include "app/ui/progresswindow.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace rg {
namespace {

// Between two reports of shown work the windows are painted at most this often.
constexpr qint64 kPumpIntervalMs = 50;
// An event loop that runs with no report for this long belongs to something else than the
// work: the work has ended or waits on a dialog.
constexpr int kIdleCheckMs = 100;
constexpr qint64 kIdleAfterMs = 150;

// 1234567 as "1,234,567".
std::string grouped(int64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n < 0 ? -n : n).ptr;
    const std::string plain(digits, end);
    std::string out = n < 0 ? "-" : "";
    for (size_t i = 0; i < plain.size(); ++i) {
        if (i > 0 && (plain.size() - i) % 3 == 0)
            out += ',';
        out += plain[i];
    }
    return out;
}

// How a count without a known total reads for each kind of work.
const char* countPhrase(const char* what, const char** unit) {
    *unit = "行";
    if (std::strcmp(what, "正在读取数据") == 0)
        return "已读取 ";
    if (std::strcmp(what, "正在生成页面") == 0) {
        *unit = "页";
        return "已生成 ";
    }
    return "已处理 ";
}

} // namespace

QString progressText(const char* what, int64_t done, int64_t total) {
    std::string text = what;
    text += "……";
    if (total > 0) {
        const int64_t percent = std::clamp<int64_t>(done * 100 / total, 0, 100);
        char digits[8];
        text.append(digits, std::to_chars(digits, digits + sizeof digits, percent).ptr);
        text += '%';
    } else {
        const char* unit = nullptr;
        text += countPhrase(what, &unit);
        text += grouped(done) + ' ' + unit;
    }
    return QString::fromStdString(text);
}

TProgressWindow::TProgressWindow(QWidget* owner, std::chrono::milliseconds delay)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      delay_(delay) {
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(tr("报表生成器"));
    setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    setFixedWidth(360);

    ProgressText = new QLabel(this);
    ProgressText->setObjectName(QStringLiteral("ProgressText"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    CancelButton = new QPushButton(tr("取消"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    connect(CancelButton, &QPushButton::clicked, this, &TProgressWindow::reject);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(ProgressText);
    layout->addWidget(ProgressBar);
    auto buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons);

    idle_.setInterval(kIdleCheckMs);
    connect(&idle_, &QTimer::timeout, this, &TProgressWindow::idleCheck);
}

TProgressWindow::~TProgressWindow() = default;

bool TProgressWindow::progress(const char* what, int64_t done, int64_t total) {
    // A report from something the pump itself runs does not pump again.
    if (pumping_)
        return true;
    lastReport_.start();
    if (!started_.isValid()) {
        started_.start();
        idle_.start();
    }
    if (!isVisible()) {
        if (started_.elapsed() < delay_.count())
            return true;
        showProgress(what, done, total);
        show();
        pump();
    } else if (lastPump_.elapsed() >= kPumpIntervalMs) {
        showProgress(what, done, total);
        pump();
    }
    if (!cancelRequested_)
        return true;
    // The work unwinds now; what it does on its way out (restoring what it replaced) runs
    // under a fresh clock and is not cancelled again.
    rest();
    return false;
}

void TProgressWindow::reject() {
    cancelRequested_ = true;
    CancelButton->setEnabled(false);
}

void TProgressWindow::showProgress(const char* what, int64_t done, int64_t total) {
    ProgressText->setText(progressText(what, done, total));
    if (total > 0) {
        ProgressBar->setRange(0, 100);
        ProgressBar->setValue(static_cast<int>(std::clamp<int64_t>(done * 100 / total, 0, 100)));
    } else {
        ProgressBar->setRange(0, 0); // busy
    }
}

void TProgressWindow::pump() {
    pumping_ = true;
    QCoreApplication::processEvents();
    pumping_ = false;
    lastPump_.start();
}

void TProgressWindow::rest() {
    idle_.stop();
    hide();
    started_.invalidate();
    cancelRequested_ = false;
    CancelButton->setEnabled(true);
}

void TProgressWindow::idleCheck() {
    if (pumping_ || (lastReport_.isValid() && lastReport_.elapsed() < kIdleAfterMs))
        return;
    rest();
}

CommandProgress::~CommandProgress() = default;

bool CommandProgress::progress(const char* what, int64_t done, int64_t total) {
    if (!window_)
        window_ = std::make_unique<TProgressWindow>(owner_, delay_);
    return window_->progress(what, done, total);
}

} // namespace rg
