#include "datasource/filter.h"

#include "common/codepage.h"
#include "common/datepresets.h"
#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/dataset.h"
#include "datasource/resultbuffer.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace rg {

Value FilterExpr::cell(const DataSet& ds, int64_t row, int field) {
    return ds.physicalValue(row, field);
}

namespace {

// Param: a report parameter, ":地区"; Preset: a date preset, "@上月初".
enum class Tok { End, Name, Text, Number, Op, LParen, RParen, Comma, Param, Preset };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    bool bracketed = false;
};

std::string upper(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

[[noreturn]] void syntaxError(const std::string& expr) {
    throw Error(format("Invalid filter expression: %s", expr.c_str()));
}

bool nameByte(char ch) {
    const unsigned char d = static_cast<unsigned char>(ch);
    return std::isalnum(d) || d == '_' || d >= 0x80;
}

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '(' || c == ')') {
            out.push_back(
                {c == '(' ? Tok::LParen : Tok::RParen, std::string(1, static_cast<char>(c))});
            ++i;
        } else if (c == ',') {
            out.push_back({Tok::Comma, ","});
            ++i;
        } else if (c == '\'') {
            std::string t;
            ++i;
            for (;;) {
                if (i >= s.size())
                    syntaxError(s);
                if (s[i] == '\'') {
                    if (i + 1 < s.size() && s[i + 1] == '\'') {
                        t += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t += s[i++];
            }
            out.push_back({Tok::Text, t});
        } else if (c == '[') {
            std::string t;
            ++i;
            for (;;) {
                if (i >= s.size())
                    syntaxError(s);
                if (s[i] == ']') {
                    if (i + 1 < s.size() && s[i + 1] == ']') {
                        t += ']';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t += s[i++];
            }
            out.push_back({Tok::Name, t, true});
        } else if (std::isdigit(c) || ((c == '-' || c == '.') && i + 1 < s.size() &&
                                       std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            size_t j = i + 1;
            while (j < s.size() &&
                   (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.' || s[j] == 'e' ||
                    s[j] == 'E' ||
                    ((s[j] == '-' || s[j] == '+') && (s[j - 1] == 'e' || s[j - 1] == 'E'))))
                ++j;
            out.push_back({Tok::Number, s.substr(i, j - i)});
            i = j;
        } else if (c == '=' || c == '<' || c == '>' || c == '!') {
            std::string op(1, static_cast<char>(c));
            if (i + 1 < s.size() && (s[i + 1] == '=' || (c == '<' && s[i + 1] == '>')))
                op += s[i + 1];
            if (op == "!")
                syntaxError(s);
            out.push_back({Tok::Op, op});
            i += op.size();
        } else if (c == '@' || (c == ':' && i + 1 < s.size() && nameByte(s[i + 1]))) {
            // A preset ends at a blank, a comma or a parenthesis; a parameter's name where a
            // name does.
            size_t j = i + 1;
            while (j < s.size() && (c == ':' ? nameByte(s[j])
                                             : !std::isspace(static_cast<unsigned char>(s[j])) &&
                                                   s[j] != ',' && s[j] != '(' && s[j] != ')'))
                ++j;
            if (j == i + 1)
                syntaxError(s);
            out.push_back({c == ':' ? Tok::Param : Tok::Preset, s.substr(i + 1, j - i - 1)});
            i = j;
        } else if (std::isalpha(c) || c == '_' || c >= 0x80) {
            size_t j = i;
            while (j < s.size()) {
                const unsigned char d = static_cast<unsigned char>(s[j]);
                if (!(std::isalnum(d) || d == '_' || d >= 0x80))
                    break;
                ++j;
            }
            out.push_back({Tok::Name, s.substr(i, j - i)});
            i = j;
        } else {
            syntaxError(s);
        }
    }
    out.push_back({Tok::End, ""});
    return out;
}

// Length of the UTF-8 character at i, for LIKE's one-character wildcard.
size_t charLength(std::string_view s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return std::min(n, s.size() - i);
}

size_t characterCount(std::string_view s) {
    size_t count = 0;
    for (size_t i = 0; i < s.size(); i += charLength(s, i))
        ++count;
    return count;
}

// Greedy match with one step back to the last "%", over the bytes of both texts: "_"
// takes one character, "%" any run of them, every other character itself.
bool likeMatch(std::string_view text, std::string_view pat) {
    size_t t = 0, p = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        const size_t len = charLength(text, t);
        if (p < pat.size() && pat[p] == '%') {
            starP = p++;
            starT = t;
        } else if (p < pat.size() && pat[p] == '_') {
            t += len;
            ++p;
        } else if (p < pat.size() && charLength(pat, p) == len &&
                   pat.compare(p, len, text.substr(t, len)) == 0) {
            t += len;
            p += len;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starT += charLength(text, starT);
            t = starT;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '%')
        ++p;
    return p == pat.size();
}

// A chain of ORs or ANDs is one node with its operands side by side, so that a long list of
// conditions adds no depth to evaluation or destruction.
FilterTerm listTerm(FilterTerm::Kind kind,
                    const std::vector<std::unique_ptr<FilterExpr>>& operands) {
    FilterTerm t;
    t.kind = kind;
    for (const auto& e : operands)
        t.operands.push_back(e.get());
    return t;
}

struct Or : FilterExpr {
    std::vector<std::unique_ptr<FilterExpr>> operands;
    FilterTerm term() const override { return listTerm(FilterTerm::Kind::Or, operands); }
    bool matches(const DataSet& ds, int64_t row) const override {
        for (const auto& e : operands)
            if (e->matches(ds, row))
                return true;
        return false;
    }
};

struct And : FilterExpr {
    std::vector<std::unique_ptr<FilterExpr>> operands;
    FilterTerm term() const override { return listTerm(FilterTerm::Kind::And, operands); }
    bool matches(const DataSet& ds, int64_t row) const override {
        for (const auto& e : operands)
            if (!e->matches(ds, row))
                return false;
        return true;
    }
};

struct Not : FilterExpr {
    std::unique_ptr<FilterExpr> a;
    bool matches(const DataSet& ds, int64_t row) const override { return !a->matches(ds, row); }
    FilterTerm term() const override {
        FilterTerm t;
        t.kind = FilterTerm::Kind::Not;
        t.operands.push_back(a.get());
        return t;
    }
};

// The stored column of a field while no posted edit replaces its values: conditions read
// it directly instead of making a value per row. A filter lives for one rebuild of the
// records shown, so no edit comes between.
const ColumnData* storedColumn(const DataSet& ds, int field) {
    return ds.columnView(field).column;
}

struct IsNull : FilterExpr {
    int field = 0;
    bool negate = false;
    const ColumnData* column = nullptr;
    bool matches(const DataSet& ds, int64_t row) const override {
        const bool null = column ? column->isNull(row) : cell(ds, row, field).isNull();
        return null != negate;
    }
    FilterTerm term() const override {
        FilterTerm t;
        t.kind = FilterTerm::Kind::IsNull;
        t.field = field;
        t.negate = negate;
        return t;
    }
};

enum class Op { Eq, Ne, Lt, Le, Gt, Ge };

const char* opText(Op op) {
    static const char* const texts[] = {"=", "<>", "<", "<=", ">", ">="};
    return texts[static_cast<int>(op)];
}

struct Compare : FilterExpr {
    int field = 0;
    Op op = Op::Eq;
    FilterTerm term() const override {
        FilterTerm t;
        t.kind = FilterTerm::Kind::Compare;
        t.field = field;
        t.op = opText(op);
        t.literal = literal;
        return t;
    }
    Value literal;
    // How a stored value compares with the literal without a Value, as compareValues would.
    enum class Direct { None, Text, Code, Double, Exact } direct = Direct::None;
    const ColumnData* column = nullptr;
    Decimal exact;
    std::vector<int8_t> codeOrder; // a dictionary text column: each code against the literal

    void prepare(const DataSet& ds) {
        column = storedColumn(ds, field);
        if (!column)
            return;
        const Value::Type t = literal.type();
        const FieldKind k = ds.Fields(field).Kind();
        if (column->storage() == Storage::Text && t == Value::Type::Text && column->hasCodes()) {
            direct = Direct::Code;
            codeOrder.resize(column->codeCount()); // code 0, the null, included
            for (uint32_t code = 1; code < column->codeCount(); ++code)
                codeOrder[code] =
                    static_cast<int8_t>(ansiCompare(column->codeText(code), literal.asText()));
        } else if (column->storage() == Storage::Text && t == Value::Type::Text) {
            direct = Direct::Text;
        } else if (column->storage() == Storage::Double &&
                   (t == Value::Type::Double || literal.isDateLike())) {
            direct = Direct::Double;
        } else if (column->storage() == Storage::Int && k != FieldKind::Boolean &&
                   (t == Value::Type::Int ||
                    (t == Value::Type::Decimal && !literal.isWideDecimal()))) {
            direct = Direct::Exact;
            exact = *literal.asDecimal();
        }
    }
    bool matches(const DataSet& ds, int64_t row) const override {
        int c;
        if (direct != Direct::None) {
            if (column->isNull(row))
                return false;
            switch (direct) {
            case Direct::Text:
                c = ansiCompare(column->textAt(row), literal.asText());
                break;
            case Direct::Code:
                c = codeOrder[column->codeAt(row)];
                break;
            case Direct::Double: {
                c = compareDoubles(column->doubleAt(row), literal.asDouble());
                break;
            }
            default:
                c = compare(Decimal::fromInt(column->intAt(row)), exact);
                break;
            }
        } else {
            const Value v = cell(ds, row, field);
            if (v.isNull())
                return false; // as in SQL, a null compares with nothing
            c = compareValues(v, literal);
        }
        switch (op) {
        case Op::Eq:
            return c == 0;
        case Op::Ne:
            return c != 0;
        case Op::Lt:
            return c < 0;
        case Op::Le:
            return c <= 0;
        case Op::Gt:
            return c > 0;
        case Op::Ge:
            return c >= 0;
        }
        return false;
    }
};

// Equal to one of the literals: a dictionary column looks its code up, other columns try
// each literal as "=" would.
struct In : FilterExpr {
    int field = 0;
    std::vector<Compare> items;
    std::vector<bool> codeIn; // a dictionary text column: whether each code is listed
    const ColumnData* column = nullptr;

    FilterTerm term() const override {
        FilterTerm t;
        t.kind = FilterTerm::Kind::In;
        t.field = field;
        for (const Compare& c : items)
            t.literals.push_back(c.literal);
        return t;
    }
    void prepare() {
        const bool texts = std::all_of(items.begin(), items.end(), [](const Compare& c) {
            return c.direct == Compare::Direct::Code;
        });
        if (items.empty() || !texts)
            return;
        column = items[0].column;
        codeIn.assign(column->codeCount(), false);
        for (const Compare& c : items)
            for (uint32_t code = 1; code < codeIn.size(); ++code)
                if (c.codeOrder[code] == 0)
                    codeIn[code] = true;
    }
    bool matches(const DataSet& ds, int64_t row) const override {
        if (column)
            return codeIn[column->codeAt(row)];
        for (const Compare& c : items)
            if (c.matches(ds, row))
                return true;
        return false;
    }
};

// The pattern is prepared once per filter: each run of "%" made one, and the number of
// characters a text needs at least counted, so that a long pattern costs nothing on the
// many texts too short for it.
struct Like : FilterExpr {
    int field = 0;
    bool negate = false;
    std::string pattern;
    size_t fixed = 0; // characters other than "%"
    FilterTerm term() const override {
        FilterTerm t;
        t.kind = FilterTerm::Kind::Like;
        t.field = field;
        t.negate = negate;
        t.literal = Value::fromText(pattern);
        return t;
    }

    void compile(std::string_view text) {
        pattern.reserve(text.size());
        for (size_t i = 0; i < text.size();) {
            const size_t len = charLength(text, i);
            if (text[i] != '%' || pattern.empty() || pattern.back() != '%') {
                fixed += text[i] != '%';
                pattern.append(text.substr(i, len));
            }
            i += len;
        }
    }
    bool matches(const DataSet& ds, int64_t row) const override {
        const Value v = cell(ds, row, field);
        if (v.isNull())
            return false;
        const std::string text = v.displayText();
        if (text.size() < fixed || characterCount(text) < fixed)
            return negate;
        return likeMatch(text, pattern) != negate;
    }
};

class Parser {
public:
    Parser(const std::string& expr, DataSet& ds) : expr_(expr), ds_(ds), toks_(tokenize(expr)) {}

    std::unique_ptr<FilterExpr> parse() {
        auto e = parseOr();
        if (peek().kind != Tok::End)
            syntaxError(expr_);
        return e;
    }

private:
    const Token& peek() const { return toks_[pos_]; }
    Token take() { return toks_[pos_ < toks_.size() - 1 ? pos_++ : pos_]; }
    bool keyword(const char* k) const {
        return peek().kind == Tok::Name && !peek().bracketed && upper(peek().text) == k;
    }

    std::unique_ptr<FilterExpr> parseOr() {
        auto first = parseAnd();
        if (!keyword("OR"))
            return first;
        auto n = std::make_unique<Or>();
        n->operands.push_back(std::move(first));
        while (keyword("OR")) {
            take();
            n->operands.push_back(parseAnd());
        }
        return n;
    }

    std::unique_ptr<FilterExpr> parseAnd() {
        auto first = parseNot();
        if (!keyword("AND"))
            return first;
        auto n = std::make_unique<And>();
        n->operands.push_back(std::move(first));
        while (keyword("AND")) {
            take();
            n->operands.push_back(parseNot());
        }
        return n;
    }

    // Every NOT and every parenthesis nests one level deeper; a fixed limit keeps a
    // malformed or hostile filter from exhausting the stack.
    std::unique_ptr<FilterExpr> parseNot() {
        if (keyword("NOT") || peek().kind == Tok::LParen) {
            if (++depth_ > kMaxDepth)
                throw Error(
                    format("Invalid filter expression: nested deeper than %d levels", kMaxDepth));
            std::unique_ptr<FilterExpr> e;
            if (keyword("NOT")) {
                take();
                auto n = std::make_unique<Not>();
                n->a = parseNot();
                e = std::move(n);
            } else {
                take();
                e = parseOr();
                if (take().kind != Tok::RParen)
                    syntaxError(expr_);
            }
            --depth_;
            return e;
        }
        return parseCondition();
    }

    std::unique_ptr<FilterExpr> parseCondition() {
        const Token name = take();
        if (name.kind != Tok::Name)
            syntaxError(expr_);
        const Field* found = ds_.FindField(name.text);
        if (!found)
            throw FilterFieldMissing(format("Field '%s' not found", name.text.c_str()));
        const Field& field = *found;
        if (keyword("IS")) {
            take();
            auto n = std::make_unique<IsNull>();
            n->field = field.Index();
            n->column = storedColumn(ds_, n->field);
            if (keyword("NOT")) {
                take();
                n->negate = true;
            }
            if (!keyword("NULL"))
                syntaxError(expr_);
            take();
            return n;
        }
        if (keyword("IN"))
            return parseIn(field);
        bool negate = false;
        if (keyword("NOT")) {
            take();
            negate = true;
            if (!keyword("LIKE"))
                syntaxError(expr_);
        }
        if (keyword("LIKE")) {
            take();
            const Token pat = take();
            if (pat.kind != Tok::Text)
                syntaxError(expr_);
            auto n = std::make_unique<Like>();
            n->field = field.Index();
            n->negate = negate;
            n->compile(pat.text);
            return n;
        }
        const Token op = take();
        if (op.kind != Tok::Op)
            syntaxError(expr_);
        const Token lit = take();
        if (lit.kind == Tok::Name && !lit.bracketed && upper(lit.text) == "NULL") {
            if (op.text != "=" && op.text != "<>" && op.text != "!=")
                syntaxError(expr_);
            auto n = std::make_unique<IsNull>();
            n->field = field.Index();
            n->column = storedColumn(ds_, n->field);
            n->negate = op.text != "=";
            return n;
        }
        auto n = std::make_unique<Compare>();
        n->field = field.Index();
        const std::string& o = op.text;
        n->op = o == "="                 ? Op::Eq
                : o == "<>" || o == "!=" ? Op::Ne
                : o == "<"               ? Op::Lt
                : o == "<="              ? Op::Le
                : o == ">"               ? Op::Gt
                                         : Op::Ge;
        n->literal = literal(field, lit);
        n->prepare(ds_);
        return n;
    }

    std::unique_ptr<FilterExpr> parseIn(const Field& field) {
        take();
        if (take().kind != Tok::LParen)
            syntaxError(expr_);
        auto n = std::make_unique<In>();
        n->field = field.Index();
        for (;;) {
            Compare& c = n->items.emplace_back();
            c.field = n->field;
            c.literal = literal(field, take());
            c.prepare(ds_);
            const Token next = take();
            if (next.kind == Tok::RParen)
                break;
            if (next.kind != Tok::Comma)
                syntaxError(expr_);
        }
        n->prepare();
        return n;
    }

    // What a parameter or a preset stands for in this run, as a literal would write it: a
    // preset's day as of the run's day (a period's first), a parameter's value as the SQL
    // text binds it.
    Token runValue(const Token& t) const {
        const int64_t asOf = ds_.AsOfDay().value_or(localToday());
        if (t.kind == Tok::Preset) {
            const std::optional<DatePreset> preset = DatePreset::parse(t.text);
            if (!preset)
                throw Error("过滤条件中的日期预设“@" + t.text + "”不存在");
            return {Tok::Text, isoDayText(preset->periodAsOf(asOf).first)};
        }
        const ResolvedParameters run =
            resolveParameters(ds_.SqlParameters(), ds_.GivenParameterTexts(), asOf);
        for (const auto& [name, v] : run.values) {
            if (name != t.text)
                continue;
            if (v.type() == Value::Type::Date || v.type() == Value::Type::DateTime)
                return {Tok::Text, v.type() == Value::Type::Date
                                       ? formatDateMicros(v.micros())
                                       : formatDateTimeMicros(v.micros())};
            if (v.type() == Value::Type::Text)
                return {Tok::Text, v.asText()};
            std::string text;
            for (const SqlParameter& p : ds_.SqlParameters())
                if (p.name == name)
                    text = p.defaultValue;
            for (const auto& [given, value] : ds_.GivenParameterTexts())
                if (given == name)
                    text = value;
            return {Tok::Number, text};
        }
        throw Error("过滤条件中的“:" + t.text + "”不是报表的参数");
    }

    // The literal in the type of the field it is compared with.
    Value literal(const Field& f, const Token& given) {
        const Token t =
            given.kind == Tok::Param || given.kind == Tok::Preset ? runValue(given) : given;
        const FieldKind k = f.Kind();
        if (t.kind == Tok::Name && !t.bracketed) {
            const std::string u = upper(t.text);
            if (u == "TRUE" || u == "FALSE")
                return k == FieldKind::Boolean ? Value::fromBool(u == "TRUE")
                                               : Value::fromInt(u == "TRUE");
        }
        if (t.kind != Tok::Text && t.kind != Tok::Number)
            syntaxError(expr_);
        if (k == FieldKind::Boolean) {
            const std::string u = upper(t.text);
            if (u == "TRUE" || u == "1")
                return Value::fromBool(true);
            if (u == "FALSE" || u == "0")
                return Value::fromBool(false);
            throw Error(format("'%s' is not a Boolean value", t.text.c_str()));
        }
        if (isDateKind(k)) {
            if (t.kind == Tok::Number)
                if (const auto d = parseNumber(t.text)) { // a day-count serial
                    if (k == FieldKind::Date)
                        return Value::fromDate(*d);
                    return k == FieldKind::Time ? Value::fromTime(*d) : Value::fromDateTime(*d);
                }
            // Texts to the microsecond, an era or an infinity included.
            std::optional<int64_t> us;
            if (k == FieldKind::Time)
                us = parseTimeMicros(t.text);
            if (!us)
                us = parseDateTimeMicros(t.text);
            if (!us)
                throw Error(format("'%s' is not a valid date", t.text.c_str()));
            if (k == FieldKind::Date)
                return Value::fromMicros(Value::Type::Date, *us);
            return Value::fromMicros(
                k == FieldKind::Time ? Value::Type::Time : Value::Type::DateTime, *us);
        }
        if (isNumericKind(k)) {
            // Integers and decimals compare with the literal's exact digits, so 2^53 + 1
            // does not also select 2^53.
            if (k != FieldKind::Float)
                if (const auto exact = exactNumber(t.text))
                    return *exact;
            const auto d = parseNumber(t.text);
            if (!d)
                throw Error(format("'%s' is not a valid number", t.text.c_str()));
            return Value::fromDouble(*d);
        }
        return Value::fromText(t.text);
    }

    static constexpr int kMaxDepth = 200;
    std::string expr_;
    DataSet& ds_;
    std::vector<Token> toks_;
    size_t pos_ = 0;
    int depth_ = 0;
};

} // namespace

std::unique_ptr<FilterExpr> parseFilter(const std::string& expression, DataSet& ds) {
    return Parser(expression, ds).parse();
}

} // namespace rg
