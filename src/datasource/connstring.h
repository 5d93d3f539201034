#pragma once

// Connection strings: "key=value;key=value" with values optionally in {braces} or quotes.

#include <string>
#include <utility>
#include <vector>

namespace rg {

using ConnParts = std::vector<std::pair<std::string, std::string>>;

ConnParts parseConnectionString(const std::string& s);
// The value of a key, ignoring case; empty when missing.
std::string connValue(const ConnParts& parts, const std::string& key);

// The connection string a data link file holds: UTF-16 with byte-order mark or UTF-8,
// lines starting with ";" and the "[oledb]" header skipped. Throws when unreadable.
std::string readDataLinkFile(const std::string& path);

// The folder of the running executable, where relative database paths start.
std::string executableDir();

} // namespace rg
