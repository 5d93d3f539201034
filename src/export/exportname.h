#pragma once

#include <string>

namespace rg {

// The name an export writes to: a file name (the part after the last "/") without any "."
// gets trailing blanks and control characters removed and "." + extension appended; a name
// with a "." keeps it, whatever dots the folders hold.
std::string WithDefaultExtension(const std::string& chosen, const std::string& extension);

} // namespace rg
