#include "app/commandguard.h"

#include <QApplication>
#include <QMessageBox>

namespace rg {

namespace {

void showInMessageBox(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("报表生成器"), message);
}

void showNoticeInMessageBox(const QString& message) {
    QMessageBox::information(QApplication::activeWindow(), QStringLiteral("报表生成器"), message);
}

ErrorSink& noticeSink() {
    static ErrorSink sink = showNoticeInMessageBox;
    return sink;
}

ErrorSink& currentSink() {
    static ErrorSink sink = showInMessageBox;
    return sink;
}

} // namespace

void showCommandError(const QString& message) {
    const ErrorSink& sink = currentSink();
    if (sink)
        sink(message);
}

ErrorSink setErrorSink(ErrorSink sink) {
    ErrorSink previous = std::move(currentSink());
    currentSink() = sink ? std::move(sink) : ErrorSink(showInMessageBox);
    return previous;
}

void showCommandNotice(const QString& message) {
    if (const ErrorSink& sink = noticeSink())
        sink(message);
}

ErrorSink setNoticeSink(ErrorSink sink) {
    ErrorSink previous = std::move(noticeSink());
    noticeSink() = sink ? std::move(sink) : ErrorSink(showNoticeInMessageBox);
    return previous;
}

} // namespace rg
