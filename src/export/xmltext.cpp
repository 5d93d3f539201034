#include "export/xmltext.h"

#include "common/codepage.h"
#include "common/datetime.h"
#include "common/displaytext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rg {
namespace {

// Leaves room for the hash, the extension and the export's temporary name within a file
// name's 255 bytes.
constexpr size_t kMaxStyleSheetStem = 200;

// Decodes one UTF-8 character at i; a malformed byte stands for itself.
uint32_t nextCodePoint(std::string_view s, size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t len = 1;
    uint32_t cp = b;
    if (b >= 0xC0 && b < 0xE0) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b < 0xF0) {
        len = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b < 0xF8) {
        len = 4;
        cp = b & 0x07;
    }
    if (len == 1 || i + len > s.size()) {
        ++i;
        return b;
    }
    for (size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += len;
    return cp;
}

// XML 1.0 has no place for these, not even as references.
bool forbiddenInXml(uint32_t cp) {
    return (cp < 0x20 && cp != 0x09 && cp != 0x0A && cp != 0x0D) ||
           (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF || cp > 0x10FFFF;
}

void appendRef(std::string& out, uint32_t cp) {
    if (forbiddenInXml(cp))
        return;
    char buf[16];
    const int n = std::snprintf(buf, sizeof buf, "&#%u;", cp);
    out.append(buf, static_cast<size_t>(n));
}

} // namespace

std::string EscapeXmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == ' ' || b == '!' || (b >= '*' && b <= ';') || (b >= 'A' && b <= 'Z') ||
            (b >= 'a' && b <= 'z') || b == '_') {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        appendRef(out, nextCodePoint(text, i));
    }
    return out;
}

std::string AsciiWithCharRefs(std::string_view text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x7F && b != '&' && b != '<' && b != '"') {
            out.push_back(static_cast<char>(b));
            ++i;
        } else {
            appendRef(out, nextCodePoint(text, i));
        }
    }
    return out;
}

std::string ColumnXmlName(const std::string& componentName, int index) {
    return componentName.empty() ? "Column" + std::to_string(index) : componentName;
}

std::string SafeFileName(std::string_view name) {
    std::string bytes = toAnsi(name);
    for (char& ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        const bool keep = b == '-' || b == '.' || b == '_' || (b >= '0' && b <= '9') ||
                          (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        if (!keep)
            ch = '_';
    }
    return bytes;
}

std::string StyleSheetName(const std::string& documentPath) {
    const size_t slash = documentPath.find_last_of('/');
    std::string name = slash == std::string::npos ? documentPath : documentPath.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.resize(dot);
    std::string safe = SafeFileName(name);
    if (safe == name && safe.size() <= kMaxStyleSheetStem)
        return safe + ".xsl";
    // Made safe, two names could meet ("销售" and "库存" both give "____"): the name's own
    // hash keeps each document's style sheet apart, and a long name stays a legal one.
    uint32_t hash = 2166136261u;
    for (unsigned char b : name)
        hash = (hash ^ b) * 16777619u;
    char hex[10];
    std::snprintf(hex, sizeof hex, "-%08x", hash);
    safe.resize(std::min(safe.size(), kMaxStyleSheetStem));
    return safe + hex + ".xsl";
}

std::string StyleSheetPath(const std::string& documentPath) {
    const size_t slash = documentPath.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : documentPath.substr(0, slash + 1);
    return folder + StyleSheetName(documentPath);
}

std::string FormatXmlDate(double d) {
    if (d == -700000.0)
        return {};
    const double whole = d >= 0 ? std::trunc(d + 1e-11) : std::trunc(d - 1e-11);
    const CivilDateTime t = fromSerial(d);
    char buf[40];
    if (whole == 0) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    } else if (t.hour != 0 || t.minute != 0 || t.second != 0 || t.millisecond != 0) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
    } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
    }
    return buf;
}

std::string FormatXmlDate(const Value& v) {
    const int64_t us = v.micros();
    const bool time = v.type() == Value::Type::Time;
    if (isInfinityMicros(us) ||
        (time ? us < 0 || us >= kMicrosPerDay : !microsOfSerial(v.asDouble())))
        return v.displayText();
    if (v.asDouble() == -700000.0)
        return {};
    const int64_t tod = ((us % kMicrosPerDay) + kMicrosPerDay) % kMicrosPerDay;
    if (us - tod == 0)
        return formatTimeMicros(tod);
    if (tod == 0)
        return formatDateMicros(us);
    std::string s = formatDateTimeMicros(us);
    s[10] = 'T';
    return s;
}

} // namespace rg
