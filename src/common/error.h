#pragma once

#include <stdexcept>
#include <string>

namespace rg {

// The one error type of the program. Its text is what the user sees in the error box,
// so it carries the exact message (a driver's text, "List index out of bounds (3)", ...).
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// printf-style message building for the fixed error texts ("Parameter '%s' not found").
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

} // namespace rg
