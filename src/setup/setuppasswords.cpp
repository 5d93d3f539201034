#include "setup/setuppasswords.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/connstring.h"
#include "datasource/passwordmask.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <qt6keychain/keychain.h>

#include <filesystem>
#include <mutex>

namespace rg {

const char* const kPasswordStoreKey = "Password Store";

namespace {

const char* const kInStore = "keyring";
const char* const kAsk = "ask";
const QString kService = QStringLiteral("reportgen");

std::mutex hooksMutex;
PasswordPrompt prompt_;
PasswordPlaceChoice placeChoice_;

// One entry per setup file and connection: a setup copied elsewhere, or pointed at another
// server, asks again rather than sending a password where it was not meant to go.
std::string secretKey(const std::string& setupFile, const std::string& withoutPassword) {
    const std::filesystem::path file = std::filesystem::absolute(setupFile).lexically_normal();
    return file.string() + "\n" + withoutPassword;
}

// Runs a job to its end in a loop of its own. D-Bus answers through the thread's event loop,
// so without an application object or away from its thread there is no store.
bool runJob(QKeychain::Job& job, std::string& why) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        why = "没有可用的事件循环";
        return false;
    }
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return true;
}

std::string storeError(const QKeychain::Job& job) {
    return job.errorString().isEmpty() ? "密钥库没有回答" : job.errorString().toStdString();
}

std::optional<std::string> askFor(const PasswordRequest& request) {
    PasswordPrompt prompt;
    {
        std::lock_guard lock(hooksMutex);
        prompt = prompt_;
    }
    if (!prompt) {
        std::string message = "设置文件“" + request.setupFile + "”的连接需要密码";
        if (!request.why.empty())
            message += "（密钥库：" + request.why + "）";
        throw Error(message);
    }
    std::optional<std::string> pair = prompt(request);
    if (!pair)
        throw Cancelled();
    return pair;
}

} // namespace

void setPasswordPrompt(PasswordPrompt prompt) {
    std::lock_guard lock(hooksMutex);
    prompt_ = std::move(prompt);
}

void setPasswordPlaceChoice(PasswordPlaceChoice choice) {
    std::lock_guard lock(hooksMutex);
    placeChoice_ = std::move(choice);
}

SecretAnswer readSecret(const std::string& key) {
    SecretAnswer answer;
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(QString::fromStdString(key));
    if (!runJob(job, answer.why))
        return answer;
    if (job.error() == QKeychain::NoError) {
        answer.answered = true;
        answer.secret = job.textData().toStdString();
    } else if (job.error() == QKeychain::EntryNotFound) {
        answer.answered = true;
    } else {
        answer.why = storeError(job);
    }
    return answer;
}

std::string writeSecret(const std::string& key, const std::string& secret) {
    std::string why;
    QKeychain::WritePasswordJob job(kService);
    job.setKey(QString::fromStdString(key));
    job.setTextData(QString::fromStdString(secret));
    if (!runJob(job, why))
        return why;
    return job.error() == QKeychain::NoError ? std::string() : storeError(job);
}

std::string ConnectionForOpen(const std::string& setupFile, const std::string& stored) {
    std::string rest = stored;
    const std::string marker = cutConnPairs(
        rest, [](const std::string& k) { return equalsIgnoringCase(k, kPasswordStoreKey); });
    if (marker.empty())
        return stored; // the password, if any, is in the file
    const std::string place = connValue(parseConnectionString(marker), kPasswordStoreKey);
    PasswordRequest request{setupFile, rest, {}};
    if (equalsIgnoringCase(place, kInStore)) {
        const SecretAnswer answer = readSecret(secretKey(setupFile, rest));
        if (answer.secret)
            return rest + ";" + *answer.secret;
        request.why = answer.answered ? "没有这个连接的密码" : answer.why;
    }
    return rest + ";" + *askFor(request);
}

ConnectionToSave ConnectionForSave(const std::string& setupFile, const std::string& live) {
    std::string rest = live;
    const std::string password = cutPasswords(rest);
    if (password.empty())
        return {live, false};
    const std::string why = writeSecret(secretKey(setupFile, rest), password);
    if (why.empty())
        return {rest + ";" + kPasswordStoreKey + "=" + kInStore, false};
    PasswordPlaceChoice choice;
    {
        std::lock_guard lock(hooksMutex);
        choice = placeChoice_;
    }
    const std::optional<PasswordPlace> place =
        choice ? choice(why) : std::optional(PasswordPlace::InFile);
    if (!place)
        throw Cancelled();
    if (*place == PasswordPlace::AskAtOpen)
        return {rest + ";" + kPasswordStoreKey + "=" + kAsk, false};
    return {live, true};
}

} // namespace rg
