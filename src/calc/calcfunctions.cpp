#include "calc/calcdecimal.h"
#include "calc/calcnodes.h"
#include "calc/mapnode.h"
#include "common/datetime.h"

#include <cmath>
#include <limits>

namespace rg::calc {
namespace {

using V = const Vec* const*;

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

int64_t characters(const std::string& s) {
    int64_t n = 0;
    for (const char c : s)
        n += !continuation(c);
    return n;
}

// Byte offset of character `n` (0-based), the size when the text is shorter.
size_t offsetOf(const std::string& s, int64_t n) {
    size_t i = 0;
    for (; i < s.size() && n > 0; --n)
        for (++i; i < s.size() && continuation(s[i]); ++i) {
        }
    return i;
}

// Characters first .. first + count - 1 (0-based, either clipped to the text).
void slice(const std::string& s, int64_t first, int64_t count, std::string& out) {
    if (first < 0) {
        count += first;
        first = 0;
    }
    if (count <= 0) {
        out.clear();
        return;
    }
    const size_t b = offsetOf(s, first);
    const size_t e = b + offsetOf(s.substr(b), count);
    out.assign(s, b, e - b);
}

// Day count since 1970-01-01 of a date's microseconds (day 0 of the serials is 1899-12-30).
int64_t dayOf(int64_t us) {
    static const int64_t kEpoch = daysFromCivil(1899, 12, 30);
    return (us >= 0 ? us / kMicrosPerDay : -((-us + kMicrosPerDay - 1) / kMicrosPerDay)) + kEpoch;
}

template <class F> NodePtr datePart(NodePtr a, F part) {
    return mapStrict(Type::Int, std::move(a), [part](V v, int r, Vec& o) {
        const auto k = static_cast<size_t>(r);
        const int64_t us = v[0]->i[k];
        if (isInfinityMicros(us)) {
            o.null[k] = 1;
            return;
        }
        o.i[k] = part(civilFromDays(dayOf(us)));
    });
}

NodePtr roundNode(NodePtr a, int places) {
    switch (a->type) {
    case Type::Decimal:
        return mapStrict(Type::Decimal, std::move(a), [places](V v, int r, Vec& o) {
            o.m[static_cast<size_t>(r)] = roundDecimal(v[0]->m[static_cast<size_t>(r)], places);
        });
    case Type::Double: {
        const double f = std::pow(10.0, places);
        return mapStrict(Type::Double, std::move(a), [f](V v, int r, Vec& o) {
            o.d[static_cast<size_t>(r)] = std::round(v[0]->d[static_cast<size_t>(r)] * f) / f;
        });
    }
    default:
        return a; // whole numbers are their own rounding
    }
}

NodePtr absNode(NodePtr a) {
    const Type t = a->type;
    return mapStrict(t, std::move(a), [t](V v, int r, Vec& o) {
        const auto k = static_cast<size_t>(r);
        if (t == Type::Int) {
            const int64_t x = v[0]->i[k];
            o.null[k] = x == std::numeric_limits<int64_t>::min();
            o.i[k] = x < 0 ? -x : x;
        } else if (t == Type::Double) {
            o.d[k] = std::fabs(v[0]->d[k]);
        } else {
            const Decimal& x = v[0]->m[k];
            o.m[k] = Decimal{x.mantissa < 0 ? -x.mantissa : x.mantissa, x.scale};
        }
    });
}

} // namespace

NodePtr makeFunction(Fn fn, std::vector<NodePtr> args, int places) {
    switch (fn) {
    case Fn::Round:
        return roundNode(std::move(args[0]), places);
    case Fn::Abs:
        return absNode(std::move(args[0]));
    case Fn::Year:
        return datePart(std::move(args[0]), [](CivilDay d) { return d.year; });
    case Fn::Quarter:
        return datePart(std::move(args[0]), [](CivilDay d) { return (d.month + 2) / 3; });
    case Fn::Month:
        return datePart(std::move(args[0]), [](CivilDay d) { return d.month; });
    case Fn::Day:
        return datePart(std::move(args[0]), [](CivilDay d) { return d.day; });
    case Fn::Days:
        return mapStrict(Type::Int, std::move(args), [](V v, int r, Vec& o) {
            const auto k = static_cast<size_t>(r);
            const int64_t a = v[0]->i[k], b = v[1]->i[k];
            if (isInfinityMicros(a) || isInfinityMicros(b))
                o.null[k] = 1;
            else
                o.i[k] = dayOf(b) - dayOf(a);
        });
    case Fn::Left:
        return mapStrict(Type::Text, std::move(args), [](V v, int r, Vec& o) {
            const auto k = static_cast<size_t>(r);
            slice(v[0]->t[k], 0, v[1]->i[k], o.t[k]);
        });
    case Fn::Right:
        return mapStrict(Type::Text, std::move(args), [](V v, int r, Vec& o) {
            const auto k = static_cast<size_t>(r);
            const int64_t n = std::max<int64_t>(v[1]->i[k], 0), size = characters(v[0]->t[k]);
            slice(v[0]->t[k], size - std::min(n, size), n, o.t[k]);
        });
    case Fn::Substring: {
        const bool counted = args.size() == 3;
        return mapStrict(Type::Text, std::move(args), [counted](V v, int r, Vec& o) {
            const auto k = static_cast<size_t>(r);
            const int64_t first = v[1]->i[k] - 1;
            const int64_t count = counted ? v[2]->i[k] : std::numeric_limits<int64_t>::max() / 2;
            if (count < 0)
                o.null[k] = 1; // as the databases refuse a negative length
            else
                slice(v[0]->t[k], first, count, o.t[k]);
        });
    }
    case Fn::Length:
        return mapStrict(Type::Int, std::move(args), [](V v, int r, Vec& o) {
            o.i[static_cast<size_t>(r)] = characters(v[0]->t[static_cast<size_t>(r)]);
        });
    case Fn::Upper:
        return mapStrict(Type::Text, std::move(args), [](V v, int r, Vec& o) {
            std::string& s = o.t[static_cast<size_t>(r)];
            s = v[0]->t[static_cast<size_t>(r)];
            for (char& c : s)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
        });
    case Fn::Trim:
        return mapStrict(Type::Text, std::move(args), [](V v, int r, Vec& o) {
            const std::string& s = v[0]->t[static_cast<size_t>(r)];
            const size_t b = s.find_first_not_of(' ');
            std::string& out = o.t[static_cast<size_t>(r)];
            if (b == std::string::npos)
                out.clear();
            else
                out.assign(s, b, s.find_last_not_of(' ') - b + 1);
        });
    }
    return nullptr;
}

} // namespace rg::calc
