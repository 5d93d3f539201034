#include "exprgen.h"

namespace calctest {
namespace {

char arithType(char a, char b) {
    if (a == 'd' || b == 'd')
        return 'd';
    return a == 'n' || b == 'n' ? 'n' : 'i';
}

Expr same(const std::string& s, char type) {
    return {s, s, s, type};
}

Expr wrap(const char* fn, const Expr& e, char type) {
    return {std::string(fn) + "(" + e.calc + ")", std::string(fn) + "(" + e.sqlite + ")",
            std::string(fn) + "(" + e.pg + ")", type};
}

char unify(char a, char b) {
    return a == b ? a : arithType(a, b);
}

} // namespace

Expr ExprGen::small() {
    switch (pick(4)) {
    case 0:
        return same("quantity", 'i');
    case 1:
        return same(std::to_string(pick(13)), 'i');
    case 2:
        return same("1.25", 'n');
    default:
        return same("0.5", 'n');
    }
}

Expr ExprGen::integer(int depth) {
    if (depth <= 0)
        return pick(2) ? same("quantity", 'i') : same(std::to_string(pick(30) - 5), 'i');
    switch (pick(6)) {
    case 0: {
        const Expr a = integer(depth - 1), b = integer(depth - 1);
        const char* op = pick(2) ? " + " : " - ";
        return {"(" + a.calc + op + b.calc + ")", "(" + a.sqlite + op + b.sqlite + ")",
                "(" + a.pg + op + b.pg + ")", 'i'};
    }
    case 1: {
        const Expr a = integer(depth - 1), b = small();
        if (b.type != 'i')
            return a;
        return {"(" + a.calc + " × " + b.calc + ")", "(" + a.sqlite + " * " + b.sqlite + ")",
                "(" + a.pg + " * " + b.pg + ")", 'i'};
    }
    case 2: {
        const Expr t = text(depth - 1);
        return {"LENGTH(" + t.calc + ")", "length(" + t.sqlite + ")", "char_length(" + t.pg + ")",
                'i'};
    }
    case 3: {
        const char* parts[][3] = {
            {"YEAR", "%Y", "YEAR"}, {"MONTH", "%m", "MONTH"}, {"DAY", "%d", "DAY"}};
        const auto& p = parts[pick(3)];
        return {std::string(p[0]) + "(order_date)",
                std::string("CAST(strftime('") + p[1] + "', order_date) AS INTEGER)",
                std::string("CAST(EXTRACT(") + p[2] + " FROM order_date) AS bigint)", 'i'};
    }
    case 4:
        return {"DAYS('2023-01-01', order_date)",
                "CAST(julianday(order_date) - julianday('2023-01-01') AS INTEGER)",
                "(order_date - DATE '2023-01-01')", 'i'};
    default: {
        const Expr c = boolean(depth - 1), a = integer(depth - 1), b = integer(depth - 1);
        return {"IF(" + c.calc + ", " + a.calc + ", " + b.calc + ")",
                "CASE WHEN " + c.sqlite + " THEN " + a.sqlite + " ELSE " + b.sqlite + " END",
                "CASE WHEN " + c.pg + " THEN " + a.pg + " ELSE " + b.pg + " END", 'i'};
    }
    }
}

Expr ExprGen::number(int depth) {
    if (depth <= 0) {
        switch (pick(5)) {
        case 0:
            return same("amount", 'n');
        case 1:
            return same("unit_price", 'n');
        case 2:
            return same("discount", 'd');
        case 3:
            return same("quantity", 'i');
        default:
            return small();
        }
    }
    switch (pick(8)) {
    case 0:
    case 1: {
        const Expr a = number(depth - 1), b = number(depth - 1);
        const bool plus = pick(2);
        const char* op = plus ? " + " : " - ";
        const char* shown = plus ? " + " : " − ";
        return {"(" + a.calc + shown + b.calc + ")", "(" + a.sqlite + op + b.sqlite + ")",
                "(" + a.pg + op + b.pg + ")", arithType(a.type, b.type)};
    }
    case 2: {
        const Expr a = number(depth - 1), b = small();
        return {"(" + a.calc + " * " + b.calc + ")", "(" + a.sqlite + " * " + b.sqlite + ")",
                "(" + a.pg + " * " + b.pg + ")", arithType(a.type, b.type)};
    }
    case 3: {
        // Divisors that are zero on some rows.
        const Expr a = number(depth - 1);
        const Expr b = pick(2) ? number(depth - 1)
                               : Expr{"(quantity - 10)", "(quantity - 10)", "(quantity - 10)", 'i'};
        const char t = a.type == 'd' || b.type == 'd' ? 'd' : 'n';
        const std::string pgDiv = t == 'd' ? "(" + a.pg + " / NULLIF(" + b.pg + ", 0))"
                                           : "ROUND((" + a.pg +
                                                 " + 0.000000000000000000000000) / NULLIF(" + b.pg +
                                                 ", 0), 10)";
        return {"(" + a.calc + " ÷ " + b.calc + ")",
                "(CAST(" + a.sqlite + " AS REAL) / " + b.sqlite + ")", pgDiv, t};
    }
    case 4: {
        const Expr a = number(depth - 1);
        return {"(-" + a.calc + ")", "(-" + a.sqlite + ")", "(-" + a.pg + ")", a.type};
    }
    case 5: {
        const Expr a = number(depth - 1);
        return wrap("ABS", a, a.type);
    }
    case 6: {
        const Expr a = number(depth - 1), b = number(depth - 1);
        return {"COALESCE(" + a.calc + ", " + b.calc + ")",
                "COALESCE(" + a.sqlite + ", " + b.sqlite + ")",
                "COALESCE(" + a.pg + ", " + b.pg + ")", unify(a.type, b.type)};
    }
    default: {
        const Expr a = number(depth - 1);
        if (!pg_ || a.type == 'd')
            return a;
        const std::string places = std::to_string(pick(4));
        return {"ROUND(" + a.calc + ", " + places + ")", "", "ROUND(" + a.pg + ", " + places + ")",
                a.type};
    }
    }
}

Expr ExprGen::text(int depth) {
    if (depth <= 0) {
        switch (pick(4)) {
        case 0:
            return same("region", 't');
        case 1:
            return same("product", 't');
        case 2:
            return same("remark", 't');
        default:
            return same("' a''b '", 't');
        }
    }
    const Expr a = text(depth - 1);
    switch (pick(6)) {
    case 0:
        return wrap("UPPER", a, 't');
    case 1:
        return wrap("TRIM", a, 't');
    case 2: {
        const std::string k = std::to_string(pick(6));
        return {"LEFT(" + a.calc + ", " + k + ")", "substr(" + a.sqlite + ", 1, " + k + ")",
                "left(" + a.pg + ", " + k + ")", 't'};
    }
    case 3: {
        const std::string k = std::to_string(1 + pick(5));
        return {"RIGHT(" + a.calc + ", " + k + ")", "substr(" + a.sqlite + ", -" + k + ")",
                "right(" + a.pg + ", " + k + ")", 't'};
    }
    case 4: {
        const std::string s = std::to_string(1 + pick(4)), l = std::to_string(pick(4));
        return {"SUBSTRING(" + a.calc + ", " + s + ", " + l + ")",
                "substr(" + a.sqlite + ", " + s + ", " + l + ")",
                "substring(" + a.pg + " from " + s + " for " + l + ")", 't'};
    }
    default: {
        const Expr b = text(depth - 1);
        return {"(" + a.calc + " || " + b.calc + ")", "(" + a.sqlite + " || " + b.sqlite + ")",
                "(" + a.pg + " || " + b.pg + ")", 't'};
    }
    }
}

Expr ExprGen::boolean(int depth) {
    if (depth <= 0)
        return pick(3) ? same("paid", 'b') : same("(remark IS NULL)", 'b');
    switch (pick(5)) {
    case 0: {
        static const char* ops[] = {"=", "<>", "<", "<=", ">", ">="};
        const char* op = ops[pick(6)];
        // SQLite's doubles break ties that exact decimals keep: there only integers compare.
        const Expr a = pg_ ? number(depth - 1) : integer(depth - 1);
        const Expr b = pg_ ? number(depth - 1) : integer(depth - 1);
        return {"(" + a.calc + " " + op + " " + b.calc + ")",
                "(" + a.sqlite + " " + op + " " + b.sqlite + ")",
                "(" + a.pg + " " + op + " " + b.pg + ")", 'b'};
    }
    case 1: {
        const char* op = pick(2) ? " = " : " <> ";
        const Expr a = text(depth - 1), b = text(depth - 1);
        return {"(" + a.calc + op + b.calc + ")", "(" + a.sqlite + op + b.sqlite + ")",
                "(" + a.pg + op + b.pg + ")", 'b'};
    }
    case 2:
    case 3: {
        const char* op = pick(2) ? " AND " : " OR ";
        const Expr a = boolean(depth - 1), b = boolean(depth - 1);
        return {"(" + a.calc + op + b.calc + ")", "(" + a.sqlite + op + b.sqlite + ")",
                "(" + a.pg + op + b.pg + ")", 'b'};
    }
    default: {
        const Expr a = boolean(depth - 1);
        return {"(NOT " + a.calc + ")", "(NOT " + a.sqlite + ")", "(NOT " + a.pg + ")", 'b'};
    }
    }
}

Expr ExprGen::any(int depth) {
    switch (pick(4)) {
    case 0:
        return number(depth);
    case 1:
        return integer(depth);
    case 2:
        return text(depth);
    default:
        return boolean(depth);
    }
}

} // namespace calctest
