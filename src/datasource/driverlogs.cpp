#include "datasource/driverlogs.h"

#include "common/asciicase.h"

#include <unixODBC/unixodbc_conf.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace rg {
namespace {

std::string trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") + 1 - b);
}

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

// The driver manager's folder for odbcinst.ini and odbc.ini, read the way it reads it.
// Its own function for this remembers its first answer, so it must not be asked before
// the environment is changed.
std::string systemIniFolder() {
    return envOr("ODBCSYSINI", SYSTEM_FILE_PATH);
}

std::string cacheFolder() {
    const std::string xdg = envOr("XDG_CACHE_HOME", "");
    if (!xdg.empty() && xdg[0] == '/')
        return xdg + "/reportgen/odbc";
    const std::string home = envOr("HOME", "");
    return home.empty() ? std::string() : home + "/.cache/reportgen/odbc";
}

bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// Written beside the target and renamed over it, so that another instance starting at the
// same moment reads either the old copy or the new one.
bool writeReplacing(const std::string& path, const std::string& text) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0644) == 0;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    ok = ::close(fd) == 0 && ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

bool linkReplacing(const std::string& path, const std::string& target) {
    const std::string temp = path + "." + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0)
        return false;
    if (::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

std::string makeQuiet() {
    const std::string sysFolder = systemIniFolder();
    std::ifstream in(sysFolder + "/" + envOr("ODBCINSTINI", "odbcinst.ini"), std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    const std::string quiet = withDriverLogsOff(text.str());
    const std::string folder = cacheFolder();
    // A process started by this program finds the copy in place already.
    if (quiet == text.str() || folder.empty() || folder == sysFolder || !makeFolders(folder) ||
        !writeReplacing(folder + "/odbcinst.ini", quiet) ||
        !linkReplacing(folder + "/odbc.ini", sysFolder + "/odbc.ini"))
        return {};
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    return folder;
}

} // namespace

std::string withDriverLogsOff(const std::string& ini) {
    std::string out;
    out.reserve(ini.size());
    size_t start = 0;
    while (start < ini.size()) {
        const size_t end = std::min(ini.find('\n', start), ini.size());
        std::string line = ini.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            const std::string key = asciiLower(trimmed(line.substr(0, eq)));
            const std::string value = asciiLower(trimmed(line.substr(eq + 1)));
            const bool off = value.empty() || value == "0" || value == "no" || value == "off" ||
                             value == "false";
            const bool cr = line.back() == '\r';
            if ((key == "commlog" || key == "debug" || key == "trace") && !off)
                line = line.substr(0, eq) + (key == "trace" ? "=No" : "=0") + (cr ? "\r" : "");
        }
        out += line;
        if (end < ini.size())
            out += '\n';
        start = end + 1;
    }
    return out;
}

std::string quietDriverLogs() {
    static const std::string folder = makeQuiet();
    return folder;
}

} // namespace rg
