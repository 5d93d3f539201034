#include "calc/calcnodes.h"

#include "calc/calcdecimal.h"
#include "calc/mapnode.h"
#include "common/codepage.h"
#include "common/datetime.h"
#include "datasource/resultbuffer.h"

#include <charconv>

namespace rg::calc {

const char* typeName(Type t) {
    switch (t) {
    case Type::Null:
        return "空值";
    case Type::Bool:
        return "逻辑值";
    case Type::Int:
        return "整数";
    case Type::Decimal:
        return "小数";
    case Type::Double:
        return "浮点数";
    case Type::Text:
        return "文本";
    case Type::Date:
        return "日期";
    }
    return "";
}

void Vec::reset(Type type, int rows) {
    n = rows;
    null.assign(static_cast<size_t>(rows), 0);
    switch (type) {
    case Type::Bool:
    case Type::Int:
    case Type::Date:
        i.resize(static_cast<size_t>(rows));
        break;
    case Type::Double:
        d.resize(static_cast<size_t>(rows));
        break;
    case Type::Decimal:
        m.resize(static_cast<size_t>(rows));
        break;
    case Type::Text:
        t.resize(static_cast<size_t>(rows));
        break;
    case Type::Null:
        break;
    }
}

Type typeOfKind(FieldKind kind) {
    switch (kind) {
    case FieldKind::Boolean:
        return Type::Bool;
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::AutoInc:
    case FieldKind::LargeInt:
        return Type::Int;
    case FieldKind::Float:
        return Type::Double;
    case FieldKind::Currency:
    case FieldKind::BCD:
    case FieldKind::FMTBcd:
        return Type::Decimal;
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime:
    case FieldKind::TimeStamp:
        return Type::Date;
    case FieldKind::Blob:
    case FieldKind::Graphic:
        return Type::Null;
    default:
        return Type::Text;
    }
}

namespace {

// Copies one typed value into row r of a vector.
void store(Vec& out, int r, Type t, const Value& v) {
    if (v.isNull()) {
        out.null[static_cast<size_t>(r)] = 1;
        return;
    }
    const auto k = static_cast<size_t>(r);
    switch (t) {
    case Type::Bool:
        out.i[k] = v.asBool();
        break;
    case Type::Int:
        out.i[k] = v.asInt();
        break;
    case Type::Date:
        out.i[k] = v.micros();
        break;
    case Type::Double:
        out.d[k] = v.asDouble();
        break;
    case Type::Decimal:
        out.m[k] = *v.asDecimal();
        break;
    case Type::Text:
        out.t[k] = v.asText();
        break;
    case Type::Null:
        out.null[k] = 1;
        break;
    }
}

class Constant : public Node {
public:
    Constant(const Value& v, Type t) : Node(t), value_(v) {}
    const Value& value() const { return value_; }

private:
    void eval(const Batch& b, Vec& out) override {
        if (out.n == b.n)
            return; // filled for a batch of this size already
        out.reset(type, b.n);
        for (int r = 0; r < b.n; ++r)
            store(out, r, type, value_);
    }
    Value value_;
};

class ColumnRead : public Node {
public:
    ColumnRead(int index, FieldKind kind) : Node(typeOfKind(kind)), index_(index) {
        dateKind = kind;
    }

private:
    void eval(const Batch& b, Vec& out) override {
        const ColumnData& c = *b.columns[static_cast<size_t>(index_)];
        out.reset(type, b.n);
        const int64_t first = b.first;
        for (int r = 0; r < b.n; ++r)
            out.null[static_cast<size_t>(r)] = c.isNull(first + r);
        const bool slow = (type == Type::Date && c.holdsNonDates()) ||
                          (type == Type::Decimal && c.hasWideValues());
        if (slow || c.storage() != storageOf()) {
            // Cells a column keeps beside its plain vector: dates that are no dates, decimals
            // beyond 38 digits (null here), numbers kept as texts.
            for (int r = 0; r < b.n; ++r)
                if (!out.null[static_cast<size_t>(r)])
                    storeRead(out, r, c.valueAt(first + r));
            return;
        }
        switch (type) {
        case Type::Bool:
            for (int r = 0; r < b.n; ++r)
                out.i[static_cast<size_t>(r)] = c.intAt(first + r) != 0;
            break;
        case Type::Int:
        case Type::Date:
            for (int r = 0; r < b.n; ++r)
                out.i[static_cast<size_t>(r)] = c.intAt(first + r);
            break;
        case Type::Double:
            for (int r = 0; r < b.n; ++r)
                out.d[static_cast<size_t>(r)] = c.doubleAt(first + r);
            break;
        case Type::Decimal:
            for (int r = 0; r < b.n; ++r)
                out.m[static_cast<size_t>(r)] = c.decimalAt(first + r);
            break;
        case Type::Text:
            for (int r = 0; r < b.n; ++r)
                if (!out.null[static_cast<size_t>(r)])
                    out.t[static_cast<size_t>(r)] = c.textAt(first + r);
            break;
        case Type::Null:
            break;
        }
    }
    Storage storageOf() const {
        switch (type) {
        case Type::Bool:
        case Type::Int:
        case Type::Date:
            return Storage::Int;
        case Type::Double:
            return Storage::Double;
        case Type::Decimal:
            return Storage::Decimal;
        default:
            return Storage::Text;
        }
    }
    void storeRead(Vec& out, int r, const Value& v) {
        const bool fits = type == Type::Date ? v.isDateLike()
                          : type == Type::Decimal
                              ? v.asDecimal().has_value() && v.type() != Value::Type::Double
                          : type == Type::Text ? v.type() == Value::Type::Text
                                               : v.isNumber();
        if (!fits)
            out.null[static_cast<size_t>(r)] = 1;
        else
            store(out, r, type, v);
    }
    int index_;
};

} // namespace

NodePtr makeConstant(const Value& v, Type t) {
    return std::make_unique<Constant>(v, t);
}

NodePtr makeColumn(int index, FieldKind kind) {
    return std::make_unique<ColumnRead>(index, kind);
}

NodePtr castTo(NodePtr n, Type to) {
    if (n->type == to)
        return n;
    if (n->type == Type::Null)
        return makeConstant(Value::null(), to);
    const Type from = n->type;
    // A constant number is converted once, not in every batch.
    if (const auto* c = dynamic_cast<const Constant*>(n.get()); c && from == Type::Int) {
        if (to == Type::Decimal)
            return makeConstant(Value::fromDecimal(Decimal::fromInt(c->value().asInt())), to);
        if (to == Type::Double)
            return makeConstant(Value::fromDouble(static_cast<double>(c->value().asInt())), to);
    }
    if (to == Type::Decimal && from == Type::Int)
        return mapStrict(to, std::move(n), [](const Vec* const* a, int r, Vec& out) {
            out.m[static_cast<size_t>(r)] = Decimal::fromInt(a[0]->i[static_cast<size_t>(r)]);
        });
    if (to == Type::Double && from == Type::Int)
        return mapStrict(to, std::move(n), [](const Vec* const* a, int r, Vec& out) {
            out.d[static_cast<size_t>(r)] = static_cast<double>(a[0]->i[static_cast<size_t>(r)]);
        });
    if (to == Type::Double && from == Type::Decimal)
        return mapStrict(to, std::move(n), [](const Vec* const* a, int r, Vec& out) {
            out.d[static_cast<size_t>(r)] = a[0]->m[static_cast<size_t>(r)].toDouble();
        });
    if (to == Type::Text)
        return toText(std::move(n));
    if (to == Type::Date && from == Type::Text)
        return mapStrict(to, std::move(n), [](const Vec* const* a, int r, Vec& out) {
            const std::string& s = a[0]->t[static_cast<size_t>(r)];
            auto us = parseDateTimeMicros(s);
            if (!us)
                us = parseDateMicros(s);
            if (us)
                out.i[static_cast<size_t>(r)] = *us;
            else
                out.null[static_cast<size_t>(r)] = 1;
        });
    return n;
}

namespace {

Type arithType(Type a, Type b, Arith op) {
    if (a == Type::Double || b == Type::Double)
        return Type::Double;
    if (op == Arith::Div || a == Type::Decimal || b == Type::Decimal)
        return Type::Decimal;
    return Type::Int;
}

template <class F> NodePtr arith2(Type t, NodePtr a, NodePtr b, F f) {
    std::vector<NodePtr> args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    return mapStrict(t, std::move(args), f);
}

} // namespace

NodePtr makeArith(Arith op, NodePtr a, NodePtr b) {
    const Type t = arithType(a->type, b->type, op);
    a = castTo(std::move(a), t);
    b = castTo(std::move(b), t);
    using V = const Vec* const*;
    if (t == Type::Int) {
        switch (op) {
        case Arith::Add:
            return arith2(t, std::move(a), std::move(b), [](V v, int r, Vec& o) {
                const auto k = static_cast<size_t>(r);
                o.null[k] = __builtin_add_overflow(v[0]->i[k], v[1]->i[k], &o.i[k]);
            });
        case Arith::Sub:
            return arith2(t, std::move(a), std::move(b), [](V v, int r, Vec& o) {
                const auto k = static_cast<size_t>(r);
                o.null[k] = __builtin_sub_overflow(v[0]->i[k], v[1]->i[k], &o.i[k]);
            });
        default:
            return arith2(t, std::move(a), std::move(b), [](V v, int r, Vec& o) {
                const auto k = static_cast<size_t>(r);
                o.null[k] = __builtin_mul_overflow(v[0]->i[k], v[1]->i[k], &o.i[k]);
            });
        }
    }
    if (t == Type::Double) {
        switch (op) {
        case Arith::Add:
            return arith2(t, std::move(a), std::move(b), [](V v, int r, Vec& o) {
                const auto k = static_cast<size_t>(r);
                o.d[k] = v[0]->d[k] + v[1]->d[k];
            });
        case Arith::Sub:
            return arith2(t, std::move(a), std::move(b), [](V v, int r, Vec& o) {
                const auto k = static_cast<size_t>(r);
                o.d[k] = v[0]->d[k] - v[1]->d[k];
            });
        case Arith::Mul:
            return arith2(t, std::move(a), std::move(b), [](V v, int r, Vec& o) {
                const auto k = static_cast<size_t>(r);
                o.d[k] = v[0]->d[k] * v[1]->d[k];
            });
        case Arith::Div:
            return arith2(t, std::move(a), std::move(b), [](V v, int r, Vec& o) {
                const auto k = static_cast<size_t>(r);
                if (v[1]->d[k] == 0)
                    o.null[k] = 1;
                else
                    o.d[k] = v[0]->d[k] / v[1]->d[k];
            });
        }
    }
    auto exact = [](auto f) {
        return [f](V v, int r, Vec& o) {
            const auto k = static_cast<size_t>(r);
            if (const std::optional<Decimal> x = f(v[0]->m[k], v[1]->m[k]))
                o.m[k] = *x;
            else
                o.null[k] = 1;
        };
    };
    switch (op) {
    case Arith::Add:
        return arith2(t, std::move(a), std::move(b),
                      exact([](const Decimal& x, const Decimal& y) { return addDecimals(x, y); }));
    case Arith::Sub:
        return arith2(t, std::move(a), std::move(b), exact([](const Decimal& x, const Decimal& y) {
                          return subtractDecimals(x, y);
                      }));
    case Arith::Mul:
        return arith2(t, std::move(a), std::move(b), exact([](const Decimal& x, const Decimal& y) {
                          return multiplyDecimals(x, y);
                      }));
    default:
        return arith2(t, std::move(a), std::move(b), exact([](const Decimal& x, const Decimal& y) {
                          return divideDecimals(x, y, kDivisionScale);
                      }));
    }
}

NodePtr makeNegate(NodePtr a) {
    const Type t = a->type;
    using V = const Vec* const*;
    return mapStrict(t, std::move(a), [t](V v, int r, Vec& o) {
        const auto k = static_cast<size_t>(r);
        if (t == Type::Int)
            o.null[k] = __builtin_sub_overflow(int64_t(0), v[0]->i[k], &o.i[k]);
        else if (t == Type::Double)
            o.d[k] = -v[0]->d[k];
        else
            o.m[k] = Decimal{-v[0]->m[k].mantissa, v[0]->m[k].scale};
    });
}

namespace {

template <class T> int order(const T& x, const T& y) {
    return x < y ? -1 : (y < x ? 1 : 0);
}

bool holds(Cmp op, int c) {
    switch (op) {
    case Cmp::Eq:
        return c == 0;
    case Cmp::Ne:
        return c != 0;
    case Cmp::Lt:
        return c < 0;
    case Cmp::Le:
        return c <= 0;
    case Cmp::Gt:
        return c > 0;
    case Cmp::Ge:
        return c >= 0;
    }
    return false;
}

} // namespace

NodePtr makeCompare(Cmp op, NodePtr a, NodePtr b) {
    Type t = a->type == Type::Null ? b->type : a->type;
    if ((a->type == Type::Double || b->type == Type::Double) &&
        (a->type != Type::Text && b->type != Type::Text))
        t = Type::Double;
    else if (a->type == Type::Decimal || b->type == Type::Decimal)
        t = Type::Decimal;
    a = castTo(std::move(a), t);
    b = castTo(std::move(b), t);
    using V = const Vec* const*;
    auto make = [&](auto cmp) {
        return arith2(Type::Bool, std::move(a), std::move(b), [op, cmp](V v, int r, Vec& o) {
            o.i[static_cast<size_t>(r)] = holds(op, cmp(*v[0], *v[1], static_cast<size_t>(r)));
        });
    };
    switch (t) {
    case Type::Double:
        return make(
            [](const Vec& x, const Vec& y, size_t k) { return compareDoubles(x.d[k], y.d[k]); });
    case Type::Decimal:
        return make([](const Vec& x, const Vec& y, size_t k) { return compare(x.m[k], y.m[k]); });
    case Type::Text:
        return make(
            [](const Vec& x, const Vec& y, size_t k) { return ansiCompare(x.t[k], y.t[k]); });
    default:
        return make([](const Vec& x, const Vec& y, size_t k) { return order(x.i[k], y.i[k]); });
    }
}

NodePtr makeIsNull(NodePtr a, bool negate) {
    std::vector<NodePtr> args;
    args.push_back(std::move(a));
    return mapAny(Type::Bool, std::move(args), [negate](const Vec* const* v, int r, Vec& o) {
        o.i[static_cast<size_t>(r)] = (v[0]->null[static_cast<size_t>(r)] != 0) != negate;
    });
}

namespace {

// A truth value of SQL: 1 true, 0 false, -1 unknown.
int truth(const Vec& v, size_t k) {
    return v.null[k] ? -1 : (v.i[k] != 0);
}

void setTruth(Vec& o, size_t k, int t) {
    o.null[k] = t < 0;
    o.i[k] = t > 0;
}

} // namespace

NodePtr makeAnd(NodePtr a, NodePtr b) {
    std::vector<NodePtr> args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    return mapAny(Type::Bool, std::move(args), [](const Vec* const* v, int r, Vec& o) {
        const auto k = static_cast<size_t>(r);
        const int x = truth(*v[0], k), y = truth(*v[1], k);
        setTruth(o, k, x == 0 || y == 0 ? 0 : (x < 0 || y < 0 ? -1 : 1));
    });
}

NodePtr makeOr(NodePtr a, NodePtr b) {
    std::vector<NodePtr> args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    return mapAny(Type::Bool, std::move(args), [](const Vec* const* v, int r, Vec& o) {
        const auto k = static_cast<size_t>(r);
        const int x = truth(*v[0], k), y = truth(*v[1], k);
        setTruth(o, k, x == 1 || y == 1 ? 1 : (x < 0 || y < 0 ? -1 : 0));
    });
}

NodePtr makeNot(NodePtr a) {
    return mapStrict(Type::Bool, std::move(a), [](const Vec* const* v, int r, Vec& o) {
        o.i[static_cast<size_t>(r)] = v[0]->i[static_cast<size_t>(r)] == 0;
    });
}

NodePtr toText(NodePtr a) {
    const Type t = a->type;
    if (t == Type::Text)
        return a;
    if (t == Type::Null)
        return makeConstant(Value::null(), Type::Text);
    const FieldKind dated = a->dateKind;
    return mapStrict(Type::Text, std::move(a), [t, dated](const Vec* const* v, int r, Vec& o) {
        const auto k = static_cast<size_t>(r);
        const Vec& x = *v[0];
        switch (t) {
        case Type::Int: {
            char text[24];
            const auto end = std::to_chars(text, text + sizeof text, x.i[k]).ptr;
            o.t[k].assign(text, end);
            break;
        }
        case Type::Decimal:
            o.t[k] = x.m[k].toString();
            break;
        case Type::Bool:
            o.t[k] = x.i[k] ? "true" : "false";
            break;
        case Type::Double:
            o.t[k] = Value::fromDouble(x.d[k]).displayText();
            break;
        default:
            o.t[k] = dated == FieldKind::Date   ? formatDateMicros(x.i[k])
                     : dated == FieldKind::Time ? formatTimeMicros(x.i[k])
                                                : formatDateTimeMicros(x.i[k]);
        }
    });
}

NodePtr makeConcat(NodePtr a, NodePtr b) {
    return arith2(Type::Text, toText(std::move(a)), toText(std::move(b)),
                  [](const Vec* const* v, int r, Vec& o) {
                      const auto k = static_cast<size_t>(r);
                      o.t[k].assign(v[0]->t[k]).append(v[1]->t[k]);
                  });
}

namespace {

void copyRow(const Vec& from, Vec& to, size_t k, Type t) {
    to.null[k] = from.null[k];
    if (from.null[k])
        return;
    switch (t) {
    case Type::Bool:
    case Type::Int:
    case Type::Date:
        to.i[k] = from.i[k];
        break;
    case Type::Double:
        to.d[k] = from.d[k];
        break;
    case Type::Decimal:
        to.m[k] = from.m[k];
        break;
    case Type::Text:
        to.t[k] = from.t[k];
        break;
    case Type::Null:
        break;
    }
}

} // namespace

NodePtr makeCase(std::vector<NodePtr> conditions, std::vector<NodePtr> values, NodePtr otherwise,
                 Type t) {
    const size_t pairs = conditions.size();
    const FieldKind dated = values.front()->dateKind;
    std::vector<NodePtr> args;
    for (size_t p = 0; p < pairs; ++p) {
        args.push_back(std::move(conditions[p]));
        args.push_back(castTo(std::move(values[p]), t));
    }
    if (otherwise)
        args.push_back(castTo(std::move(otherwise), t));
    const bool hasElse = args.size() > 2 * pairs;
    NodePtr n = mapAny(t, std::move(args), [pairs, hasElse, t](const Vec* const* v, int r, Vec& o) {
        const auto k = static_cast<size_t>(r);
        for (size_t p = 0; p < pairs; ++p)
            if (truth(*v[2 * p], k) == 1) {
                copyRow(*v[2 * p + 1], o, k, t);
                return;
            }
        if (hasElse)
            copyRow(*v[2 * pairs], o, k, t);
        else
            o.null[k] = 1;
    });
    n->dateKind = dated;
    return n;
}

NodePtr makeCoalesce(std::vector<NodePtr> values, Type t) {
    const FieldKind dated = values.front()->dateKind;
    for (NodePtr& v : values)
        v = castTo(std::move(v), t);
    const size_t count = values.size();
    NodePtr n = mapAny(t, std::move(values), [count, t](const Vec* const* v, int r, Vec& o) {
        const auto k = static_cast<size_t>(r);
        for (size_t p = 0; p < count; ++p)
            if (!v[p]->null[k]) {
                copyRow(*v[p], o, k, t);
                return;
            }
        o.null[k] = 1;
    });
    n->dateKind = dated;
    return n;
}

} // namespace rg::calc
