#include "datasource/connstring.h"

#include "common/asciicase.h"
#include "common/error.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace rg {
namespace {

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80)
        out += static_cast<char>(cp);
    else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string utf16ToUtf8(const std::string& bytes, size_t start, bool bigEndian) {
    std::string out;
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]),
                   b1 = static_cast<unsigned char>(bytes[i + 1]);
        uint32_t u = bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            const auto c0 = static_cast<unsigned char>(bytes[i + 2]),
                       c1 = static_cast<unsigned char>(bytes[i + 3]);
            const uint32_t lo = bigEndian ? (c0 << 8 | c1) : (c1 << 8 | c0);
            if (lo >= 0xDC00 && lo < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        // A surrogate without its partner has no UTF-8 form: the replacement character.
        if (u >= 0xD800 && u < 0xE000)
            u = 0xFFFD;
        appendUtf8(out, u);
    }
    return out;
}

// One pass over the pairs as a driver reads them: calls f(begin, end, key, value) for each
// piece between ";" that is not a value's own, with [begin, end) its text. A word without
// "=" before the next ";" is a key without a value; a value opening with a brace or a
// quote (after blanks) runs to its closing one, with a doubled closer standing for itself,
// and to the end when it never closes. Parsing and cutting a key both go through here so
// that they can never read a string differently.
template <class F> void forEachConnPiece(const std::string& s, F f) {
    size_t i = 0;
    while (i < s.size()) {
        const size_t end = std::min(s.find(';', i), s.size());
        const size_t eqInPair = std::string_view(s).substr(i, end - i).find('=');
        if (eqInPair == std::string_view::npos) {
            f(i, end, trim(s.substr(i, end - i)), std::string());
            i = end + 1;
            continue;
        }
        const size_t eq = i + eqInPair;
        std::string key = trim(s.substr(i, eq - i));
        size_t j = eq + 1;
        while (j < s.size() && (s[j] == ' ' || s[j] == '\t' || s[j] == '\r' || s[j] == '\n'))
            ++j;
        std::string value;
        const bool quoted = j < s.size() && (s[j] == '{' || s[j] == '"' || s[j] == '\'');
        if (quoted) {
            const char close = s[j] == '{' ? '}' : s[j];
            size_t k = j + 1;
            std::string inner;
            while (k < s.size()) {
                if (s[k] == close) {
                    if (k + 1 < s.size() && s[k + 1] == close) {
                        inner += close;
                        k += 2;
                        continue;
                    }
                    break;
                }
                inner += s[k++];
            }
            value = close == '}' ? "{" + inner + "}" : inner;
            j = k + 1;
        }
        // After a closed value, whatever stands before the next ";" is not read.
        const size_t semi = std::min(s.find(';', j), s.size());
        if (!quoted)
            value = trim(s.substr(j, semi - j));
        f(i, semi, std::move(key), std::move(value));
        i = semi + 1;
    }
}

} // namespace

ConnParts parseConnectionString(const std::string& s) {
    ConnParts parts;
    forEachConnPiece(s, [&](size_t, size_t, std::string key, std::string value) {
        if (!key.empty())
            parts.emplace_back(std::move(key), std::move(value));
    });
    return parts;
}

std::string cutConnPairs(std::string& s, const std::function<bool(const std::string&)>& which) {
    // Cut textually, so that every other pair reaches the driver exactly as written.
    std::string out, cut;
    forEachConnPiece(s, [&](size_t begin, size_t end, const std::string& k, const std::string&) {
        const std::string piece = s.substr(begin, end - begin);
        std::string& to = !k.empty() && which(k) ? cut : out;
        if (&to == &cut || !trim(piece).empty()) {
            if (!to.empty())
                to += ';';
            to += &to == &cut ? trim(piece) : piece;
        }
    });
    if (!cut.empty())
        s = out;
    return cut;
}

std::string withoutConnKey(const std::string& s, const std::string& key) {
    std::string out = s;
    cutConnPairs(out, [&](const std::string& k) { return equalsIgnoringCase(k, key); });
    return out;
}

const char* const kQueryTimeoutKey = "Query Timeout";

int queryTimeoutOf(const ConnParts& parts) {
    const std::string text = trim(connValue(parts, kQueryTimeoutKey));
    if (text.empty())
        return 0;
    int seconds = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (ec != std::errc() || end != text.data() + text.size() || seconds < 0)
        throw Error("连接字符串中“Query Timeout”的值“" + text + "”不是秒数（0 表示不限时）。");
    return seconds;
}

std::string quoteConnValue(const std::string& v) {
    // Blanks at the ends would be trimmed and a leading quote would open a quoted value.
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const bool plain = v.find_first_of(";{}=") == std::string::npos &&
                       (v.empty() || (!blank(v.front()) && !blank(v.back()) && v.front() != '"' &&
                                      v.front() != '\''));
    if (plain)
        return v;
    std::string out = "{";
    for (char c : v) {
        out += c;
        if (c == '}')
            out += '}';
    }
    return out + "}";
}

std::string connValue(const ConnParts& parts, const std::string& key) {
    for (const auto& [k, v] : parts) {
        if (!equalsIgnoringCase(k, key))
            continue;
        if (v.size() >= 2 && v.front() == '{' && v.back() == '}')
            return v.substr(1, v.size() - 2);
        return v;
    }
    return {};
}

const char* fileKindName(unsigned mode) {
    if (S_ISDIR(mode))
        return "文件夹";
    if (S_ISCHR(mode))
        return "字符设备";
    if (S_ISBLK(mode))
        return "块设备";
    if (S_ISFIFO(mode))
        return "管道";
    if (S_ISSOCK(mode))
        return "套接字";
    return "特殊文件";
}

std::string readDataLinkFile(const std::string& path) {
    // Opened without blocking and checked before reading: a FIFO would wait for a writer
    // for good, and a device such as /dev/zero never ends.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw Error(format("无法读取数据链接文件“%s”：%s", path.c_str(), std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Error(
            format("数据链接文件“%s”不是普通文件（%s）", path.c_str(), fileKindName(st.st_mode)));
    }
    std::string bytes;
    char buf[65536];
    int readError = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            readError = errno;
        if (n <= 0)
            break;
        bytes.append(buf, static_cast<size_t>(n));
        if (bytes.size() > kMaxDataLinkFileSize)
            break;
    }
    ::close(fd);
    if (readError)
        throw Error(format("无法读取数据链接文件“%s”：%s", path.c_str(), std::strerror(readError)));
    if (bytes.size() > kMaxDataLinkFileSize)
        throw Error(format("数据链接文件“%s”超过 1 MB，不是数据链接文件", path.c_str()));
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        text = utf16ToUtf8(bytes, 2, false);
    else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
             static_cast<unsigned char>(bytes[1]) == 0xFF)
        text = utf16ToUtf8(bytes, 2, true);
    else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text = bytes.substr(3);
    else
        text = bytes;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || equalsIgnoringCase(line, "[oledb]"))
            continue;
        return line;
    }
    throw Error(format("数据链接文件“%s”中没有连接字符串", path.c_str()));
}

std::string executableDir() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string p(buf, static_cast<size_t>(n));
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
}

} // namespace rg
