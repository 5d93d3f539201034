#include "grid/summaryengine.h"

#include "common/datetime.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "grid/gridkeys.h"
#include "grid/gridutil.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

// The summary values of a load: one pass over the records for each field summed, feeding
// every group level and footer that asks for it.

namespace rg {
namespace {

// The order of minima and maxima: NaN above every number, as PostgreSQL has it.
bool before(int64_t a, int64_t b) {
    return a < b;
}
bool before(int128 a, int128 b) {
    return a < b;
}
bool before(double a, double b) {
    return compareDoubles(a, b) < 0;
}

bool readsValue(TdxSummaryType k) {
    return k == TdxSummaryType::cstSum || k == TdxSummaryType::cstMin ||
           k == TdxSummaryType::cstMax || k == TdxSummaryType::cstAvg;
}

// Where a level's groups stand in the table (they stand together), and for each innermost
// group its ancestor's position among them. Level -1 is the summary footer.
struct Level {
    int level = -1;
    int start = 0;
    size_t buckets = 1;
    std::vector<int32_t> bucketOfInner;
};

Level levelOf(const RowTree& t, int level) {
    Level l;
    l.level = level;
    if (level < 0)
        return l;
    const int groups = t.groupCount();
    while (l.start < groups && t.group(l.start).level != level)
        ++l.start;
    l.buckets = 0;
    while (l.start + static_cast<int>(l.buckets) < groups &&
           t.group(l.start + static_cast<int>(l.buckets)).level == level)
        ++l.buckets;
    const int innerStart = groups - static_cast<int>(t.innermost().size()); // they close the table
    l.bucketOfInner.resize(t.innermost().size());
    for (size_t i = 0; i < t.innermost().size(); ++i) {
        int g = innerStart + static_cast<int>(i);
        while (t.group(g).level > level)
            g = t.group(g).parent;
        l.bucketOfInner[i] = g - l.start;
    }
    return l;
}

// Where one value goes: a slot of the group rows of a level, or a column's footer.
struct Target {
    int level; // -1: the footer of column `slot`
    int slot;
    TdxSummaryType kind;
};

// One pass over the records for a field and way of adding up (sums and averages add
// alike), feeding every level that asks for it at once.
struct Pass {
    int field;
    TdxSummaryType adds; // cstSum, cstMin or cstMax
    std::vector<Target> targets;
    std::vector<const Level*> levels;
    std::vector<std::vector<SummaryValue>> results; // a vector per level of it
};

// The passes of one computation. Records go in record order so that sums of doubles come
// out as they always did.
class Passes {
public:
    Passes(const DataSet& ds, const RowTree& t, const std::vector<int32_t>& innerOf)
        : ds_(ds), t_(t), innerOf_(innerOf), records_(ds.RecordCount()),
          levels_(static_cast<size_t>(t.levels()) + 1), ready_(levels_.size(), false) {}

    void add(int field, TdxSummaryType kind, Target target) {
        if (!readsValue(kind))
            return;
        const TdxSummaryType adds = kind == TdxSummaryType::cstAvg ? TdxSummaryType::cstSum : kind;
        auto it = std::find_if(passes_.begin(), passes_.end(),
                               [&](const Pass& p) { return p.field == field && p.adds == adds; });
        if (it == passes_.end())
            it = passes_.insert(passes_.end(), Pass{field, adds, {}, {}, {}});
        it->targets.push_back(target);
        Level* l = &levels_[static_cast<size_t>(target.level + 1)];
        if (!ready_[static_cast<size_t>(target.level + 1)]) {
            *l = levelOf(t_, target.level);
            ready_[static_cast<size_t>(target.level + 1)] = true;
        }
        if (std::find(it->levels.begin(), it->levels.end(), l) == it->levels.end())
            it->levels.push_back(l);
    }
    void run();
    // The values into the group rows of `t` and into `footers`.
    void scatter(RowTree& t, std::vector<SummaryValue>& footers) const;

private:
    void compute(Pass& pass, const std::atomic<bool>* stop) const;
    template <typename Read, typename Result>
    void typed(Pass& pass, const DataSet::ColumnView& v, const std::atomic<bool>* stop, Read read,
               Result result) const;
    void valueByValue(Pass& pass, const std::atomic<bool>* stop) const;
    // Only the interface thread reports progress; a helper thread stops early when told to.
    bool step(int rec, const std::atomic<bool>* stop) const {
        if ((rec & (kProgressStep - 1)) != 0)
            return true;
        if (!stop)
            reportProgress("正在分组", rec, records_);
        return !stop || !stop->load();
    }
    Value recordValue(int record, int field) const;

    const DataSet& ds_;
    const RowTree& t_;
    const std::vector<int32_t>& innerOf_;
    const int records_;
    std::vector<Pass> passes_;
    std::vector<Level> levels_; // by level + 1
    std::vector<bool> ready_;
};

Value Passes::recordValue(int record, int field) const {
    if (field < 0)
        return Value::fromInt(0); // an unbound item sums nothing
    const Field& f = ds_.Fields(field);
    const FieldKind k = f.Kind();
    if (k == FieldKind::Boolean || k == FieldKind::Blob || k == FieldKind::Graphic)
        throw Error(
            format("Cannot access field '%s' as type %s", f.DisplayName().c_str(), "Float"));
    return ds_.value(record, field);
}

// Integers add up in 128 bits and doubles as doubles, without a value per cell.
template <typename Read, typename Result>
void Passes::typed(Pass& pass, const DataSet::ColumnView& v, const std::atomic<bool>* stop,
                   Read read, Result result) const {
    using T = decltype(read(int64_t(0)));
    struct Acc {
        T value{};
        bool seen = false;
    };
    const bool sum = pass.adds == TdxSummaryType::cstSum;
    const bool min = pass.adds == TdxSummaryType::cstMin;
    auto add = [&](Acc& a, T x) {
        if (sum)
            a.value += x;
        else if (!a.seen || (min ? before(x, a.value) : before(a.value, x)))
            a.value = x;
        a.seen = true;
    };
    // The footer's total stays in a register; group levels go through their buckets.
    Acc total;
    bool footer = false;
    std::vector<const int32_t*> bucketsOf;
    std::vector<std::vector<Acc>> acc;
    for (const Level* l : pass.levels) {
        if (l->level < 0) {
            footer = true;
            continue;
        }
        bucketsOf.push_back(l->bucketOfInner.data());
        acc.emplace_back(l->buckets);
    }
    const size_t groupLevels = acc.size();
    for (int rec = 0; rec < records_; ++rec) {
        if (!step(rec, stop))
            return;
        const int64_t row = v.row(rec);
        if (v.column->isNull(row))
            continue;
        const T x = read(row);
        if (footer)
            add(total, x);
        if (groupLevels == 0)
            continue;
        const int32_t inner = innerOf_[static_cast<size_t>(rec)];
        for (size_t k = 0; k < groupLevels; ++k)
            add(acc[k][static_cast<size_t>(bucketsOf[k][inner])], x);
    }
    size_t k = 0;
    for (size_t i = 0; i < pass.levels.size(); ++i) {
        if (pass.levels[i]->level < 0) {
            pass.results[i].push_back(result(total.value, total.seen));
            continue;
        }
        for (const Acc& a : acc[k])
            pass.results[i].push_back(result(a.value, a.seen));
        ++k;
    }
}

void Passes::valueByValue(Pass& pass, const std::atomic<bool>* stop) const {
    const std::vector<const Level*>& levels = pass.levels;
    for (size_t k = 0; k < levels.size(); ++k)
        pass.results[k].resize(levels[k]->buckets);
    for (int rec = 0; rec < records_; ++rec) {
        if (!step(rec, stop))
            return;
        const Value x = recordValue(rec, pass.field);
        for (size_t k = 0; k < levels.size(); ++k) {
            const Level& l = *levels[k];
            const size_t b =
                l.level < 0
                    ? 0
                    : static_cast<size_t>(
                          l.bucketOfInner[static_cast<size_t>(innerOf_[static_cast<size_t>(rec)])]);
            pass.results[k][b].add(pass.adds, x);
        }
    }
}

void Passes::compute(Pass& pass, const std::atomic<bool>* stop) const {
    pass.results.assign(pass.levels.size(), {});
    const DataSet::ColumnView v =
        pass.field >= 0 ? ds_.columnView(pass.field) : DataSet::ColumnView{};
    const FieldKind fk = pass.field >= 0 ? ds_.Fields(pass.field).Kind() : FieldKind::Unknown;
    const bool sum = pass.adds == TdxSummaryType::cstSum;
    if (v.column && isDateKind(fk) && !v.column->holdsNonDates()) {
        // Dates and times keep microseconds: minima and maxima exactly, sums as serials.
        // Cells that hold no date go value by value below, as the numbers or texts they are.
        const bool time = fk == FieldKind::Time;
        if (sum) {
            typed(
                pass, v, stop,
                [&](int64_t row) { return serialOfMicros(v.column->intAt(row), time); },
                [&](double x, bool seen) {
                    return seen ? SummaryValue::floatValue(x) : SummaryValue::exactValue(Decimal{});
                });
        } else {
            typed(
                pass, v, stop, [&](int64_t row) { return v.column->intAt(row); },
                [&](int64_t x, bool seen) {
                    return seen ? SummaryValue::dateValue(x, time) : SummaryValue{};
                });
        }
    } else if (v.column && v.column->storage() == Storage::Int && fk != FieldKind::Boolean &&
               !isDateKind(fk)) {
        typed(
            pass, v, stop, [&](int64_t row) { return static_cast<int128>(v.column->intAt(row)); },
            [&](int128 x, bool seen) {
                return sum || seen ? SummaryValue::exactValue(Decimal{x, 0}) : SummaryValue{};
            });
    } else if (v.column && v.column->storage() == Storage::Double) {
        // A sum starts as the exact 0 and goes on in doubles from the first value.
        typed(
            pass, v, stop, [&](int64_t row) { return v.column->doubleAt(row); },
            [&](double x, bool seen) {
                if (!seen)
                    return sum ? SummaryValue::exactValue(Decimal{}) : SummaryValue{};
                return SummaryValue::floatValue(x);
            });
    } else {
        valueByValue(pass, stop);
    }
}

// Two fields or more: every other pass on a helper thread, so that a second core shares the
// work. It is joined before anything leaves, a cancel included.
void Passes::run() {
    std::atomic<bool> stop{false};
    std::exception_ptr helperError;
    std::thread helper;
    if (passes_.size() > 1 && records_ >= 4 * kProgressStep)
        helper = std::thread([&] {
            try {
                for (size_t p = 1; p < passes_.size(); p += 2)
                    compute(passes_[p], &stop);
            } catch (...) {
                helperError = std::current_exception();
            }
        });
    struct Join {
        std::thread& thread;
        std::atomic<bool>& stop;
        ~Join() {
            stop = true;
            if (thread.joinable())
                thread.join();
        }
    } join{helper, stop};
    const size_t stride = helper.joinable() ? 2 : 1;
    for (size_t p = 0; p < passes_.size(); p += stride)
        compute(passes_[p], nullptr);
    if (helper.joinable())
        helper.join();
    if (helperError)
        std::rethrow_exception(helperError);
}

void Passes::scatter(RowTree& t, std::vector<SummaryValue>& footers) const {
    for (const Pass& pass : passes_) {
        for (const Target& target : pass.targets) {
            const Level* l = &levels_[static_cast<size_t>(target.level + 1)];
            const size_t k = static_cast<size_t>(
                std::find(pass.levels.begin(), pass.levels.end(), l) - pass.levels.begin());
            if (target.level < 0) {
                footers[static_cast<size_t>(target.slot)] = pass.results[k][0];
                continue;
            }
            for (size_t b = 0; b < l->buckets; ++b)
                t.group(l->start + static_cast<int>(b)).values[static_cast<size_t>(target.slot)] =
                    pass.results[k][b];
        }
    }
}

} // namespace

std::vector<SummaryValue> SummaryEngine::compute(const DataSet& ds, RowTree& t,
                                                 const std::vector<int32_t>& innerOf,
                                                 const std::vector<FooterSource>& sources) const {
    std::vector<SummaryExpression> exprs = compileFormulas(ds, formulas_);
    // The summaries the formulas read, at every level and in the footer.
    const std::vector<AggregateRef> reads = formulaReads(exprs);
    const int itemCount = group_.SummaryItems.Count();
    const size_t slots = static_cast<size_t>(itemCount) + reads.size();
    for (int g = 0; g < t.groupCount(); ++g)
        t.group(g).values.assign(slots, SummaryValue{});
    std::vector<SummaryValue> footers(sources.size() + reads.size());
    Passes passes(ds, t, innerOf);
    for (int level = 0; level < t.levels(); ++level)
        if (const TdxDBGridSummaryGroup* group = groupOfLevel(level))
            for (int i = 0; i < std::min(group->SummaryItems.Count(), itemCount); ++i) {
                const TdxDBGridSummaryItem& item = group->SummaryItems.Items(i);
                passes.add(item.boundField, item.SummaryType(), {level, i, item.SummaryType()});
            }
    for (size_t c = 0; c < sources.size(); ++c)
        passes.add(sources[c].field, sources[c].kind, {-1, static_cast<int>(c), sources[c].kind});
    for (size_t r = 0; r < reads.size(); ++r) {
        const TdxSummaryType kind = SummaryTypeOfAggregate(reads[r].kind);
        for (int level = 0; level < t.levels(); ++level)
            passes.add(reads[r].field, kind, {level, itemCount + static_cast<int>(r), kind});
        passes.add(reads[r].field, kind, {-1, static_cast<int>(sources.size() + r), kind});
    }
    passes.run();
    passes.scatter(t, footers);
    for (int g = 0; g < t.groupCount(); ++g) {
        GroupRow& row = t.group(g);
        if (const TdxDBGridSummaryGroup* group = groupOfLevel(row.level))
            for (int i = 0; i < std::min(group->SummaryItems.Count(), itemCount); ++i)
                row.values[static_cast<size_t>(i)].finish(
                    group->SummaryItems.Items(i).SummaryType(), row.dataRows);
        for (size_t r = 0; r < reads.size(); ++r)
            row.values[static_cast<size_t>(itemCount) + r].finish(
                SummaryTypeOfAggregate(reads[r].kind), row.dataRows);
    }
    for (size_t c = 0; c < footers.size(); ++c)
        footers[c].finish(c < sources.size()
                              ? sources[c].kind
                              : SummaryTypeOfAggregate(reads[c - sources.size()].kind),
                          ds.RecordCount());
    computeFormulas(exprs, reads, t, itemCount, sources.size(), footers);
    return footers;
}

} // namespace rg
