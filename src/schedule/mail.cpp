#include "schedule/mail.h"

#include "common/error.h"

#include <QByteArray>
#include <QDateTime>

#include <curl/curl.h>

#include <filesystem>
#include <memory>
#include <mutex>

namespace rg {
namespace {

// A header's text in UTF-8, as RFC 2047 encodes it when it is not plain ASCII.
std::string headerText(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80 || c < 0x20)
            return "=?UTF-8?B?" + QByteArray::fromStdString(text).toBase64().toStdString() + "?=";
    return text;
}

// "王经理 <wang@example.com>" or "wang@example.com": the name shown and the mailbox.
struct Address {
    std::string display, mailbox;
};
Address addressOf(const std::string& text) {
    const size_t open = text.rfind('<');
    if (open == std::string::npos || !text.ends_with('>'))
        return {{}, text};
    std::string display = text.substr(0, open);
    while (!display.empty() && display.back() == ' ')
        display.pop_back();
    return {display, text.substr(open + 1, text.size() - open - 2)};
}
std::string envelope(const std::string& text) {
    return "<" + addressOf(text).mailbox + ">";
}
std::string headerAddress(const std::string& text) {
    const Address a = addressOf(text);
    return a.display.empty() ? a.mailbox : headerText(a.display) + " <" + a.mailbox + ">";
}

struct CurlFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
    void operator()(curl_mime* m) const { curl_mime_free(m); }
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
template <typename T> using CurlPtr = std::unique_ptr<T, CurlFree>;

void append(CurlPtr<curl_slist>& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown)
        throw std::bad_alloc();
    (void)list.release();
    list.reset(grown);
}

// The message: the body as text, then each file.
CurlPtr<curl_mime> mimeOf(CURL* curl, const MailMessage& message) {
    CurlPtr<curl_mime> mime(curl_mime_init(curl));
    curl_mimepart* body = curl_mime_addpart(mime.get());
    curl_mime_data(body, message.body.c_str(), CURL_ZERO_TERMINATED);
    curl_mime_type(body, "text/plain; charset=UTF-8");
    curl_mime_encoder(body, "quoted-printable");
    for (const std::string& path : message.attachments) {
        curl_mimepart* part = curl_mime_addpart(mime.get());
        if (curl_mime_filedata(part, path.c_str()) != CURLE_OK)
            throw Error("无法附加文件“" + path + "”");
        curl_mime_filename(part, std::filesystem::path(path).filename().string().c_str());
        curl_mime_type(part, "application/octet-stream");
        curl_mime_encoder(part, "base64");
    }
    return mime;
}

} // namespace

void sendMail(const MailSettings& server, const std::string& password, const MailMessage& message) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CurlPtr<CURL> curl(curl_easy_init());
    if (!curl)
        throw Error("无法启动邮件发送（libcurl）");
    CURL* c = curl.get();
    const std::string scheme = server.security == MailSecurity::Tls ? "smtps://" : "smtp://";
    const std::string url = scheme + server.host + ":" + std::to_string(server.port);
    const std::string from = server.from.empty() ? server.user : server.from;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    if (server.security == MailSecurity::StartTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    if (!server.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, server.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, envelope(from).c_str());
    CurlPtr<curl_slist> recipients, headers;
    std::string toLine;
    for (const std::string& to : server.to) {
        append(recipients, envelope(to));
        toLine += (toLine.empty() ? "" : ", ") + headerAddress(to);
    }
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    append(headers, "From: " + headerAddress(from));
    append(headers, "To: " + toLine);
    append(headers, "Subject: " + headerText(message.subject));
    append(headers,
           "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    const CurlPtr<curl_mime> mime = mimeOf(c, message);
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    // A server that stops answering ends the send rather than the run waiting for ever.
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
    char reason[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, reason);
    if (const CURLcode rc = curl_easy_perform(c); rc != CURLE_OK)
        throw Error("邮件没有发出（" + server.host + ":" + std::to_string(server.port) + "）：" +
                    (reason[0] ? reason : curl_easy_strerror(rc)));
}

} // namespace rg
