#include "datasource/passwordmask.h"

#include "common/asciicase.h"
#include "datasource/connstring.h"

namespace rg {
namespace {

bool isPasswordKey(const std::string& key) {
    std::string k;
    for (const char c : asciiLower(key))
        if (c != ' ' && c != '\t')
            k += c;
    return k == "pwd" || k == "password";
}

bool hasPassword(const ConnParts& parts) {
    for (const auto& [key, value] : parts)
        if (isPasswordKey(key))
            return true;
    return false;
}

std::string joined(const ConnParts& parts) {
    std::string out;
    for (const auto& [key, value] : parts) {
        // A braced value comes back from the parser with its braces and its "}}" read as
        // one "}": it goes back braced, with the "}" doubled again.
        std::string text;
        if (value.size() >= 2 && value.front() == '{' && value.back() == '}') {
            text = "{";
            for (const char c : value.substr(1, value.size() - 2))
                text += c == '}' ? "}}" : std::string(1, c);
            text += "}";
        } else {
            text = quoteConnValue(value);
        }
        out += (out.empty() ? "" : ";") + key + "=" + text;
    }
    return out;
}

} // namespace

std::string cutPasswords(std::string& cs) {
    return cutConnPairs(cs, isPasswordKey);
}

std::string maskedPasswords(const std::string& cs) {
    ConnParts parts = parseConnectionString(cs);
    if (!hasPassword(parts))
        return cs;
    for (auto& [key, value] : parts)
        if (isPasswordKey(key))
            value = kPasswordMask;
    return joined(parts);
}

std::string withPasswordsRestored(const std::string& edited, const std::string& original) {
    if (edited == maskedPasswords(original))
        return original;
    ConnParts parts = parseConnectionString(edited);
    const ConnParts known = parseConnectionString(original);
    bool restored = false;
    for (auto& [key, value] : parts) {
        if (!isPasswordKey(key) || value != kPasswordMask)
            continue;
        for (const auto& [oldKey, oldValue] : known)
            if (equalsIgnoringCase(oldKey, key)) {
                value = oldValue;
                restored = true;
                break;
            }
    }
    return restored ? joined(parts) : edited;
}

} // namespace rg
