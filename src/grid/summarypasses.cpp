#include "grid/grid.h"

#include "common/datetime.h"
#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "grid/gridkeys.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

// The summary values of a load: one pass over the records for each field summed, feeding
// every group level and footer that asks for it.

namespace rg {
namespace {

// The order of minima and maxima: NaN above every number, as PostgreSQL has it.
bool before(int64_t a, int64_t b) { return a < b; }
bool before(int128 a, int128 b) { return a < b; }
bool before(double a, double b) { return compareDoubles(a, b) < 0; }

bool readsValue(TdxSummaryType k) {
    return k == TdxSummaryType::cstSum || k == TdxSummaryType::cstMin || k == TdxSummaryType::cstMax ||
           k == TdxSummaryType::cstAvg;
}

} // namespace

void TdxDBGrid::computeSummaries(Tree& t, const std::vector<int32_t>& innerOf, std::vector<SummaryValue>& footers) const {
    const int records = dataSet_->RecordCount();
    const int itemCount = const_cast<TdxDBGrid*>(this)->DefaultGroup().SummaryItems.Count();
    for (GroupRow& row : t.groups) row.values.assign(static_cast<size_t>(itemCount), SummaryValue{});
    footers.assign(columns_.size(), SummaryValue{});

    // Where a level's groups stand in the table (they stand together), and for each
    // innermost group its ancestor's position among them. Level -1 is the summary footer.
    struct Level {
        int level = -1;
        int start = 0;
        size_t buckets = 1;
        std::vector<int32_t> bucketOfInner;
    };
    const int innerStart = static_cast<int>(t.groups.size() - t.innermost.size());  // the innermost close the table
    auto levelOf = [&](int level) {
        Level l;
        l.level = level;
        if (level < 0) return l;
        l.start = static_cast<int>(std::find_if(t.groups.begin(), t.groups.end(), [&](const GroupRow& g) { return g.level == level; }) -
                                   t.groups.begin());
        l.buckets = 0;
        while (static_cast<size_t>(l.start) + l.buckets < t.groups.size() && t.groups[static_cast<size_t>(l.start) + l.buckets].level == level)
            ++l.buckets;
        l.bucketOfInner.resize(t.innermost.size());
        for (size_t i = 0; i < t.innermost.size(); ++i) {
            int g = innerStart + static_cast<int>(i);
            while (t.groups[static_cast<size_t>(g)].level > level) g = t.groups[static_cast<size_t>(g)].parent;
            l.bucketOfInner[i] = g - l.start;
        }
        return l;
    };

    // One pass over the records for each field and way of adding up (sums and averages
    // add alike), feeding every level that asks for it at once. Records go in record order
    // so that sums of doubles come out as they always did.
    struct Target {
        int level;  // -1: the footer of column `slot`
        int slot;
        TdxSummaryType kind;
    };
    struct Pass {
        int field;
        TdxSummaryType adds;  // cstSum, cstMin or cstMax
        std::vector<Target> targets;
    };
    std::vector<Pass> passes;
    auto addTarget = [&](int field, TdxSummaryType kind, Target target) {
        if (!readsValue(kind)) return;
        const TdxSummaryType adds = kind == TdxSummaryType::cstAvg ? TdxSummaryType::cstSum : kind;
        auto it = std::find_if(passes.begin(), passes.end(), [&](const Pass& p) { return p.field == field && p.adds == adds; });
        if (it == passes.end()) it = passes.insert(passes.end(), Pass{field, adds, {}});
        it->targets.push_back(target);
    };
    for (int level = 0; level < t.levels; ++level)
        if (const TdxDBGridSummaryGroup* group = groupForLevel(level))
            for (int i = 0; i < std::min(group->SummaryItems.Count(), itemCount); ++i) {
                const TdxDBGridSummaryItem& item = group->SummaryItems.Items(i);
                addTarget(item.boundField, item.SummaryType(), {level, i, item.SummaryType()});
            }
    for (size_t c = 0; c < columns_.size(); ++c)
        addTarget(columns_[c]->footerFieldIndex_, columns_[c]->footerType_, {-1, static_cast<int>(c), columns_[c]->footerType_});

    std::vector<Level> levelCache(static_cast<size_t>(t.levels) + 1);
    std::vector<bool> levelReady(levelCache.size(), false);
    std::vector<std::vector<const Level*>> levelsOf(passes.size());
    for (size_t p = 0; p < passes.size(); ++p)
        for (const Target& target : passes[p].targets) {
            const size_t k = static_cast<size_t>(target.level + 1);
            if (!levelReady[k]) {
                levelCache[k] = levelOf(target.level);
                levelReady[k] = true;
            }
            std::vector<const Level*>& levels = levelsOf[p];
            if (std::find(levels.begin(), levels.end(), &levelCache[k]) == levels.end()) levels.push_back(&levelCache[k]);
        }
    // The values of one pass, a vector per level of it. Only the interface thread reports
    // progress; a helper thread stops early when told to.
    std::vector<std::vector<std::vector<SummaryValue>>> resultsOf(passes.size());
    auto compute = [&](size_t p, const std::atomic<bool>* stop) {
        const Pass& pass = passes[p];
        const std::vector<const Level*>& levels = levelsOf[p];
        auto step = [&](int rec) {
            if ((rec & (kProgressStep - 1)) != 0) return true;
            if (!stop) reportProgress("正在分组", rec, records);
            return !stop || !stop->load();
        };
        auto bucket = [&](const Level& l, int rec) -> size_t {
            return l.level < 0 ? 0 : static_cast<size_t>(l.bucketOfInner[static_cast<size_t>(innerOf[static_cast<size_t>(rec)])]);
        };
        std::vector<std::vector<SummaryValue>>& results = resultsOf[p];
        results.assign(levels.size(), {});
        const DataSet::ColumnView v = pass.field >= 0 ? dataSet_->columnView(pass.field) : DataSet::ColumnView{};
        const FieldKind fk = pass.field >= 0 ? dataSet_->Fields(pass.field).Kind() : FieldKind::Unknown;
        const bool sum = pass.adds == TdxSummaryType::cstSum;
        const bool min = pass.adds == TdxSummaryType::cstMin;
        // Integers add up in 128 bits and doubles as doubles, without a value per cell.
        auto typed = [&](auto read, auto result) {
            using T = decltype(read(int64_t(0)));
            struct Acc {
                T value{};
                bool seen = false;
            };
            auto add = [&](Acc& a, T x) {
                if (sum) a.value += x;
                else if (!a.seen || (min ? before(x, a.value) : before(a.value, x))) a.value = x;
                a.seen = true;
            };
            // The footer's total stays in a register; group levels go through their buckets.
            Acc total;
            bool footer = false;
            std::vector<const int32_t*> bucketsOf;
            std::vector<std::vector<Acc>> acc;
            for (const Level* l : levels) {
                if (l->level < 0) {
                    footer = true;
                    continue;
                }
                bucketsOf.push_back(l->bucketOfInner.data());
                acc.emplace_back(l->buckets);
            }
            const size_t groupLevels = acc.size();
            for (int rec = 0; rec < records; ++rec) {
                if (!step(rec)) return;
                const int64_t row = v.row(rec);
                if (v.column->isNull(row)) continue;
                const T x = read(row);
                if (footer) add(total, x);
                if (groupLevels == 0) continue;
                const int32_t inner = innerOf[static_cast<size_t>(rec)];
                for (size_t k = 0; k < groupLevels; ++k) add(acc[k][static_cast<size_t>(bucketsOf[k][inner])], x);
            }
            size_t k = 0;
            for (size_t i = 0; i < levels.size(); ++i) {
                if (levels[i]->level < 0) {
                    results[i].push_back(result(total.value, total.seen));
                    continue;
                }
                for (const Acc& a : acc[k]) results[i].push_back(result(a.value, a.seen));
                ++k;
            }
        };
        if (v.column && isDateKind(fk) && !v.column->holdsNonDates()) {
            // Dates and times keep microseconds: minima and maxima exactly, sums as serials.
            // Cells that hold no date go value by value below, as the numbers or texts they are.
            const bool time = fk == FieldKind::Time;
            if (sum) {
                typed([&](int64_t row) { return serialOfMicros(v.column->intAt(row), time); },
                      [&](double x, bool seen) { return seen ? SummaryValue::floatValue(x) : SummaryValue::exactValue(Decimal{}); });
            } else {
                typed([&](int64_t row) { return v.column->intAt(row); },
                      [&](int64_t x, bool seen) { return seen ? SummaryValue::dateValue(x, time) : SummaryValue{}; });
            }
        } else if (v.column && v.column->storage() == Storage::Int && fk != FieldKind::Boolean && !isDateKind(fk)) {
            typed([&](int64_t row) { return static_cast<int128>(v.column->intAt(row)); },
                  [&](int128 x, bool seen) {
                      return sum || seen ? SummaryValue::exactValue(Decimal{x, 0}) : SummaryValue{};
                  });
        } else if (v.column && v.column->storage() == Storage::Double) {
            // A sum starts as the exact 0 and goes on in doubles from the first value.
            typed([&](int64_t row) { return v.column->doubleAt(row); },
                  [&](double x, bool seen) {
                      if (!seen) return sum ? SummaryValue::exactValue(Decimal{}) : SummaryValue{};
                      return SummaryValue::floatValue(x);
                  });
        } else {
            for (size_t k = 0; k < levels.size(); ++k) results[k].resize(levels[k]->buckets);
            for (int rec = 0; rec < records; ++rec) {
                if (!step(rec)) return;
                const Value x = recordValue(rec, pass.field);
                for (size_t k = 0; k < levels.size(); ++k) results[k][bucket(*levels[k], rec)].add(pass.adds, x);
            }
        }
    };
    // Two fields or more: every other pass on a helper thread, so that a second core shares
    // the work. It is joined before anything leaves, a cancel included.
    {
        std::atomic<bool> stop{false};
        std::exception_ptr helperError;
        std::thread helper;
        if (passes.size() > 1 && records >= 4 * kProgressStep)
            helper = std::thread([&] {
                try {
                    for (size_t p = 1; p < passes.size(); p += 2) compute(p, &stop);
                } catch (...) {
                    helperError = std::current_exception();
                }
            });
        struct Join {
            std::thread& thread;
            std::atomic<bool>& stop;
            ~Join() {
                stop = true;
                if (thread.joinable()) thread.join();
            }
        } join{helper, stop};
        const size_t stride = helper.joinable() ? 2 : 1;
        for (size_t p = 0; p < passes.size(); p += stride) compute(p, nullptr);
        if (helper.joinable()) helper.join();
        if (helperError) std::rethrow_exception(helperError);
    }
    for (size_t p = 0; p < passes.size(); ++p) {
        const Pass& pass = passes[p];
        const std::vector<const Level*>& levels = levelsOf[p];
        const std::vector<std::vector<SummaryValue>>& results = resultsOf[p];
        for (const Target& target : pass.targets) {
            const size_t k = static_cast<size_t>(std::find(levels.begin(), levels.end(), &levelCache[static_cast<size_t>(target.level + 1)]) - levels.begin());
            if (target.level < 0) {
                footers[static_cast<size_t>(target.slot)] = results[k][0];
                continue;
            }
            for (size_t b = 0; b < levels[k]->buckets; ++b)
                t.groups[static_cast<size_t>(levels[k]->start) + b].values[static_cast<size_t>(target.slot)] = results[k][b];
        }
    }
    for (GroupRow& row : t.groups)
        if (const TdxDBGridSummaryGroup* group = groupForLevel(row.level))
            for (int i = 0; i < std::min(group->SummaryItems.Count(), itemCount); ++i)
                row.values[static_cast<size_t>(i)].finish(group->SummaryItems.Items(i).SummaryType(), row.dataRows);
    for (size_t c = 0; c < columns_.size(); ++c) footers[c].finish(columns_[c]->footerType_, records);
}

} // namespace rg
