#include "setup/inifile.h"

#include "files/stagedcopy.h"
#include "files/targetfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <vector>

namespace rg {
namespace fs = std::filesystem;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

unsigned char lowerAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// Length of the code page 936 character starting at i: one byte below 0x80, four for a
// GB18030 sequence (digit as second byte), else two.
size_t charLength(std::string_view s, size_t i) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x81 || lead == 0xFF || i + 1 >= s.size())
        return 1;
    const unsigned char second = static_cast<unsigned char>(s[i + 1]);
    if (second >= 0x30 && second <= 0x39 && i + 3 < s.size())
        return 4;
    return 2;
}

struct Line {
    std::string_view text; // without its line end
    std::string_view eol;  // "\r\n", "\n" or empty for a last line without one
};

std::vector<Line> splitLines(std::string_view content) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        const size_t lf = content.find('\n', pos);
        if (lf == std::string_view::npos) {
            lines.push_back({content.substr(pos), {}});
            break;
        }
        size_t end = lf;
        if (end > pos && content[end - 1] == '\r')
            --end;
        lines.push_back({content.substr(pos, end - pos), content.substr(end, lf + 1 - end)});
        pos = lf + 1;
    }
    return lines;
}

// A section header is a line whose first non-blank byte is "["; its name runs to the
// first "]".
std::optional<std::string_view> sectionName(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const std::string_view inner = t.substr(1);
    return inner.substr(0, inner.find(']'));
}

struct Hit {
    int section = -1;       // header of the first matching section
    int lastOfSection = -1; // its last non-blank line, where a new key goes
    int entry = -1;         // the first matching key line of a matching section
    size_t equals = 0;      // position of the "=" in that line
};

Hit find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Hit hit;
    bool inMatching = false, inFirst = false;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const std::string_view text = lines[i].text;
        if (const auto name = sectionName(text)) {
            inMatching = IniFile::SameName(*name, section);
            inFirst = inMatching && hit.section < 0;
            if (inFirst)
                hit.section = hit.lastOfSection = i;
            continue;
        }
        if (!inMatching)
            continue;
        if (inFirst && !trimBlanks(text).empty())
            hit.lastOfSection = i;
        const size_t eq = text.find('=');
        if (eq != std::string_view::npos && IniFile::SameName(text.substr(0, eq), key)) {
            hit.entry = i;
            hit.equals = eq;
            return hit;
        }
    }
    return hit;
}

// Empty text for a missing file, with no_such_file_or_directory in `ec`; nullopt, with the
// reason, when it cannot be read. Opened without blocking, so that a FIFO is refused rather
// than waited on, and read under a shared lock, so that a copy over the file by another
// writer is never read half done; one that a killed writer left half done is undone first.
std::optional<std::string> readFile(const fs::path& path, std::error_code& ec) {
    ec.clear();
    recoverInterruptedCopies();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ec = {errno, std::generic_category()};
        if (ec == std::errc::no_such_file_or_directory)
            return std::string();
        return std::nullopt;
    }
    struct stat st {};
    std::string bytes;
    if (::fstat(fd, &st) != 0)
        ec = {errno, std::generic_category()};
    else if (S_ISDIR(st.st_mode))
        ec = std::make_error_code(std::errc::is_a_directory);
    else if (!S_ISREG(st.st_mode))
        ec = specialFileError();
    while (!ec && ::flock(fd, LOCK_SH) != 0)
        if (errno != EINTR)
            break;
    if (!ec && ::fstat(fd, &st) == 0)
        bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[1 << 16];
    while (!ec) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ec = {errno, std::generic_category()};
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (ec)
        return std::nullopt;
    return bytes;
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// For a folder that takes no new file: the content goes whole into a staging file
// elsewhere and is then copied over the file, which can be undone until it has finished.
std::error_code copyOver(const fs::path& target, std::string_view bytes) {
    std::string staging;
    const int fd = createStagingFile(target, staging);
    if (fd < 0)
        return lastError();
    if (!writeAll(fd, bytes)) {
        const std::error_code ec = lastError();
        ::close(fd);
        ::unlink(staging.c_str());
        return ec;
    }
    return copyOverTarget(target, fd, staging);
}

// Writes the whole new content to a temporary file in the target's folder and renames it
// over the target: the settings file is either the old one or the new one, never half. A
// file for its owner alone is never readable by others, not even for a moment.
std::error_code replaceFile(const fs::path& target, std::string_view bytes, bool ownerOnly) {
    WriteTarget t;
    if (const std::error_code ec = resolveWriteTarget(target, t))
        return ec;
    const fs::path& real = t.path;
    if (t.exists) {
        if (::access(real.c_str(), W_OK) != 0)
            return lastError();
        // A file without write permission is read-only even for root, as on Windows.
        if ((t.mode & 0222) == 0)
            return std::make_error_code(std::errc::permission_denied);
    }
    std::error_code ec;
    std::string temp;
    const int fd = createTemporaryBeside(real, temp);
    if (fd < 0) {
        ec = lastError();
        if (t.exists && ownerOnly && ::chmod(real.c_str(), t.mode & 0700) != 0)
            return lastError();
        return t.exists ? copyOver(real, bytes) : ec;
    }
    bool ok = writeAll(fd, bytes);
    if (t.exists) {
        ok = ok && ::fchmod(fd, ownerOnly ? 0600 : t.mode) == 0;
        // Keep the owner when root rewrites someone else's file; best effort only.
        [[maybe_unused]] const int owned = ::fchown(fd, t.uid, t.gid);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ok && ::fchmod(fd, ownerOnly ? 0600 : 0666 & ~mask) == 0;
    }
    ok = ok && ::fsync(fd) == 0;
    if (!ok)
        ec = lastError();
    if (::close(fd) != 0 && ok) {
        ok = false;
        ec = lastError();
    }
    if (ok && ::rename(temp.c_str(), real.c_str()) != 0) {
        ok = false;
        ec = lastError();
    }
    if (!ok)
        ::unlink(temp.c_str());
    return ok ? std::error_code() : ec;
}

} // namespace

// The file as one load reads it: every section's entries by the form of their key, the
// first one of a name winning, as a search from the top of the file finds it.
struct IniFile::Loaded {
    struct Section {
        std::unordered_map<std::string, std::string_view> values;
        std::vector<std::string_view> keys; // in file order, each name once
    };
    std::string content;
    std::unordered_map<std::string, Section> sections;
};

IniFile::IniFile(fs::path fileName) : fileName_(std::move(fileName)) {}
IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

std::string IniFile::NameKey(std::string_view name) {
    name = trimBlanks(name);
    std::string key(name);
    for (size_t i = 0; i < key.size();) {
        const size_t len = charLength(key, i);
        if (len == 1)
            key[i] = static_cast<char>(lowerAscii(static_cast<unsigned char>(key[i])));
        i += len;
    }
    return key;
}

std::error_code IniFile::Load() {
    loaded_.reset();
    std::error_code ec;
    std::optional<std::string> content = readFile(fileName_, ec);
    if (!content)
        return ec;
    auto loaded = std::make_unique<Loaded>();
    loaded->content = std::move(*content);
    Loaded::Section* current = nullptr;
    for (const Line& line : splitLines(loaded->content)) {
        if (const auto name = sectionName(line.text)) {
            current = &loaded->sections[NameKey(*name)];
            continue;
        }
        const size_t eq = line.text.find('=');
        if (!current || eq == std::string_view::npos)
            continue;
        const std::string_view key = line.text.substr(0, eq);
        if (current->values.emplace(NameKey(key), line.text.substr(eq + 1)).second)
            current->keys.push_back(key);
    }
    loaded_ = std::move(loaded);
    return ec;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    if (!loaded_)
        return keys;
    const auto s = loaded_->sections.find(NameKey(section));
    if (s != loaded_->sections.end())
        for (std::string_view k : s->second.keys)
            keys.emplace_back(trimBlanks(k));
    return keys;
}

bool IniFile::SameName(std::string_view a, std::string_view b) {
    a = trimBlanks(a);
    b = trimBlanks(b);
    if (a.size() != b.size())
        return false;
    size_t i = 0;
    while (i < a.size()) {
        const size_t len = charLength(a, i);
        if (len == 1) {
            if (lowerAscii(static_cast<unsigned char>(a[i])) !=
                lowerAscii(static_cast<unsigned char>(b[i])))
                return false;
        } else if (a.substr(i, len) != b.substr(i, len)) {
            return false;
        }
        i += len;
    }
    return true;
}

std::optional<std::string> IniFile::ReadString(std::string_view section,
                                               std::string_view key) const {
    if (loaded_) {
        const auto s = loaded_->sections.find(NameKey(section));
        if (s == loaded_->sections.end())
            return std::nullopt;
        const auto v = s->second.values.find(NameKey(key));
        if (v == s->second.values.end())
            return std::nullopt;
        return std::string(v->second);
    }
    std::error_code ec;
    const std::optional<std::string> content = readFile(fileName_, ec);
    if (!content || content->empty())
        return std::nullopt;
    const std::vector<Line> lines = splitLines(*content);
    const Hit hit = find(lines, section, key);
    if (hit.entry < 0)
        return std::nullopt;
    return std::string(lines[hit.entry].text.substr(hit.equals + 1));
}

bool IniFile::Writable(std::string_view section, std::string_view key, std::string_view value) {
    // A line break in a name or value would split the entry and corrupt the file.
    const auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != s.npos; };
    if (hasBreak(section) || hasBreak(key) || hasBreak(value) || section.find(']') != section.npos)
        return false;
    // A key holding "=" or opening with "[" could never be found again, and every save would
    // add one more such line.
    return key.find('=') == key.npos && trimBlanks(key).substr(0, 1) != "[";
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!Writable(section, key, value))
        return false;
    loaded_.reset();
    std::error_code ec;
    const std::optional<std::string> content = readFile(fileName_, ec);
    if (!content)
        return false;
    const std::vector<Line> lines = splitLines(*content);
    const Hit hit = find(lines, section, key);

    std::string entry;
    entry.reserve(key.size() + value.size() + 3);
    entry.append(key).append("=").append(value).append("\r\n");

    std::string out;
    out.reserve(content->size() + entry.size() + section.size() + 4);
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const Line& line = lines[i];
        if (i == hit.entry) {
            // Keep the key as the file spells it; only the value changes.
            out.append(line.text.substr(0, hit.equals + 1)).append(value).append("\r\n");
            continue;
        }
        out.append(line.text);
        if (hit.entry < 0 && i == hit.lastOfSection) {
            out.append(line.eol.empty() ? std::string_view("\r\n") : line.eol);
            out.append(entry);
            continue;
        }
        if (line.eol.empty() && hit.section < 0 && i + 1 == static_cast<int>(lines.size()))
            out.append("\r\n");
        else
            out.append(line.eol);
    }
    if (hit.section < 0)
        out.append("[").append(section).append("]\r\n").append(entry);
    return !replaceFile(fileName_, out, ownerOnly_);
}

std::error_code IniFile::ReplaceSections(const std::vector<std::string_view>& own,
                                         const std::vector<IniSection>& sections) {
    loaded_.reset();
    std::error_code ec;
    const std::optional<std::string> content = readFile(fileName_, ec);
    if (!content)
        return ec;
    std::string out;
    out.reserve(content->size());
    bool dropping = false;
    for (const Line& line : splitLines(*content)) {
        if (const auto name = sectionName(line.text))
            dropping = std::any_of(own.begin(), own.end(),
                                   [&](std::string_view o) { return SameName(*name, o); });
        if (dropping)
            continue;
        out.append(line.text).append(line.eol);
    }
    if (!out.empty() && out.back() != '\n')
        out.append("\r\n");
    for (const IniSection& section : sections) {
        if (section.entries.empty())
            continue;
        out.append("[").append(section.name).append("]\r\n");
        for (const auto& [key, value] : section.entries)
            out.append(key).append("=").append(value).append("\r\n");
    }
    return replaceFile(fileName_, out, ownerOnly_);
}

} // namespace rg
