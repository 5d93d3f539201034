#include "grid/showas.h"

#include "common/datetime.h"
#include "common/error.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace rg {
namespace {

constexpr ShowAsMode kModes[] = {
    {ShowValuesAs::Value, "value", "数值", false, false},
    {ShowValuesAs::PercentOfTotal, "pct-total", "占总计百分比", true, true},
    {ShowValuesAs::PercentOfParent, "pct-parent", "占上级百分比", true, true},
    {ShowValuesAs::RunningTotal, "running", "累计", false, true},
    {ShowValuesAs::Rank, "rank", "排名", false, false},
    {ShowValuesAs::DifferenceFromPrevious, "diff-prev", "环比差额", false, false},
    {ShowValuesAs::RatioToPrevious, "ratio-prev", "环比", true, false},
    {ShowValuesAs::DifferenceFromYearBefore, "diff-year", "同比差额", false, false},
    {ShowValuesAs::RatioToYearBefore, "ratio-year", "同比", true, false},
    {ShowValuesAs::YearToDate, "ytd", "本年累计", false, true},
};

// A group's value as a number: exact, a double, or none (an empty, failed or text slot).
struct Num {
    enum class Kind { None, Exact, Float } kind = Kind::None;
    BigDecimal exact;
    double d = 0;
};

Num numOf(const SummaryValue& v) {
    Num n;
    if (v.kind() == SummaryValue::Kind::Exact) {
        n.kind = Num::Kind::Exact;
        n.exact = v.exact();
    } else if (v.kind() == SummaryValue::Kind::Float && !v.micros()) {
        n.kind = Num::Kind::Float;
        n.d = v.number();
    }
    return n;
}

double toDouble(const Num& n) {
    return n.kind == Num::Kind::Exact ? n.exact.toDouble() : n.d;
}

SummaryValue valueOf(const Num& n) {
    switch (n.kind) {
    case Num::Kind::Exact:
        return SummaryValue::exactValue(n.exact);
    case Num::Kind::Float:
        return SummaryValue::floatValue(n.d);
    case Num::Kind::None:
        break;
    }
    return {};
}

Num plus(const Num& a, const Num& b, bool negateB = false) {
    Num r;
    if (a.kind == Num::Kind::None || b.kind == Num::Kind::None)
        return r;
    if (a.kind == Num::Kind::Exact && b.kind == Num::Kind::Exact) {
        BigDecimal nb = b.exact;
        if (negateB)
            nb.mantissa = -nb.mantissa;
        r.kind = Num::Kind::Exact;
        r.exact = BigDecimal::add(a.exact, nb);
        return r;
    }
    r.kind = Num::Kind::Float;
    r.d = negateB ? toDouble(a) - toDouble(b) : toDouble(a) + toDouble(b);
    return r;
}

int compareNums(const Num& a, const Num& b) {
    if (a.kind == Num::Kind::Exact && b.kind == Num::Kind::Exact)
        return compare(a.exact, b.exact);
    const double x = toDouble(a), y = toDouble(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// Both mantissas at the larger of the two scales.
std::pair<mpz_class, mpz_class> aligned(const BigDecimal& a, const BigDecimal& b) {
    const int s = std::max(a.scale, b.scale);
    mpz_class x = a.mantissa, y = b.mantissa, p;
    mpz_ui_pow_ui(p.get_mpz_t(), 10, static_cast<unsigned long>(s - a.scale));
    x *= p;
    mpz_ui_pow_ui(p.get_mpz_t(), 10, static_cast<unsigned long>(s - b.scale));
    y *= p;
    return {x, y};
}

mpz_class percentScale() {
    mpz_class p;
    mpz_ui_pow_ui(p.get_mpz_t(), 10, kPercentPlaces + 2);
    return p;
}

// a / b as a percent: exact operands rounded half away from zero once, at kPercentPlaces;
// doubles as doubles (their text rounds them). None when b is none or zero.
SummaryValue percentOf(const Num& a, const Num& b) {
    if (a.kind == Num::Kind::None || b.kind == Num::Kind::None)
        return {};
    if (a.kind == Num::Kind::Exact && b.kind == Num::Kind::Exact) {
        if (b.exact.isZero())
            return {};
        auto [x, y] = aligned(a.exact, b.exact);
        x *= percentScale();
        if (y < 0) {
            x = -x;
            y = -y;
        }
        // Half away from zero: |x| + y/2 truncated, the sign put back.
        mpz_class q = (abs(x) * 2 + y) / (y * 2);
        if (x < 0)
            q = -q;
        return SummaryValue::exactValue(BigDecimal{q, kPercentPlaces});
    }
    const double y = toDouble(b);
    if (y == 0 || !std::isfinite(y))
        return {};
    return SummaryValue::floatValue(toDouble(a) / y * 100);
}

// The shares of `members` in their sum, in units of 10^-kPercentPlaces percent: each the
// exact share rounded down, then one unit more for the members with the largest remainders
// until they add up to exactly 100 %. Members without a value get none; none at all when
// the sum is zero or a value is no finite number.
void largestRemainderShares(const std::vector<Num>& values, std::vector<SummaryValue>& out) {
    out.assign(values.size(), SummaryValue{});
    std::vector<BigDecimal> exact(values.size());
    std::vector<bool> has(values.size(), false);
    BigDecimal sum;
    for (size_t i = 0; i < values.size(); ++i) {
        const Num& n = values[i];
        if (n.kind == Num::Kind::None)
            continue;
        if (n.kind == Num::Kind::Float && !std::isfinite(n.d))
            return;
        exact[i] = n.kind == Num::Kind::Exact ? n.exact : BigDecimal::exactDouble(n.d);
        has[i] = true;
        sum = BigDecimal::add(sum, exact[i]);
    }
    if (sum.isZero())
        return;
    const mpz_class scale = percentScale();
    std::vector<mpz_class> units(values.size()), rest(values.size());
    mpz_class given = 0;
    std::vector<size_t> order;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!has[i])
            continue;
        auto [x, y] = aligned(exact[i], sum);
        x *= scale;
        if (y < 0) {
            x = -x;
            y = -y;
        }
        mpz_fdiv_qr(units[i].get_mpz_t(), rest[i].get_mpz_t(), x.get_mpz_t(), y.get_mpz_t());
        given += units[i];
        order.push_back(i);
    }
    // Each rest is below one unit, so fewer units are missing than there are members.
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return rest[a] > rest[b]; });
    mpz_class missing = scale - given;
    for (size_t k = 0; k < order.size() && missing > 0; ++k, --missing)
        units[order[k]] += 1;
    for (size_t i : order)
        out[i] = SummaryValue::exactValue(BigDecimal{units[i], kPercentPlaces});
}

// ---- date intervals ----

bool isDateInterval(const IntervalSpec& spec) {
    return spec.kind != GroupInterval::None && spec.kind != GroupInterval::Range;
}

const int64_t kDay0 = daysFromCivil(1899, 12, 30);

// The days since 1970-01-01 of a group's interval start; none for a value that is no date.
std::optional<int64_t> startDays(const Value& v) {
    if (!v.isDateLike() || !isDateMicros(v.micros()))
        return std::nullopt;
    const int64_t us = v.micros();
    int64_t q = us / kMicrosPerDay;
    if (us % kMicrosPerDay != 0 && us < 0)
        --q;
    return q + kDay0;
}

int64_t monthsBack(int64_t days, int months) {
    const CivilDay c = civilFromDays(days);
    const int64_t m = c.year * 12 + (c.month - 1) - months;
    const int64_t y = m >= 0 ? m / 12 : (m - 11) / 12;
    return daysFromCivil(y, static_cast<unsigned>(m - y * 12 + 1), 1);
}

int64_t previousInterval(int64_t days, GroupInterval kind) {
    switch (kind) {
    case GroupInterval::Day:
        return days - 1;
    case GroupInterval::Week:
        return days - 7;
    case GroupInterval::Month:
        return monthsBack(days, 1);
    case GroupInterval::Quarter:
        return monthsBack(days, 3);
    default:
        return monthsBack(days, 12);
    }
}

// The same interval one year before: the same day (none for 29 February), the week 52
// weeks before, the same month, quarter or the year before.
std::optional<int64_t> yearBefore(int64_t days, GroupInterval kind) {
    if (kind == GroupInterval::Week)
        return days - 364;
    if (kind != GroupInterval::Day)
        return monthsBack(days, 12);
    const CivilDay c = civilFromDays(days);
    const int64_t d =
        daysFromCivil(c.year - 1, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day));
    const CivilDay back = civilFromDays(d);
    if (back.month != c.month || back.day != c.day)
        return std::nullopt;
    return d;
}

// One set of sibling groups in shown order and their values of one item.
struct Siblings {
    std::vector<int> groups;
    std::vector<Num> values;
};

void showSiblings(RowTree& tree, const Siblings& s, size_t item, ShowValuesAs mode,
                  const IntervalSpec& interval) {
    const size_t n = s.groups.size();
    std::vector<SummaryValue> shown(n);
    auto dayOf = [&](size_t i) { return startDays(tree.group(s.groups[i]).value); };
    std::map<int64_t, size_t> byDay;
    if (isDateInterval(interval))
        for (size_t i = 0; i < n; ++i)
            if (const auto d = dayOf(i))
                byDay.emplace(*d, i);
    auto find = [&](std::optional<int64_t> d) -> const Num* {
        const auto it = d ? byDay.find(*d) : byDay.end();
        return it == byDay.end() ? nullptr : &s.values[it->second];
    };
    switch (mode) {
    case ShowValuesAs::PercentOfParent:
        largestRemainderShares(s.values, shown);
        break;
    case ShowValuesAs::RunningTotal: {
        Num sum;
        for (size_t i = 0; i < n; ++i) {
            sum = sum.kind == Num::Kind::None ? s.values[i] : plus(sum, s.values[i]);
            shown[i] = valueOf(sum);
        }
        break;
    }
    case ShowValuesAs::Rank: {
        // As RANK(): one more than the siblings with a greater value; NaN has no rank.
        std::vector<size_t> order;
        for (size_t i = 0; i < n; ++i)
            if (s.values[i].kind == Num::Kind::Exact ||
                (s.values[i].kind == Num::Kind::Float && !std::isnan(s.values[i].d)))
                order.push_back(i);
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return compareNums(s.values[a], s.values[b]) > 0; });
        for (size_t k = 0; k < order.size(); ++k) {
            const bool tie = k > 0 && compareNums(s.values[order[k - 1]], s.values[order[k]]) == 0;
            shown[order[k]] =
                tie ? shown[order[k - 1]]
                    : SummaryValue::exactValue(Decimal::fromInt(static_cast<int64_t>(k + 1)));
        }
        break;
    }
    case ShowValuesAs::DifferenceFromPrevious:
    case ShowValuesAs::RatioToPrevious:
    case ShowValuesAs::DifferenceFromYearBefore:
    case ShowValuesAs::RatioToYearBefore: {
        const bool yearly = mode == ShowValuesAs::DifferenceFromYearBefore ||
                            mode == ShowValuesAs::RatioToYearBefore;
        const bool ratio =
            mode == ShowValuesAs::RatioToPrevious || mode == ShowValuesAs::RatioToYearBefore;
        if (yearly && !isDateInterval(interval))
            break;
        for (size_t i = 0; i < n; ++i) {
            const Num* before = nullptr;
            if (isDateInterval(interval)) {
                const auto d = dayOf(i);
                if (d)
                    before = find(yearly ? yearBefore(*d, interval.kind)
                                         : std::optional(previousInterval(*d, interval.kind)));
            } else if (i > 0) {
                before = &s.values[i - 1];
            }
            if (!before)
                continue;
            shown[i] =
                ratio ? percentOf(s.values[i], *before) : valueOf(plus(s.values[i], *before, true));
        }
        break;
    }
    case ShowValuesAs::YearToDate: {
        if (!isDateInterval(interval))
            break;
        // Each year's intervals in order of their start, added up.
        Num sum;
        int64_t year = 0;
        for (const auto& [day, i] : byDay) {
            const int64_t y = civilFromDays(day).year;
            if (sum.kind == Num::Kind::None || y != year)
                sum = s.values[i];
            else
                sum = plus(sum, s.values[i]);
            year = y;
            shown[i] = valueOf(sum);
        }
        break;
    }
    case ShowValuesAs::Value:
    case ShowValuesAs::PercentOfTotal:
        break;
    }
    for (size_t i = 0; i < n; ++i)
        tree.group(s.groups[i]).shown[item] = std::move(shown[i]);
}

Siblings siblingsOf(const RowTree& tree, const std::vector<int>& groups, size_t item) {
    Siblings s;
    s.groups = groups;
    for (int g : groups) {
        const GroupRow& row = tree.group(g);
        s.values.push_back(item < row.values.size() ? numOf(row.values[item]) : Num{});
    }
    return s;
}

} // namespace

std::span<const ShowAsMode> ShowAsModes() {
    return kModes;
}

const ShowAsMode& ShowAsInfo(ShowValuesAs mode) {
    for (const ShowAsMode& m : kModes)
        if (m.mode == mode)
            return m;
    return kModes[0];
}

ShowValuesAs ShowAsFromName(std::string_view name) {
    for (const ShowAsMode& m : kModes)
        if (name == m.name || name == m.caption)
            return m.mode;
    throw Error("无法识别显示方式“" + std::string(name) + "”");
}

void CheckShowAsFits(ShowValuesAs mode, TdxSummaryType kind, const std::string& what) {
    const ShowAsMode& m = ShowAsInfo(mode);
    if (kind == TdxSummaryType::cstNone && mode != ShowValuesAs::Value)
        throw Error("“" + what + "”没有汇总，不能按“" + m.caption + "”显示");
    if (m.adds && kind != TdxSummaryType::cstSum && kind != TdxSummaryType::cstCount)
        throw Error("“" + what + "”不是合计或计数，不能按“" + m.caption + "”显示");
}

void ComputeShownValues(RowTree& tree, const std::vector<ShowValuesAs>& modes,
                        const std::vector<IntervalSpec>& intervals) {
    const bool any = std::any_of(modes.begin(), modes.end(),
                                 [](ShowValuesAs m) { return m != ShowValuesAs::Value; });
    for (int g = 0; g < tree.groupCount(); ++g) {
        GroupRow& row = tree.group(g);
        row.shown.clear();
        if (any)
            row.shown = row.values;
    }
    if (!any || tree.levels() == 0)
        return;
    // The sibling sets in shown order, and every level's groups for the shares of the whole.
    std::vector<std::vector<int>> sets(1), levels(static_cast<size_t>(tree.levels()));
    for (int i = 0; i < tree.topCount(); ++i)
        sets[0].push_back(tree.top(i).index);
    tree.walkGroups([&](int g) {
        const GroupRow& row = tree.group(g);
        levels[static_cast<size_t>(row.level)].push_back(g);
        if (!row.groups.empty())
            sets.push_back(row.groups);
        return true;
    });
    for (size_t item = 0; item < modes.size(); ++item) {
        const ShowValuesAs mode = modes[item];
        if (mode == ShowValuesAs::Value)
            continue;
        if (mode == ShowValuesAs::PercentOfTotal) {
            for (const std::vector<int>& level : levels) {
                const Siblings s = siblingsOf(tree, level, item);
                std::vector<SummaryValue> shares;
                largestRemainderShares(s.values, shares);
                for (size_t i = 0; i < level.size(); ++i)
                    tree.group(level[i]).shown[item] = std::move(shares[i]);
            }
            continue;
        }
        for (size_t k = 0; k < sets.size(); ++k) {
            if (sets[k].empty())
                continue;
            const int level = tree.group(sets[k].front()).level;
            const IntervalSpec interval = static_cast<size_t>(level) < intervals.size()
                                              ? intervals[static_cast<size_t>(level)]
                                              : IntervalSpec{};
            showSiblings(tree, siblingsOf(tree, sets[k], item), item, mode, interval);
        }
    }
}

SummaryValue ShownFooterValue(ShowValuesAs mode, const SummaryValue& value) {
    if (mode == ShowValuesAs::Value || mode == ShowValuesAs::RunningTotal ||
        mode == ShowValuesAs::YearToDate)
        return value;
    if (mode != ShowValuesAs::PercentOfTotal && mode != ShowValuesAs::PercentOfParent)
        return {};
    const Num n = numOf(value);
    if (n.kind == Num::Kind::None || (n.kind == Num::Kind::Exact && n.exact.isZero()) ||
        (n.kind == Num::Kind::Float && n.d == 0))
        return {};
    return SummaryValue::exactValue(BigDecimal{100, 0});
}

std::string FormatShownValue(ShowValuesAs mode, TdxSummaryType kind, const std::string& pattern,
                             SummaryValueKind valueKind, SummaryPlace place,
                             const SummaryValue& value, bool namesKind) {
    if (mode == ShowValuesAs::Value) {
        if (place == SummaryPlace::Footer)
            return FormatFooterValue(kind, pattern, valueKind, value, namesKind);
        return FormatSummaryValue(kind, pattern, valueKind, place, value);
    }
    if (value.kind() != SummaryValue::Kind::Exact && value.kind() != SummaryValue::Kind::Float)
        return {};
    const ShowAsMode& m = ShowAsInfo(mode);
    std::string text;
    if (m.percent)
        text = FormatFloatPattern("0." + std::string(kPercentPlaces, '0'), value) + "%";
    else if (mode == ShowValuesAs::Rank || (pattern.empty() && kind == TdxSummaryType::cstCount))
        text = FormatFloatPattern("0;-0", value);
    else
        text = FormatFloatPattern(pattern.empty() ? "0.00;-0.00" : pattern, value);
    // A group row names the mode as it names the kind; a footer cell where its column's
    // footers are of several kinds.
    if (place == SummaryPlace::GroupRow)
        return std::string("(") + m.caption + "=" + text + ")";
    return namesKind ? m.caption + ("=" + text) : text;
}

} // namespace rg
