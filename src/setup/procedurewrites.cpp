#include "setup/procedurewrites.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "datasource/connstring.h"
#include "datasource/passwordmask.h"
#include "setup/inifile.h"
#include "setup/setuppasswords.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace rg {
namespace {

constexpr std::string_view kSection = "ProcedureWrites";

std::filesystem::path answersFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path folder;
    if (xdg && xdg[0] == '/')
        folder = xdg;
    else if (home && *home)
        folder = std::filesystem::path(home) / ".config";
    else
        return {};
    return folder / "reportgen" / "procedure-writes.ini";
}

// What the answer is for, on one line: the setup by its real path, the connection without
// its password and without where the password is kept, so that one answer holds whether the
// password is in the file, in the secret store or typed at open.
std::string subject(const ProcedureWrite& w) {
    std::string connection = w.connectionString;
    cutPasswords(connection);
    cutConnPairs(connection,
                 [](const std::string& k) { return equalsIgnoringCase(k, kPasswordStoreKey); });
    std::error_code ec;
    std::filesystem::path file = std::filesystem::weakly_canonical(w.setupFile, ec);
    if (ec)
        file = std::filesystem::absolute(w.setupFile, ec);
    std::string out;
    for (const std::string& part : {file.string(), connection, w.procedure}) {
        if (!out.empty())
            out += '\t';
        for (const char c : part) {
            if (c == '\\' || c == '\t' || c == '\n' || c == '\r')
                out += '\\';
            out += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : c;
        }
    }
    return out;
}

// The entry's key; the value holds the whole subject, so two subjects that share a key
// never pass for each other.
std::string keyOf(const std::string& subject) {
    uint64_t a = 1469598103934665603ull, b = 1099511628211ull;
    for (const unsigned char c : subject) {
        a = (a ^ c) * 1099511628211ull;
        b = (b + c) * 6364136223846793005ull + 1442695040888963407ull;
    }
    char key[40];
    std::snprintf(key, sizeof key, "%016llx%016llx", static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return key;
}

} // namespace

bool ProcedureWritesApproved(const ProcedureWrite& w) {
    const std::filesystem::path file = answersFile();
    if (file.empty())
        return false;
    const std::string s = subject(w);
    const IniFile answers(file);
    return answers.ReadString(kSection, keyOf(s)) == s;
}

void ApproveProcedureWrites(const ProcedureWrite& w) {
    const std::filesystem::path file = answersFile();
    std::error_code ec;
    if (file.empty() || (std::filesystem::create_directories(file.parent_path(), ec), ec) ||
        !IniFile(file).WriteString(kSection, keyOf(subject(w)), subject(w)))
        throw Error(format("无法记下允许存储过程修改数据库的决定：写不进“%s”",
                           file.empty() ? "~/.config/reportgen" : file.c_str()));
}

std::string procedureWriteQuestion(const ProcedureWrite& w) {
    return format(
        "设置文件“%s”允许存储过程“%s”修改数据库。\n\n设置文件可能来自别人：只有你信任它时才"
        "允许。允许这个存储过程修改数据库吗？\n\n选“否”时，存储过程在只读连接中运行，"
        "它要写入数据库时会被拒绝。",
        std::filesystem::path(w.setupFile).filename().c_str(), w.procedure.c_str());
}

} // namespace rg
