#pragma once

// Connection strings: "key=value;key=value" with values optionally in {braces} or quotes.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace rg {

using ConnParts = std::vector<std::pair<std::string, std::string>>;

ConnParts parseConnectionString(const std::string& s);
// The value of a key, ignoring case; empty when missing.
std::string connValue(const ConnParts& parts, const std::string& key);
// A value as it goes into a "key=value" pair: in braces (with "}" doubled) when it holds a
// character that would end or confuse the pair, or blanks at its ends.
std::string quoteConnValue(const std::string& value);

// Cuts the pairs whose key `which` accepts out of `s`, textually, every other pair kept as
// written; returns the pairs cut, as written and joined by ";" (empty when none, `s` then
// unchanged).
std::string cutConnPairs(std::string& s, const std::function<bool(const std::string&)>& which);

// The string without the pairs of `key` (ignoring case); unchanged when it has none.
std::string withoutConnKey(const std::string& s, const std::string& key);

// The program's own attribute for how long a statement may run, in seconds: "Query
// Timeout=30". It never reaches a driver. 0 (or no attribute) is no limit.
extern const char* const kQueryTimeoutKey;
// Its value; throws with a message for a value that is no whole number of seconds.
int queryTimeoutOf(const ConnParts& parts);

// What a file that is not a regular one is, for messages: "字符设备", "管道"...
const char* fileKindName(unsigned mode);

// The connection string a data link file holds: UTF-16 with byte-order mark or UTF-8,
// lines starting with ";" and the "[oledb]" header skipped. Throws when unreadable, when
// the path names no regular file (a device, a FIFO), when the file is larger than
// kMaxDataLinkFileSize or holds no connection string.
constexpr size_t kMaxDataLinkFileSize = 1 << 20;
std::string readDataLinkFile(const std::string& path);

// The folder of the running executable, where relative database paths start.
std::string executableDir();

} // namespace rg
