#include "calc/calcfield.h"

#include "calc/calcnodes.h"
#include "calc/calctokens.h"
#include "calc/summaryformula.h"
#include "common/asciicase.h"
#include "common/error.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace rg {
namespace {

using calc::fail;
using calc::findInput;
using calc::Tok;
using calc::Token;
using calc::tokenize;

using calc::NodePtr;
using calc::Type;

bool numeric(Type t) {
    return t == Type::Int || t == Type::Decimal || t == Type::Double || t == Type::Null;
}

// The one type two values of a CASE, IF or COALESCE share.
std::optional<Type> common(Type a, Type b) {
    if (a == b || b == Type::Null)
        return a;
    if (a == Type::Null)
        return b;
    if (numeric(a) && numeric(b))
        return a == Type::Double || b == Type::Double ? Type::Double : Type::Decimal;
    return std::nullopt;
}

struct Function {
    const char* name;
    int minArgs, maxArgs;
};
constexpr Function kFunctions[] = {
    {"ROUND", 1, 2},   {"ABS", 1, 1},       {"IF", 3, 3},     {"COALESCE", 1, 64}, {"YEAR", 1, 1},
    {"QUARTER", 1, 1}, {"MONTH", 1, 1},     {"DAY", 1, 1},    {"DAYS", 2, 2},      {"LEFT", 2, 2},
    {"RIGHT", 2, 2},   {"SUBSTRING", 2, 3}, {"LENGTH", 1, 1}, {"UPPER", 1, 1},     {"TRIM", 1, 1},
};

std::optional<AggregateKind> aggregateOf(std::string_view name) {
    for (const AggregateKind k : {AggregateKind::Sum, AggregateKind::Count, AggregateKind::Avg,
                                  AggregateKind::Min, AggregateKind::Max})
        if (equalsIgnoringCase(name, aggregateName(k)))
            return k;
    return std::nullopt;
}

class Parser {
public:
    Parser(std::string_view text, const std::vector<CalcInput>& fields,
           std::vector<AggregateRef>* aggregates = nullptr)
        : tokens_(tokenize(text)), fields_(fields), aggregates_(aggregates) {}

    NodePtr parse(std::vector<int>& inputs) {
        NodePtr n = parseOr();
        if (peek().kind != Tok::End)
            fail(peek().pos, "这里多出了“" + peek().text + "”");
        inputs.assign(used_.begin(), used_.end());
        return n;
    }

private:
    const Token& peek() const { return tokens_[at_]; }
    const Token& take() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
    bool keyword(const char* word) const {
        return peek().kind == Tok::Name && equalsIgnoringCase(peek().text, word);
    }
    bool op(const char* o) const { return peek().kind == Tok::Op && peek().text == o; }
    void expect(Tok kind, const char* what) {
        if (peek().kind != kind)
            fail(peek().pos, peek().kind == Tok::End ? std::string("表达式不完整，缺少") + what
                                                     : std::string("这里应为") + what);
        take();
    }
    void expectKeyword(const char* word) {
        if (!keyword(word))
            fail(peek().pos, std::string("这里应为 ") + word);
        take();
    }

    NodePtr logical(NodePtr n, int pos, const char* what) {
        if (n->type != Type::Bool && n->type != Type::Null)
            fail(pos, std::string(what) + "的操作数应为逻辑值，而不是" + calc::typeName(n->type));
        return castTo(std::move(n), Type::Bool);
    }

    NodePtr parseOr() {
        const int pos = peek().pos;
        NodePtr n = parseAnd();
        while (keyword("OR")) {
            const int at = take().pos;
            n = makeOr(logical(std::move(n), pos, "OR"), logical(parseAnd(), at, "OR"));
        }
        return n;
    }
    NodePtr parseAnd() {
        const int pos = peek().pos;
        NodePtr n = parseNot();
        while (keyword("AND")) {
            const int at = take().pos;
            n = makeAnd(logical(std::move(n), pos, "AND"), logical(parseNot(), at, "AND"));
        }
        return n;
    }
    NodePtr parseNot() {
        if (!keyword("NOT"))
            return parseTest();
        const int pos = take().pos;
        return makeNot(logical(parseNot(), pos, "NOT"));
    }

    NodePtr parseTest() {
        NodePtr n = parseConcat();
        if (keyword("IS")) {
            take();
            const bool negate = keyword("NOT");
            if (negate)
                take();
            expectKeyword("NULL");
            return makeIsNull(std::move(n), negate);
        }
        static const std::pair<const char*, calc::Cmp> kOps[] = {
            {"=", calc::Cmp::Eq},  {"<>", calc::Cmp::Ne}, {"!=", calc::Cmp::Ne},
            {"<", calc::Cmp::Lt},  {"<=", calc::Cmp::Le}, {">", calc::Cmp::Gt},
            {">=", calc::Cmp::Ge},
        };
        for (const auto& [text, cmp] : kOps) {
            if (!op(text))
                continue;
            const Token t = take();
            NodePtr b = parseConcat();
            const Type x = n->type, y = b->type;
            const bool dated = (x == Type::Date && (y == Type::Text || y == Type::Date)) ||
                               (y == Type::Date && x == Type::Text);
            if (!common(x, y) && !dated)
                fail(t.pos, "“" + t.text + "”两边的类型不同：" + calc::typeName(x) + "和" +
                                calc::typeName(y));
            if (dated) {
                n = castTo(std::move(n), Type::Date);
                b = castTo(std::move(b), Type::Date);
            }
            return makeCompare(cmp, std::move(n), std::move(b));
        }
        return n;
    }

    NodePtr parseConcat() {
        NodePtr n = parseSum();
        while (op("||")) {
            take();
            n = makeConcat(std::move(n), parseSum());
        }
        return n;
    }

    NodePtr arith(const Token& t, calc::Arith a, NodePtr x, NodePtr y) {
        if (!numeric(x->type) || !numeric(y->type)) {
            std::string what = "运算符“" + t.text + "”不能用于" + calc::typeName(x->type) + "和" +
                               calc::typeName(y->type);
            if (x->type == Type::Text || y->type == Type::Text)
                what += "，连接文本请用 ||";
            else if (x->type == Type::Date && y->type == Type::Date)
                what += "，两个日期相差的天数请用 DAYS(开始, 结束)";
            fail(t.pos, what);
        }
        return makeArith(a, std::move(x), std::move(y));
    }

    NodePtr parseSum() {
        NodePtr n = parseProduct();
        while (op("+") || op("-")) {
            const Token t = take();
            n = arith(t, t.text == "+" ? calc::Arith::Add : calc::Arith::Sub, std::move(n),
                      parseProduct());
        }
        return n;
    }
    NodePtr parseProduct() {
        NodePtr n = parseUnary();
        while (op("*") || op("/")) {
            const Token t = take();
            n = arith(t, t.text == "*" ? calc::Arith::Mul : calc::Arith::Div, std::move(n),
                      parseUnary());
        }
        return n;
    }
    NodePtr parseUnary() {
        if (!op("-") && !op("+"))
            return parsePrimary();
        const Token t = take();
        NodePtr n = parseUnary();
        if (!numeric(n->type))
            fail(t.pos, "“" + t.text + "”不能用于" + calc::typeName(n->type));
        return t.text == "-" && n->type != Type::Null ? makeNegate(std::move(n)) : std::move(n);
    }

    NodePtr parsePrimary() {
        const Token& t = peek();
        switch (t.kind) {
        case Tok::Number:
            return number(take());
        case Tok::Text:
            return calc::makeConstant(Value::fromText(take().text), Type::Text);
        case Tok::Field:
            return field(take());
        case Tok::LParen: {
            take();
            NodePtr n = parseOr();
            expect(Tok::RParen, "右括号");
            return n;
        }
        case Tok::Name:
            break;
        case Tok::End:
            fail(t.pos, "表达式不完整");
        default:
            fail(t.pos, "这里应为字段、数值或函数，而不是“" + t.text + "”");
        }
        if (keyword("NULL")) {
            take();
            return calc::makeConstant(Value::null(), Type::Null);
        }
        if (keyword("TRUE") || keyword("FALSE")) {
            const bool truth = keyword("TRUE");
            take();
            return calc::makeConstant(Value::fromBool(truth), Type::Bool);
        }
        if (keyword("CASE"))
            return parseCase();
        if (tokens_[at_ + 1].kind == Tok::LParen) {
            if (aggregates_ && aggregateOf(t.text))
                return aggregate(take());
            return function(take());
        }
        return field(take());
    }

    NodePtr number(const Token& t) {
        const std::string& s = t.text;
        if (s.find_first_of("eE") != std::string::npos) {
            double d = 0;
            if (std::from_chars(s.data(), s.data() + s.size(), d).ec == std::errc())
                return calc::makeConstant(Value::fromDouble(d), Type::Double);
        } else if (s.find('.') == std::string::npos) {
            int64_t i = 0;
            const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), i);
            if (ec == std::errc() && end == s.data() + s.size())
                return calc::makeConstant(Value::fromInt(i), Type::Int);
        }
        if (s.find_first_of("eE") == std::string::npos)
            if (const auto d = Decimal::parse(s))
                return calc::makeConstant(Value::fromDecimal(*d), Type::Decimal);
        fail(t.pos, "无法读取数值“" + s + "”");
    }

    int fieldIndex(const Token& t) const {
        const int i = findInput(fields_, t.text);
        if (i < 0)
            fail(t.pos, "没有名为“" + t.text + "”的字段");
        const CalcInput& f = fields_[static_cast<size_t>(i)];
        if (calc::typeOfKind(f.kind) == Type::Null)
            fail(t.pos, "字段“" + t.text + "”是二进制数据，不能用于计算");
        return i;
    }

    NodePtr field(const Token& t) {
        if (aggregates_)
            fail(t.pos, "字段“" + t.text + "”应写在 SUM、COUNT、AVG、MIN 或 MAX 之中");
        const int i = fieldIndex(t);
        const CalcInput& f = fields_[static_cast<size_t>(i)];
        used_.insert(std::lower_bound(used_.begin(), used_.end(), i), i);
        used_.erase(std::unique(used_.begin(), used_.end()), used_.end());
        return calc::makeColumn(i, f.kind);
    }

    NodePtr parseCase() {
        const int pos = take().pos;
        std::vector<NodePtr> conditions, values;
        NodePtr otherwise;
        Type t = Type::Null;
        auto value = [&](NodePtr n, int at) {
            const auto c = common(t, n->type);
            if (!c)
                fail(at, std::string("各分支的类型不同：") + calc::typeName(t) + "和" +
                             calc::typeName(n->type));
            t = *c;
            return n;
        };
        if (!keyword("WHEN"))
            fail(peek().pos, "CASE 之后应为 WHEN");
        while (keyword("WHEN")) {
            const int at = take().pos;
            conditions.push_back(logical(parseOr(), at, "WHEN"));
            expectKeyword("THEN");
            const int vat = peek().pos;
            values.push_back(value(parseOr(), vat));
        }
        if (keyword("ELSE")) {
            take();
            const int at = peek().pos;
            otherwise = value(parseOr(), at);
        }
        if (!keyword("END"))
            fail(peek().pos, "CASE（第 " + std::to_string(pos) + " 个字符）缺少 END");
        take();
        return makeCase(std::move(conditions), std::move(values), std::move(otherwise), t);
    }

    NodePtr function(const Token& name);
    NodePtr aggregate(const Token& name);
    NodePtr aggregateColumn(const AggregateRef& ref);
    std::vector<NodePtr> arguments(const Function& f, const Token& name, std::vector<int>& at,
                                   int& places);

    std::vector<Token> tokens_;
    size_t at_ = 0;
    const std::vector<CalcInput>& fields_;
    std::vector<int> used_;
    std::vector<AggregateRef>* aggregates_; // reading a summary formula
};

// The arguments of a call up to its closing parenthesis, each with its character; ROUND's
// places are read as the constant they must be.
std::vector<NodePtr> Parser::arguments(const Function& f, const Token& name, std::vector<int>& at,
                                       int& places) {
    const std::string fn = f.name;
    take(); // (
    std::vector<NodePtr> args;
    while (peek().kind != Tok::RParen || args.empty()) {
        if (!args.empty())
            expect(Tok::Comma, "逗号或右括号");
        at.push_back(peek().pos);
        if (fn == "ROUND" && args.size() == 1) {
            // The places are a constant, so that the column has one scale.
            const Token& t = peek();
            const auto [end, ec] =
                std::from_chars(t.text.data(), t.text.data() + t.text.size(), places);
            if (t.kind != Tok::Number || ec != std::errc() ||
                end != t.text.data() + t.text.size() || places > Decimal::kMaxScale)
                fail(t.pos, "ROUND 的小数位数应为 0 到 38 之间的整数");
            take();
            args.push_back(calc::makeConstant(Value::fromInt(places), Type::Int));
        } else {
            args.push_back(parseOr());
        }
        if (static_cast<int>(args.size()) > f.maxArgs)
            break;
    }
    const int count = static_cast<int>(args.size());
    if (count < f.minArgs || count > f.maxArgs)
        fail(name.pos, "函数 " + fn + " 需要 " +
                           (f.minArgs == f.maxArgs ? std::to_string(f.minArgs)
                            : f.maxArgs > 3
                                ? "至少 " + std::to_string(f.minArgs)
                                : std::to_string(f.minArgs) + " 到 " + std::to_string(f.maxArgs)) +
                           " 个参数");
    expect(Tok::RParen, "右括号");
    return args;
}

NodePtr Parser::function(const Token& name) {
    const Function* f = nullptr;
    for (const Function& candidate : kFunctions)
        if (equalsIgnoringCase(name.text, candidate.name))
            f = &candidate;
    if (!f)
        fail(name.pos, "没有名为“" + name.text + "”的函数");
    const std::string fn = f->name;
    std::vector<int> at;
    int places = 0;
    std::vector<NodePtr> args = arguments(*f, name, at, places);
    auto want = [&](size_t k, std::initializer_list<Type> types, const char* what) {
        const Type t = args[k]->type;
        if (t == Type::Null)
            return;
        for (Type ok : types)
            if (t == ok)
                return;
        fail(at[k], "函数 " + fn + " 的第 " + std::to_string(k + 1) + " 个参数应为" + what +
                        "，而不是" + calc::typeName(t));
    };
    auto typed = [&](size_t k, Type t) { args[k] = castTo(std::move(args[k]), t); };
    if (fn == "IF") {
        want(0, {Type::Bool}, "逻辑值");
        const auto t = common(args[1]->type, args[2]->type);
        if (!t)
            fail(at[2], std::string("IF 的两个结果类型不同：") + calc::typeName(args[1]->type) +
                            "和" + calc::typeName(args[2]->type));
        typed(0, Type::Bool);
        std::vector<NodePtr> conditions, values;
        conditions.push_back(std::move(args[0]));
        values.push_back(std::move(args[1]));
        return makeCase(std::move(conditions), std::move(values), std::move(args[2]), *t);
    }
    if (fn == "COALESCE") {
        Type t = Type::Null;
        for (size_t k = 0; k < args.size(); ++k) {
            const auto c = common(t, args[k]->type);
            if (!c)
                fail(at[k], std::string("COALESCE 的参数类型不同：") + calc::typeName(t) + "和" +
                                calc::typeName(args[k]->type));
            t = *c;
        }
        return makeCoalesce(std::move(args), t);
    }
    const std::initializer_list<Type> numbers = {Type::Int, Type::Decimal, Type::Double};
    static const std::pair<const char*, calc::Fn> kFns[] = {
        {"ROUND", calc::Fn::Round},   {"ABS", calc::Fn::Abs},
        {"YEAR", calc::Fn::Year},     {"QUARTER", calc::Fn::Quarter},
        {"MONTH", calc::Fn::Month},   {"DAY", calc::Fn::Day},
        {"DAYS", calc::Fn::Days},     {"LEFT", calc::Fn::Left},
        {"RIGHT", calc::Fn::Right},   {"SUBSTRING", calc::Fn::Substring},
        {"LENGTH", calc::Fn::Length}, {"UPPER", calc::Fn::Upper},
        {"TRIM", calc::Fn::Trim},
    };
    calc::Fn which = calc::Fn::Round;
    for (const auto& [text, id] : kFns)
        if (fn == text)
            which = id;
    switch (which) {
    case calc::Fn::Round:
    case calc::Fn::Abs:
        want(0, numbers, "数值");
        if (args[0]->type == Type::Null)
            return calc::makeConstant(Value::null(), Type::Null);
        break;
    case calc::Fn::Year:
    case calc::Fn::Quarter:
    case calc::Fn::Month:
    case calc::Fn::Day:
    case calc::Fn::Days:
        for (size_t k = 0; k < args.size(); ++k) {
            want(k, {Type::Date, Type::Text}, "日期");
            typed(k, Type::Date);
        }
        break;
    default:
        want(0, {Type::Text}, "文本");
        typed(0, Type::Text);
        for (size_t k = 1; k < args.size(); ++k) {
            want(k, {Type::Int}, "整数");
            typed(k, Type::Int);
        }
    }
    return makeFunction(which, std::move(args), places);
}

// SUM(f), COUNT(f) or COUNT(*), AVG(f) as the sum over the count, MIN(f), MAX(f).
NodePtr Parser::aggregate(const Token& name) {
    const AggregateKind kind = *aggregateOf(name.text);
    const std::string fn = aggregateName(kind);
    take(); // (
    const Token arg = peek();
    int field = -1;
    if (kind == AggregateKind::Count && op("*"))
        take();
    else if (arg.kind == Tok::Name || arg.kind == Tok::Field)
        field = fieldIndex(take());
    else
        fail(arg.pos, fn + " 的参数应为一个字段");
    expect(Tok::RParen, "右括号");
    const AggregateRef count{AggregateKind::Count, -1, FieldKind::LargeInt};
    if (kind == AggregateKind::Count)
        return aggregateColumn(count);
    const FieldKind fk = fields_[static_cast<size_t>(field)].kind;
    const Type t = calc::typeOfKind(fk);
    const bool number = t == Type::Int || t == Type::Decimal || t == Type::Double;
    if (kind == AggregateKind::Min || kind == AggregateKind::Max) {
        if (!number && t != Type::Date)
            fail(arg.pos,
                 fn + " 的参数应为数值或日期字段，“" + arg.text + "”是" + calc::typeName(t));
        return aggregateColumn({kind, field, fk});
    }
    if (!number)
        fail(arg.pos, fn + " 的参数应为数值字段，“" + arg.text + "”是" + calc::typeName(t));
    const FieldKind sumKind = t == Type::Int       ? FieldKind::LargeInt
                              : t == Type::Decimal ? FieldKind::FMTBcd
                                                   : FieldKind::Float;
    NodePtr sum = aggregateColumn({AggregateKind::Sum, field, sumKind});
    if (kind == AggregateKind::Sum)
        return sum;
    return makeArith(calc::Arith::Div, std::move(sum), aggregateColumn(count));
}

NodePtr Parser::aggregateColumn(const AggregateRef& ref) {
    auto it = std::find(aggregates_->begin(), aggregates_->end(), ref);
    if (it == aggregates_->end())
        it = aggregates_->insert(aggregates_->end(), ref);
    return calc::makeColumn(static_cast<int>(it - aggregates_->begin()), ref.columnKind);
}

FieldKind kindOf(const calc::Node& n) {
    switch (n.type) {
    case Type::Bool:
        return FieldKind::Boolean;
    case Type::Int:
        return FieldKind::LargeInt;
    case Type::Decimal:
        return FieldKind::FMTBcd;
    case Type::Double:
        return FieldKind::Float;
    case Type::Date:
        return n.dateKind;
    default:
        return FieldKind::String;
    }
}

} // namespace

const std::vector<std::string>& CalcFunctionNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const Function& f : kFunctions)
            v.push_back(f.name);
        return v;
    }();
    return names;
}

CalcExpression::CalcExpression(std::string_view text, const std::vector<CalcInput>& fields) {
    root_ = Parser(text, fields).parse(inputs_);
    kind_ = kindOf(*root_);
}

CalcExpression::CalcExpression(std::string_view text, const std::vector<CalcInput>& fields,
                               std::vector<AggregateRef>* aggregates) {
    root_ = Parser(text, fields, aggregates).parse(inputs_);
    const Type t = root_->type;
    if (t != Type::Int && t != Type::Decimal && t != Type::Double && t != Type::Date)
        fail(1, std::string("汇总公式的结果应为数值或日期，而不是") + calc::typeName(t));
    kind_ = kindOf(*root_);
}

CalcExpression::~CalcExpression() = default;
CalcExpression::CalcExpression(CalcExpression&&) noexcept = default;
CalcExpression& CalcExpression::operator=(CalcExpression&&) noexcept = default;

} // namespace rg
