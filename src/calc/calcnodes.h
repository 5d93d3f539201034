#pragma once

// The compiled form of a calculated field: a tree of operations over column batches. Each
// node computes a whole batch of rows into a vector of its own in one virtual call, so the
// cost per row is that of the tight loops below, not of walking the tree.

#include "common/decimal.h"
#include "common/value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rg {

class ColumnData;

namespace calc {

enum class Type : uint8_t { Null, Bool, Int, Decimal, Double, Text, Date };

// The type as the messages name it: "整数", "小数", "文本" ...
const char* typeName(Type t);

// Fractional digits of a division's quotient (rounded half away from zero).
constexpr int kDivisionScale = 10;

// The values of one batch of rows: null flags, and the vector of the node's type (Bool,
// Int and Date in i, dates as microseconds).
struct Vec {
    int n = 0;
    std::vector<uint8_t> null;
    std::vector<int64_t> i;
    std::vector<double> d;
    std::vector<Decimal> m;
    std::vector<std::string> t;
    void reset(Type type, int rows);
};

// The rows first .. first + n - 1 of the input columns.
struct Batch {
    const std::vector<const ColumnData*>& columns;
    int64_t first;
    int n;
};

class Node {
public:
    explicit Node(Type t) : type(t) {}
    virtual ~Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    const Type type;
    FieldKind dateKind = FieldKind::Date; // which kind of date a Date node gives

    const Vec& run(const Batch& b) {
        eval(b, out_);
        return out_;
    }

protected:
    virtual void eval(const Batch& b, Vec& out) = 0;

private:
    Vec out_;
};

using NodePtr = std::unique_ptr<Node>;

// Leaves.
NodePtr makeConstant(const Value& v, Type t);
NodePtr makeColumn(int index, FieldKind kind);
Type typeOfKind(FieldKind kind);

// The value of `n` in type `to` (Int to Decimal or Double, Decimal to Double); n itself when
// it already is.
NodePtr castTo(NodePtr n, Type to);

// Both operands in one numeric type; + - * over it, / as a decimal (or a double), nulls and a
// zero divisor giving null, as does a result beyond 64-bit integers or 38 digits.
enum class Arith { Add, Sub, Mul, Div };
NodePtr makeArith(Arith op, NodePtr a, NodePtr b);
NodePtr makeNegate(NodePtr a);

// Operands of one type (Null left as is); a Boolean, null when either is.
enum class Cmp { Eq, Ne, Lt, Le, Gt, Ge };
NodePtr makeCompare(Cmp op, NodePtr a, NodePtr b);
NodePtr makeIsNull(NodePtr a, bool negate);

// Three-valued logic as SQL has it.
NodePtr makeAnd(NodePtr a, NodePtr b);
NodePtr makeOr(NodePtr a, NodePtr b);
NodePtr makeNot(NodePtr a);

// Texts of both operands joined; null when either is.
NodePtr makeConcat(NodePtr a, NodePtr b);
NodePtr toText(NodePtr a);

// CASE WHEN c1 THEN v1 ... ELSE e END over values of one type; `otherwise` may be null.
NodePtr makeCase(std::vector<NodePtr> conditions, std::vector<NodePtr> values, NodePtr otherwise,
                 Type t);
NodePtr makeCoalesce(std::vector<NodePtr> values, Type t);

// Functions of calcfunctions.cpp, their arguments already checked.
enum class Fn {
    Round,
    Abs,
    Year,
    Quarter,
    Month,
    Day,
    Days,
    Left,
    Right,
    Substring,
    Length,
    Upper,
    Trim
};
// `places` only for Round.
NodePtr makeFunction(Fn fn, std::vector<NodePtr> args, int places = 0);

} // namespace calc
} // namespace rg
