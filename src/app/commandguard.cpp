#include "app/commandguard.h"

#include <QApplication>
#include <QMessageBox>

namespace rg {

namespace {

void showInMessageBox(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("报表生成器"), message);
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

} // namespace rg
