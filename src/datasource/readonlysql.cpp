#include "datasource/readonlysql.h"

#include "common/asciicase.h"
#include "common/databaseerror.h"

#include <array>
#include <cctype>
#include <string_view>
#include <vector>

namespace rg {
namespace {

// The lexical rules on which servers differ. A statement boundary that any combination
// of the server's possible rules sees is one: what one reading takes for a quote, another
// reads as text.
struct Dialect {
    bool backslashEscapes; // MariaDB, MySQL; PostgreSQL's E'' strings
    bool dollarQuotes;     // PostgreSQL
    bool hashComments;     // MariaDB, MySQL
    bool backtickNames;    // MariaDB, MySQL, SQLite
    bool bracketNames;     // SQL Server, SQLite
    bool nestedComments;   // PostgreSQL, SQL Server
};

// Per rule, in Dialect's order: 0 never, 1 always, 2 either way.
std::array<int, 6> rulesOf(SqlFamily family) {
    switch (family) {
    case SqlFamily::PostgreSQL:
        return {2, 1, 0, 0, 0, 1};
    case SqlFamily::MySQL:
        return {2, 0, 1, 1, 0, 0};
    case SqlFamily::SQLite:
        return {0, 0, 0, 1, 1, 0};
    case SqlFamily::Any:
        break;
    }
    return {2, 2, 2, 2, 2, 2};
}

std::vector<Dialect> dialectsOf(SqlFamily family) {
    const std::array<int, 6> rules = rulesOf(family);
    std::vector<Dialect> out;
    for (int bits = 0; bits < 64; ++bits) {
        std::array<bool, 6> on{};
        bool fits = true;
        for (size_t k = 0; k < rules.size(); ++k) {
            on[k] = (bits >> k) & 1;
            fits = fits && (rules[k] == 2 || rules[k] == static_cast<int>(on[k]));
        }
        if (fits)
            out.push_back({on[0], on[1], on[2], on[3], on[4], on[5]});
    }
    return out;
}

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

struct Finding {
    size_t secondStatement = std::string_view::npos; // where text follows a ";"
    std::string forbidden;                           // what may write a file
};

class Scanner {
public:
    Scanner(std::string_view sql, Dialect d) : s_(sql), d_(d) {}

    Finding run() {
        while (i_ < s_.size() && !found()) {
            const char c = s_[i_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i_;
            } else if (startsComment()) {
                skipComment();
            } else {
                token(c);
            }
        }
        return f_;
    }

private:
    bool found() const {
        return f_.secondStatement != std::string_view::npos || !f_.forbidden.empty();
    }
    bool at(size_t k, char c) const { return k < s_.size() && s_[k] == c; }

    bool startsComment() const {
        return (at(i_, '-') && at(i_ + 1, '-')) || (at(i_, '/') && at(i_ + 1, '*')) ||
               (d_.hashComments && at(i_, '#'));
    }

    void skipComment() {
        if (s_[i_] != '/') {
            const size_t nl = s_.find('\n', i_);
            i_ = nl == std::string_view::npos ? s_.size() : nl + 1;
            return;
        }
        int depth = 0;
        while (i_ < s_.size()) {
            if (at(i_, '/') && at(i_ + 1, '*') && (depth == 0 || d_.nestedComments)) {
                ++depth;
                i_ += 2;
            } else if (at(i_, '*') && at(i_ + 1, '/')) {
                i_ += 2;
                if (--depth == 0)
                    return;
            } else {
                ++i_;
            }
        }
    }

    // Everything that is neither blank nor comment: once a ";" has been seen, it starts a
    // second statement.
    void token(char c) {
        if (afterSemicolon_) {
            f_.secondStatement = i_;
            return;
        }
        if (c == ';') {
            afterSemicolon_ = true;
            ++i_;
        } else if (c == '\'' || c == '"' || (c == '`' && d_.backtickNames)) {
            skipQuoted(c, c != '`' && d_.backslashEscapes);
        } else if (c == '[' && d_.bracketNames) {
            skipQuoted(']', false);
        } else if (c == '$' && d_.dollarQuotes && dollarTagEnd() != 0) {
            skipDollarQuoted();
        } else if (isWordChar(c)) {
            word();
        } else {
            ++i_;
        }
    }

    // Past a quoted text; a doubled closing quote stays inside.
    void skipQuoted(char close, bool escapes) {
        for (++i_; i_ < s_.size(); ++i_) {
            if (escapes && s_[i_] == '\\') {
                ++i_;
            } else if (s_[i_] == close) {
                if (!at(i_ + 1, close)) {
                    ++i_;
                    return;
                }
                ++i_;
            }
        }
    }

    // The length of a dollar quote's opening tag at i_ ("$$", "$tag$"), 0 when none starts
    // there: a "$" inside a word is part of the word.
    size_t dollarTagEnd() const {
        if (i_ > 0 && isWordChar(s_[i_ - 1]))
            return 0;
        size_t k = i_ + 1;
        if (k < s_.size() && std::isdigit(static_cast<unsigned char>(s_[k])))
            return 0;
        while (k < s_.size() && isWordChar(s_[k]) && s_[k] != '$')
            ++k;
        return at(k, '$') ? k + 1 - i_ : 0;
    }

    void skipDollarQuoted() {
        const size_t len = dollarTagEnd();
        const std::string_view tag = s_.substr(i_, len);
        const size_t close = s_.find(tag, i_ + len);
        i_ = close == std::string_view::npos ? s_.size() : close + len;
    }

    void word() {
        const size_t start = i_;
        while (i_ < s_.size() && isWordChar(s_[i_]))
            ++i_;
        const std::string w = asciiLower(std::string(s_.substr(start, i_ - start)));
        if (words_++ == 0 && (w == "copy" || w == "do"))
            f_.forbidden = w;
        else if (previous_ == "into" && (w == "outfile" || w == "dumpfile"))
            f_.forbidden = "into " + w;
        else if (w == "lo_export")
            f_.forbidden = w;
        previous_ = w;
    }

    std::string_view s_;
    Dialect d_;
    size_t i_ = 0;
    bool afterSemicolon_ = false;
    int words_ = 0;
    std::string previous_;
    Finding f_;
};

std::string asciiUpper(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string excerpt(std::string_view sql, size_t limit) {
    std::string out;
    bool blank = false;
    size_t chars = 0;
    for (size_t k = 0; k < sql.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(sql[k]);
        if (std::isspace(c)) {
            blank = !out.empty();
            continue;
        }
        // Counted by characters, so that a cut never splits one.
        if ((c & 0xC0) != 0x80 && chars++ == limit)
            return out + "…";
        if (blank)
            out += ' ';
        blank = false;
        out += static_cast<char>(c);
    }
    return out;
}

} // namespace

void checkReportStatement(const std::string& sql, SqlFamily family) {
    for (const Dialect& d : dialectsOf(family)) {
        const Finding f = Scanner(sql, d).run();
        if (f.secondStatement != std::string_view::npos)
            throw DatabaseError("报表命令只能是一条查询语句，分号之后还有“" +
                                excerpt(std::string_view(sql).substr(f.secondStatement), 40) +
                                "”，已拒绝");
        if (!f.forbidden.empty())
            throw DatabaseError(writeRefusalMessage(sql, asciiUpper(f.forbidden) +
                                                             " 可以在服务器上写文件或运行程序"));
    }
}

std::string writeRefusalMessage(const std::string& sql, const std::string& reason) {
    return "报表命令试图修改数据库，已拒绝：" + excerpt(sql, 60) + "（" + reason + "）";
}

bool startsWithWord(const std::string& sql, const char* word) {
    size_t i = 0;
    while (i < sql.size()) {
        if (std::isspace(static_cast<unsigned char>(sql[i]))) {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0) {
            const size_t nl = sql.find('\n', i);
            i = nl == std::string::npos ? sql.size() : nl + 1;
        } else if (sql.compare(i, 2, "/*") == 0) {
            const size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? sql.size() : end + 2;
        } else {
            break;
        }
    }
    size_t end = i;
    while (end < sql.size() && isWordChar(sql[end]))
        ++end;
    return equalsIgnoringCase(std::string_view(sql).substr(i, end - i), word);
}

bool isWriteRefusal(const DatabaseError& e) {
    const std::string& m = e.message();
    return e.sqlState() == "25006" || m.find("not authorized") != std::string::npos ||
           m.find("authorization denied") != std::string::npos;
}

DatabaseError asWriteRefusal(const DatabaseError& e, const std::string& sql) {
    if (!isWriteRefusal(e))
        return e;
    return DatabaseError(writeRefusalMessage(sql, kReadOnlyConnection), e.sqlState(),
                         e.nativeCode());
}

DatabaseError procedureWriteRefusal(const DatabaseError& e, const std::string& call) {
    return DatabaseError(writeRefusalMessage(call, kReadOnlyConnection) +
                             "。这个存储过程必须写入数据库时，" + "请在“设置数据源”中勾选“" +
                             kProcedureMayWriteBox + "”；别人的设置文件还要在打开时同意",
                         e.sqlState(), e.nativeCode());
}

} // namespace rg
