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
#include <vector>

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

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string systemIniText() {
    return fileText(systemIniFolder() + "/" + envOr("ODBCINSTINI", "odbcinst.ini"));
}

std::string userIniText() {
    const std::string home = envOr("HOME", "");
    return home.empty() ? std::string() : fileText(home + "/.odbcinst.ini");
}

// A folder of this user's alone in the temporary folder, for a process without a home.
std::string privateTempFolder() {
    const std::string folder = envOr("TMPDIR", "/tmp") + "/reportgen-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return folder + "/odbc";
}

bool writeCopy(const std::string& folder, const std::string& sysFolder, const std::string& text) {
    return !folder.empty() && folder != sysFolder && makeFolders(folder) &&
           writeReplacing(folder + "/odbcinst.ini", text) &&
           linkReplacing(folder + "/odbc.ini", sysFolder + "/odbc.ini");
}

std::string makeQuiet() {
    const std::string sysFolder = systemIniFolder();
    const std::string quiet = quietOdbcinstIni(systemIniText(), userIniText());
    // A process started by this program finds the copy in place already.
    std::string folder = cacheFolder();
    if (!writeCopy(folder, sysFolder, quiet)) {
        folder = privateTempFolder();
        if (!writeCopy(folder, sysFolder, quiet))
            return {};
    }
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    return folder;
}

bool isLogKey(const std::string& key) {
    return key == "commlog" || key == "debug" || key == "trace";
}

bool switchedOn(const std::string& value) {
    const std::string v = asciiLower(trimmed(value));
    return !(v.empty() || v == "0" || v == "no" || v == "off" || v == "false");
}

struct LogSwitch {
    std::string section, key;
};

// The log switches an odbcinst.ini turns on, by section.
std::vector<LogSwitch> logSwitchesOn(const std::string& ini) {
    std::vector<LogSwitch> on;
    std::istringstream in(ini);
    std::string section;
    for (std::string line; std::getline(in, line);) {
        const std::string t = trimmed(line);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            section = t.substr(1, t.size() - 2);
            continue;
        }
        const size_t eq = t.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = asciiLower(trimmed(t.substr(0, eq)));
        if (isLogKey(key) && switchedOn(t.substr(eq + 1)))
            on.push_back({section, key});
    }
    return on;
}

std::string joinedLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

// `key` set to `value` in `section` of an INI text: the entry replaced where it stands, added
// after the section's header, or the section added at the end.
std::string withEntry(const std::string& ini, const std::string& section, const std::string& key,
                      const std::string& value) {
    std::vector<std::string> lines;
    std::istringstream in(ini);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::string current;
    size_t header = std::string::npos;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string t = trimmed(lines[i]);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            current = t.substr(1, t.size() - 2);
            if (equalsIgnoringCase(current, section) && header == std::string::npos)
                header = i;
            continue;
        }
        const size_t eq = t.find('=');
        if (eq != std::string::npos && equalsIgnoringCase(current, section) &&
            equalsIgnoringCase(trimmed(t.substr(0, eq)), key)) {
            lines[i] = key + "=" + value;
            return joinedLines(lines);
        }
    }
    if (header == std::string::npos) {
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + value);
    } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(header) + 1, key + "=" + value);
    }
    return joinedLines(lines);
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

std::string quietOdbcinstIni(const std::string& systemIni, const std::string& userIni) {
    std::string quiet = withEntry(withDriverLogsOff(systemIni), "ODBC", "Trace", "No");
    for (const LogSwitch& s : logSwitchesOn(userIni))
        quiet = withEntry(quiet, s.section, s.key, s.key == "trace" ? "No" : "0");
    return quiet;
}

std::string quietDriverLogs() {
    static const std::string folder = makeQuiet();
    return folder;
}

bool driverLogsMayBeOn() {
    return quietDriverLogs().empty() &&
           !(logSwitchesOn(systemIniText()).empty() && logSwitchesOn(userIniText()).empty());
}

} // namespace rg
