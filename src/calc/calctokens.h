#pragma once

// The tokens of the expression language, which the parser and the spreadsheet translation
// of summary formulas read alike.

#include "calc/calcfield.h"

#include <string>
#include <string_view>
#include <vector>

namespace rg::calc {

enum class Tok { End, Name, Field, Number, Text, Op, LParen, RParen, Comma };

struct Token {
    Tok kind = Tok::End;
    std::string text; // operators in their ASCII form
    int pos = 1;      // the character it starts at, from 1
};

// Throws rg::Error "第 N 个字符：…".
[[noreturn]] void fail(int pos, const std::string& what);

// The tokens of `s`, closed by one of kind End; throws for a character it cannot read.
std::vector<Token> tokenize(std::string_view s);

// The input named `name`, by name else by caption, ignoring ASCII case; -1 when none.
int findInput(const std::vector<CalcInput>& fields, std::string_view name);

} // namespace rg::calc
