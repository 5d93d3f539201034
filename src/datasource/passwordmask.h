#pragma once

// A connection string shown in a dialog hides its password: the value of every PWD= or
// Password= pair stands as kPasswordMask, and a string edited around the mask gets the
// password back where the mask still stands.

#include <string>

namespace rg {

inline constexpr const char* kPasswordMask = "******";

// Cuts the PWD= and Password= pairs out of a connection string; returns them as written,
// joined by ";", empty when it holds none.
std::string cutPasswords(std::string& connectionString);

// The string with every password value masked; unchanged when it holds none.
std::string maskedPasswords(const std::string& connectionString);

// `edited` with each password pair whose value is still the mask given the value of the same
// key in `original`; `original` itself when nothing but the masking changed.
std::string withPasswordsRestored(const std::string& edited, const std::string& original);

} // namespace rg
