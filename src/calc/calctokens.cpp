#include "calc/calctokens.h"

#include "common/asciicase.h"
#include "common/error.h"

#include <cctype>

namespace rg::calc {

void fail(int pos, const std::string& what) {
    throw Error("第 " + std::to_string(pos) + " 个字符：" + what);
}

namespace {

// Characters outside ASCII that the language reads as punctuation.
struct Wide {
    std::string_view bytes;
    Tok kind;
    const char* op;
};
constexpr Wide kWide[] = {
    {"（", Tok::LParen, "("}, {"）", Tok::RParen, ")"}, {"，", Tok::Comma, ","},
    {"×", Tok::Op, "*"},      {"÷", Tok::Op, "/"},      {"−", Tok::Op, "-"},
};
constexpr std::string_view kIdeographicSpace = "　";

bool digit(char c) {
    return c >= '0' && c <= '9';
}

// The end of the number at i: digits and points, an exponent.
size_t numberEnd(std::string_view s, size_t i) {
    size_t end = i;
    while (end < s.size() && (digit(s[end]) || s[end] == '.'))
        ++end;
    if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
        size_t e = end + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-'))
            ++e;
        if (e < s.size() && digit(s[e]))
            for (end = e; end < s.size() && digit(s[end]);)
                ++end;
    }
    return end;
}

// The end of the text quoted at i (past its closing quote), its characters into `text`.
size_t quotedEnd(std::string_view s, size_t i, int pos, std::string& text) {
    for (size_t end = i + 1;; ++end) {
        if (end >= s.size())
            fail(pos, "文本缺少结尾的单引号");
        if (s[end] == '\'') {
            if (end + 1 < s.size() && s[end + 1] == '\'') {
                text += '\'';
                ++end;
                continue;
            }
            return end + 1;
        }
        text += s[end];
    }
}

} // namespace

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    int pos = 1;
    auto advance = [&](size_t to) {
        for (; i < to; ++i)
            pos += (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
    };
    auto wideAt = [&](size_t at) -> const Wide* {
        for (const Wide& w : kWide)
            if (s.substr(at, w.bytes.size()) == w.bytes)
                return &w;
        return nullptr;
    };
    auto nameChar = [&](size_t at) {
        const auto c = static_cast<unsigned char>(s[at]);
        return std::isalnum(c) || c == '_' ||
               (c >= 0x80 && !wideAt(at) && s.substr(at, 3) != kIdeographicSpace);
    };
    while (i < s.size()) {
        const char c = s[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            advance(i + 1);
            continue;
        }
        if (s.substr(i, 3) == kIdeographicSpace) {
            advance(i + 3);
            continue;
        }
        Token t;
        t.pos = pos;
        size_t end = i + 1;
        if (const Wide* w = wideAt(i)) {
            t.kind = w->kind;
            t.text = w->op;
            end = i + w->bytes.size();
        } else if (c == '(' || c == ')' || c == ',') {
            t.kind = c == '(' ? Tok::LParen : (c == ')' ? Tok::RParen : Tok::Comma);
            t.text = std::string(1, c);
        } else if (c == '\'') {
            t.kind = Tok::Text;
            end = quotedEnd(s, i, pos, t.text);
        } else if (c == '[') {
            t.kind = Tok::Field;
            end = s.find(']', i);
            if (end == std::string_view::npos)
                fail(pos, "字段名缺少结尾的“]”");
            t.text = std::string(s.substr(i + 1, end - i - 1));
            ++end;
        } else if (digit(c) || (c == '.' && i + 1 < s.size() && digit(s[i + 1]))) {
            t.kind = Tok::Number;
            end = numberEnd(s, i);
            t.text = std::string(s.substr(i, end - i));
        } else if (nameChar(i)) {
            t.kind = Tok::Name;
            while (end < s.size() && nameChar(end))
                ++end;
            t.text = std::string(s.substr(i, end - i));
        } else {
            static const std::string_view kTwo[] = {"<>", "!=", "<=", ">=", "||"};
            t.kind = Tok::Op;
            for (std::string_view two : kTwo)
                if (s.substr(i, 2) == two)
                    end = i + 2;
            t.text = std::string(s.substr(i, end - i));
            if (std::string_view("+-*/=<>").find(c) == std::string_view::npos && end == i + 1) {
                size_t e = i + 1;
                while (e < s.size() && (static_cast<unsigned char>(s[e]) & 0xC0) == 0x80)
                    ++e;
                fail(pos, "无法识别的字符“" + std::string(s.substr(i, e - i)) + "”");
            }
        }
        advance(end);
        out.push_back(std::move(t));
    }
    Token endToken;
    endToken.pos = pos;
    out.push_back(endToken);
    return out;
}

int findInput(const std::vector<CalcInput>& fields, std::string_view name) {
    for (const bool byCaption : {false, true})
        for (size_t i = 0; i < fields.size(); ++i)
            if (equalsIgnoringCase(byCaption ? fields[i].caption : fields[i].name, name))
                return static_cast<int>(i);
    return -1;
}

} // namespace rg::calc
