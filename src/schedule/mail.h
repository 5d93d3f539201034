#pragma once

// Mail through an SMTP server, spoken by libcurl: the login, STARTTLS or TLS, a message of
// a text body and attached files in MIME.

#include "schedule/schedule.h"

#include <string>
#include <vector>

namespace rg {

struct MailMessage {
    std::string subject, body;
    std::vector<std::string> attachments; // paths; each is attached under its file name
};

// Sends `message` from `server.from` to every recipient of `server.to`, with the password
// `password` when `server.user` is set. Throws rg::Error with the server's or libcurl's
// reason.
void sendMail(const MailSettings& server, const std::string& password, const MailMessage& message);

} // namespace rg
