#include "common/ui/commandguard.h"

#include "common/databaseerror.h"

#include <QApplication>
#include <QMessageBox>

namespace rg {

namespace {

const QString kCaption = QStringLiteral("报表生成器");

void errorBox(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), kCaption, message);
}

void noticeBox(const QString& message) {
    QMessageBox::information(QApplication::activeWindow(), kCaption, message);
}

MessageSink& errorSink() {
    static MessageSink sink = errorBox;
    return sink;
}

MessageSink& noticeSink() {
    static MessageSink sink = noticeBox;
    return sink;
}

MessageSink replace(MessageSink& current, MessageSink sink, void (*box)(const QString&)) {
    MessageSink previous = std::move(current);
    current = sink ? std::move(sink) : MessageSink(box);
    return previous;
}

} // namespace

MessageSink setErrorSink(MessageSink sink) {
    return replace(errorSink(), std::move(sink), errorBox);
}

MessageSink setNoticeSink(MessageSink sink) {
    return replace(noticeSink(), std::move(sink), noticeBox);
}

void showCommandError(const QString& message) {
    errorSink()(message);
}

void showCommandNotice(const QString& message) {
    noticeSink()(message);
}

QString errorText(const std::exception& e) {
    return QString::fromStdString(userMessage(e));
}

} // namespace rg
