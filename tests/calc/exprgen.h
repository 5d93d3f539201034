#pragma once

// Random expressions over the demo sales table, each in the calculated fields' language and
// as SQL of SQLite and of PostgreSQL that computes the same value, operation by operation.

#include <random>
#include <string>

namespace calctest {

struct Expr {
    std::string calc, sqlite, pg;
    char type; // 'i' integer, 'n' decimal, 'd' double, 't' text, 'b' Boolean
};

class ExprGen {
public:
    // `postgres`: the expressions are for PostgreSQL, whose exact numerics allow rounding and
    // comparisons of decimals; SQLite computes those in doubles.
    ExprGen(unsigned seed, bool postgres) : rng_(seed), pg_(postgres) {}
    Expr any(int depth);
    Expr number(int depth);
    Expr integer(int depth);
    Expr text(int depth);
    Expr boolean(int depth);

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    Expr small();
    std::mt19937 rng_;
    bool pg_;
};

} // namespace calctest
