#pragma once

// Names of fields, columns, drivers and connection string keys compare ignoring ASCII case
// only: other bytes (Chinese names among them) must match exactly.

#include <cctype>
#include <string>
#include <string_view>

namespace rg {

inline std::string asciiLower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace rg
