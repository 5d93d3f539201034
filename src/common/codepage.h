#pragma once

#include <string>
#include <string_view>

namespace rg {

// The program's "ANSI code page" is 936 (GBK). Settings and spreadsheet files carry its
// bytes; a character outside GBK is written as its GB18030 bytes so no text is lost.
std::string toAnsi(std::string_view utf8);
std::string fromAnsi(std::string_view ansiBytes);
// Strictly GBK, for files other readers decode as such: a character outside it (the euro
// sign included) becomes "?", and `replaced` (when given) tells whether any did.
std::string toGbk(std::string_view utf8, bool* replaced = nullptr);

// Plain string order as the original program compared texts: the order of their code
// page bytes (pinyin order for common Chinese characters). Returns <0, 0 or >0.
int ansiCompare(std::string_view utf8a, std::string_view utf8b);

bool isAscii(std::string_view s);

} // namespace rg
