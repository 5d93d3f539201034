#pragma once

// The local SMTP server of the mail tests (smtp_sink.py, Python's aiosmtpd) on the loopback.

#include <QProcess>

#include <string>

// The server, keeping each message in `folder`, for as long as it lives.
class SmtpSink {
public:
    SmtpSink(const std::string& folder, const std::string& user, const std::string& password) {
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start("/usr/bin/python3",
                      {RG_SOURCE_DIR "/tests/schedule/smtp_sink.py", QString::fromStdString(folder),
                       "--user", QString::fromStdString(user), "--password",
                       QString::fromStdString(password)});
        while (server_.state() != QProcess::NotRunning && !server_.canReadLine())
            server_.waitForReadyRead(60000);
        port_ = server_.readLine().trimmed().toInt();
    }
    ~SmtpSink() {
        server_.terminate();
        server_.waitForFinished(30000);
    }
    int port() const { return port_; }

private:
    QProcess server_;
    int port_ = 0;
};
