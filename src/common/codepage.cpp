#include "common/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mutex>

namespace rg {
namespace {

// iconv descriptors keep shift state, so each conversion direction has one descriptor
// guarded by a mutex; the program converts on one thread but the tests need not.
struct Converter {
    iconv_t cd;
    std::mutex lock;
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
};

Converter& utf8ToGbk() {
    static Converter c("CP936", "UTF-8");
    return c;
}
Converter& utf8ToGb18030() {
    static Converter c("GB18030", "UTF-8");
    return c;
}
Converter& gb18030ToUtf8() {
    static Converter c("UTF-8", "GB18030");
    return c;
}

size_t utf8Length(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead >> 5) == 0x6)
        return 2;
    if ((lead >> 4) == 0xE)
        return 3;
    if ((lead >> 3) == 0x1E)
        return 4;
    return 1;
}

// Converts one piece; returns false when the converter rejects it.
bool convert(Converter& c, std::string_view in, std::string& out) {
    if (c.cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::lock_guard<std::mutex> guard(c.lock);
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[256];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t r = iconv(c.cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1) && errno != E2BIG)
            return false;
    }
    return true;
}

} // namespace

bool isAscii(std::string_view s) {
    for (unsigned char ch : s)
        if (ch >= 0x80)
            return false;
    return true;
}

std::string toAnsi(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    std::string whole;
    if (convert(utf8ToGbk(), utf8, whole))
        return whole;
    // Some character lies outside GBK: go character by character, GB18030 for those.
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t len =
            std::min(utf8Length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view ch = utf8.substr(i, len);
        std::string piece;
        if (convert(utf8ToGbk(), ch, piece) || (piece.clear(), convert(utf8ToGb18030(), ch, piece)))
            out += piece;
        else
            out += '?';
        i += len;
    }
    return out;
}

std::string toGbk(std::string_view utf8, bool* replaced) {
    if (replaced)
        *replaced = false;
    if (isAscii(utf8))
        return std::string(utf8);
    // Code page 936's euro sign, the byte 80, is missing from the GBK most readers decode.
    constexpr std::string_view euro = "\xE2\x82\xAC";
    std::string out;
    if (utf8.find(euro) == std::string_view::npos && convert(utf8ToGbk(), utf8, out))
        return out;
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        const size_t len =
            std::min(utf8Length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        std::string piece;
        if (utf8.substr(i, len) != euro && convert(utf8ToGbk(), utf8.substr(i, len), piece)) {
            out += piece;
        } else {
            out += '?';
            if (replaced)
                *replaced = true;
        }
        i += len;
    }
    return out;
}

std::string fromAnsi(std::string_view bytes) {
    if (isAscii(bytes))
        return std::string(bytes);
    std::string out;
    if (convert(gb18030ToUtf8(), bytes, out))
        return out;
    // Broken input: decode what can be decoded, one byte or pair at a time.
    out.clear();
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        // Code page 936 has the euro sign as the single byte 80, which GB18030 lacks.
        if (b == 0x80) {
            out += "\xE2\x82\xAC";
            ++i;
            continue;
        }
        std::string piece;
        size_t used = 0;
        for (size_t len : {size_t(2), size_t(4)}) {
            if (i + len <= bytes.size() && convert(gb18030ToUtf8(), bytes.substr(i, len), piece)) {
                used = len;
                break;
            }
            piece.clear();
        }
        if (used == 0) {
            out += "\xEF\xBF\xBD";
            used = 1;
        }
        out += piece;
        i += used;
    }
    return out;
}

int ansiCompare(std::string_view a, std::string_view b) {
    // Characters convert one by one, so a common prefix of whole characters orders nothing:
    // only the rests from the first differing character are converted.
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    if (i == n)
        return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    auto continuation = [](std::string_view s, size_t k) {
        return k < s.size() && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80;
    };
    while (i > 0 && (continuation(a, i) || continuation(b, i)))
        --i;
    a.remove_prefix(i);
    b.remove_prefix(i);
    if (isAscii(a) && isAscii(b)) {
        const int c = a.compare(b);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    const std::string x = toAnsi(a), y = toAnsi(b);
    const int c = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0);
}

} // namespace rg
