#pragma once

// A setup saved by this program keeps its connection's password out of the file: in the
// desktop's secret store (the Secret Service), keyed by the setup file and the connection,
// or, where no store answers and the user chooses so, asked for at each open. The file's
// connection string then says where the password is with an attribute of the program's
// own, which never reaches a driver. Setups with the password in the file (the Windows
// program's) keep loading as they are.

#include <functional>
#include <optional>
#include <string>

namespace rg {

// "Password Store=keyring": in the secret store; "Password Store=ask": asked at open.
extern const char* const kPasswordStoreKey;

// What an open asks of the user: the setup and the connection (without its password).
struct PasswordRequest {
    std::string setupFile;
    std::string connectionString;
    std::string why; // why the store did not give it, empty for a setup that asks
};
// The password pair to use ("PWD=…"), or nothing when the user declines.
using PasswordPrompt = std::function<std::optional<std::string>(const PasswordRequest&)>;

// Where a save keeps a password when the secret store does not take it.
enum class PasswordPlace { AskAtOpen, InFile };
using PasswordPlaceChoice = std::function<std::optional<PasswordPlace>(const std::string& why)>;

// The window asks with dialogs, the runner reads an environment variable or a file. With
// none set, an open that needs a password fails naming the setup, and a save keeps the
// password in the file as the Windows program does.
void setPasswordPrompt(PasswordPrompt prompt);
void setPasswordPlaceChoice(PasswordPlaceChoice choice);

// The connection string a load of `setupFile` opens: the file's own, the password put back
// from the store or the prompt. Throws Cancelled when the user declines, rg::Error when no
// prompt is set.
std::string ConnectionForOpen(const std::string& setupFile, const std::string& stored);

// The connection string a save of `setupFile` writes, and whether it holds the password.
struct ConnectionToSave {
    std::string connectionString;
    bool holdsPassword = false;
};
// Throws Cancelled when the user cancels the choice.
ConnectionToSave ConnectionForSave(const std::string& setupFile, const std::string& live);

// The secret store under the program's service name, for the setups' passwords: blocking
// calls, answered through a local event loop. A store that does not answer (no D-Bus
// session, no Secret Service, no application object) is reported with its reason.
struct SecretAnswer {
    bool answered = false;
    std::optional<std::string> secret; // when answered: the secret, or none stored
    std::string why;                   // when not answered
};
SecretAnswer readSecret(const std::string& key);
// Empty on success, else why the store did not take it.
std::string writeSecret(const std::string& key, const std::string& secret);

} // namespace rg
