#include "grid/crosstable.h"

#include "common/parallel.h"
#include "common/progress.h"
#include "datasource/dataset.h"
#include "grid/gridkeys.h"
#include "grid/gridutil.h"
#include "grid/rowtree.h"

#include <algorithm>

// The cells of a cross table: the data rows of every group stand together in shown order,
// so one walk over the innermost groups feeds one row of slots per level, each written out
// (only its columns that met records) when the walk leaves its group.

namespace rg {

class CrossTableBuilder {
public:
    CrossTableBuilder(const DataSet& ds, const RowTree& tree, int crossField,
                      const IntervalSpec& interval, TdxSummaryType kind, int valueField)
        : ds_(ds), tree_(tree), crossField_(crossField), interval_(interval),
          valueField_(valueField) {
        out_.kind_ = kind;
        if (kind != TdxSummaryType::cstCount && valueField >= 0)
            out_.valueKind_ = valueKindOf(ds.Fields(valueField).Kind());
    }

    // The totals on one thread over every row (they add up in shown order, doubles
    // included), the groups on the others, each part whole top groups.
    CrossTable build() {
        makeColumns();
        out_.rows_.resize(static_cast<size_t>(tree_.groupCount()) + 1);
        const int levels = tree_.levels();
        const int parts = levels == 0 ? 1 : partsFor(tree_.dataCount(), kRecordsPerThread);
        if (parts == 1) {
            Walk all(*this, levels, true);
            all.groups(0, tree_.innermost().size());
            return std::move(out_);
        }
        const std::vector<size_t> cuts = topGroupCuts(parts - 1);
        runParts(parts, [&](int p) {
            if (p == 0) {
                Walk totals(*this, 0, true);
                totals.rows(0, tree_.dataCount());
                return;
            }
            Walk part(*this, levels, false);
            part.groups(cuts[static_cast<size_t>(p) - 1], cuts[static_cast<size_t>(p)]);
        });
        return std::move(out_);
    }

private:
    // The slots of one level: a value and a row count per column, the row total last.
    struct Slots {
        int group = -1; // whose values they hold, -1 for none yet
        std::vector<SummaryValue> values;
        std::vector<int64_t> rows;
        std::vector<int32_t> touched;
    };

    // One thread's walk: the slots of the first `levels` levels and, with `totals`, of
    // the totals row, which it alone reports progress for: it meets every row.
    class Walk {
    public:
        Walk(CrossTableBuilder& b, int levels, bool totals)
            : b_(b), levels_(levels), totals_(totals) {
            slots_.resize(static_cast<size_t>(levels) + (totals ? 1 : 0));
            for (Slots& s : slots_) {
                s.values.resize(static_cast<size_t>(b.out_.columnCount()) + 1);
                s.rows.assign(s.values.size(), 0);
            }
            if (totals)
                slots_.back().group = CrossTable::kTotals;
        }
        // The innermost groups [begin, end) in shown order into every level's groups that
        // hold them (all rows without grouping).
        void groups(size_t begin, size_t end) {
            const RowTree& tree = b_.tree_;
            if (tree.levels() == 0) {
                rows(0, tree.dataCount());
                return;
            }
            std::vector<int> chain(static_cast<size_t>(levels_));
            for (size_t i = begin; i < end; ++i) {
                const int inner = tree.innermost()[i];
                for (int g = inner; g >= 0; g = tree.group(g).parent)
                    chain[static_cast<size_t>(tree.group(g).level)] = g;
                for (int l = 0; l < levels_; ++l)
                    b_.enter(slots_[static_cast<size_t>(l)], chain[static_cast<size_t>(l)]);
                const GroupRow& row = tree.group(inner);
                add(row.firstData, row.dataRows);
            }
            for (int l = 0; l < levels_; ++l)
                b_.enter(slots_[static_cast<size_t>(l)], -1);
            if (totals_)
                b_.flush(slots_.back());
        }
        // The data rows [first, first + count) into the totals alone.
        void rows(int first, int count) {
            add(first, count);
            b_.flush(slots_.back());
        }

    private:
        void add(int first, int count) { b_.addRows(slots_, walked_, totals_, first, count); }

        CrossTableBuilder& b_;
        int levels_;
        bool totals_;
        std::vector<Slots> slots_;
        int64_t walked_ = 0;
    };

    // Where each of `parts` parts of the innermost groups starts, whole top groups in each
    // and about as many rows; the last entry is their end.
    std::vector<size_t> topGroupCuts(int parts) const {
        const std::vector<int>& inner = tree_.innermost();
        std::vector<size_t> cuts(static_cast<size_t>(parts) + 1, inner.size());
        cuts[0] = 0;
        int64_t rows = 0;
        int part = 1, top = -1;
        for (size_t i = 0; i < inner.size() && part < parts; ++i) {
            int g = inner[i];
            while (tree_.group(g).parent >= 0)
                g = tree_.group(g).parent;
            if (g != top && rows >= partBegin(tree_.dataCount(), parts, part))
                cuts[static_cast<size_t>(part++)] = i;
            top = g;
            rows += tree_.group(inner[i]).dataRows;
        }
        return cuts;
    }

    // A distinct value of the cross field among the loaded records: its code, and what
    // orders it (its rank, or its interval's start).
    struct Distinct {
        int32_t code;
        int32_t rank;
        Value key;
    };

    // Columns in value order of the distinct values (or intervals) of the loaded records.
    void makeColumns() {
        codes_ = encodeField(ds_, crossField_, "正在计算交叉表");
        const bool byInterval = interval_.kind != GroupInterval::None;
        const std::vector<int32_t> rank = rankCodes(ds_, crossField_, codes_);
        std::vector<Distinct> used;
        for (size_t code = 0; code < codes_.first.size(); ++code)
            if (const int32_t rec = codes_.first[code]; rec >= 0)
                used.push_back(
                    {static_cast<int32_t>(code), rank[code],
                     byInterval ? intervalKey(ds_.value(rec, crossField_), interval_) : Value{}});
        auto order = [byInterval](const Distinct& a, const Distinct& b) {
            return byInterval ? compareValues(a.key, b.key) : (a.rank > b.rank) - (a.rank < b.rank);
        };
        std::sort(used.begin(), used.end(),
                  [&](const Distinct& a, const Distinct& b) { return order(a, b) < 0; });
        columnOf_.assign(codes_.first.size(), 0);
        int column = -1;
        for (size_t i = 0; i < used.size(); ++i) {
            const Distinct& d = used[i];
            if (i == 0 || order(used[i - 1], d) != 0) {
                if (++column == CrossTable::kMaxColumns) {
                    out_.hasOther_ = true;
                    out_.columnTexts_.push_back("其他");
                } else if (column < CrossTable::kMaxColumns) {
                    out_.columnTexts_.push_back(
                        byInterval ? intervalText(d.key, interval_)
                                   : ds_.displayText(codes_.first[static_cast<size_t>(d.code)],
                                                     crossField_));
                }
            }
            columnOf_[static_cast<size_t>(d.code)] = std::min(column, CrossTable::kMaxColumns);
        }
    }

    // The slots of a level start on `group`, the values of the group before written out.
    void enter(Slots& s, int group) {
        if (s.group == group)
            return;
        if (s.group >= 0)
            flush(s);
        s.group = group;
    }

    void flush(Slots& s) {
        const TdxSummaryType kind = out_.kind_;
        CrossTable::Row& row = s.group == CrossTable::kTotals
                                   ? out_.rows_.back()
                                   : out_.rows_[static_cast<size_t>(s.group)];
        std::sort(s.touched.begin(), s.touched.end());
        row.columns = s.touched;
        row.cells.reserve(s.touched.size());
        for (const int32_t c : s.touched) {
            const auto i = static_cast<size_t>(c);
            s.values[i].finish(kind, s.rows[i]);
            row.cells.push_back(std::move(s.values[i]));
            s.values[i] = SummaryValue{};
            s.rows[i] = 0;
        }
        SummaryValue& total = s.values.back();
        total.finish(kind, s.rows.back());
        row.total = std::move(total);
        total = SummaryValue{};
        s.rows.back() = 0;
        s.touched.clear();
    }

    void addRows(std::vector<Slots>& slots, int64_t& walked, bool reports, int firstData,
                 int count) {
        const std::vector<int32_t>& records = tree_.records();
        const TdxSummaryType kind = out_.kind_;
        const bool reads = kind != TdxSummaryType::cstCount && valueField_ >= 0;
        for (int d = firstData; d < firstData + count; ++d) {
            if (reports && (++walked & (kProgressStep - 1)) == 0)
                reportProgress("正在计算交叉表", walked, tree_.dataCount());
            const int rec = records[static_cast<size_t>(d)];
            const auto column = static_cast<size_t>(
                columnOf_[static_cast<size_t>(codes_.code[static_cast<size_t>(rec)])]);
            const Value v = reads ? ds_.value(rec, valueField_) : Value{};
            for (Slots& s : slots) {
                if (s.rows[column]++ == 0)
                    s.touched.push_back(static_cast<int32_t>(column));
                ++s.rows.back();
                if (reads) {
                    s.values[column].add(kind, v);
                    s.values.back().add(kind, v);
                }
            }
        }
    }

    const DataSet& ds_;
    const RowTree& tree_;
    int crossField_;
    IntervalSpec interval_;
    int valueField_;
    FieldCodes codes_;
    std::vector<int32_t> columnOf_; // the column of each code
    CrossTable out_;
};

CrossTable CrossTable::compute(const DataSet& ds, const RowTree& tree, int crossField,
                               const IntervalSpec& interval, TdxSummaryType kind, int valueField) {
    return CrossTableBuilder(ds, tree, crossField, interval, kind, valueField).build();
}

const SummaryValue& CrossTable::cell(int group, int column) const {
    static const SummaryValue empty;
    const Row& r = row(group);
    const auto it = std::lower_bound(r.columns.begin(), r.columns.end(), column);
    if (it == r.columns.end() || *it != column)
        return empty;
    return r.cells[static_cast<size_t>(it - r.columns.begin())];
}

const SummaryValue& CrossTable::rowTotal(int group) const {
    return row(group).total;
}

std::string CrossTable::text(const SummaryValue& v) const {
    // A cell without records has no value: an average or a date of nothing would read 0.
    if (v.isEmpty())
        return {};
    return FormatSummaryValue(kind_, "", valueKind_, SummaryPlace::Footer, v);
}

namespace {

// Empty cells first, then numbers by value, texts by text.
int compareCells(const SummaryValue& a, const SummaryValue& b) {
    if (a.isEmpty() || b.isEmpty())
        return int(!a.isEmpty()) - int(!b.isEmpty());
    if (a.kind() == SummaryValue::Kind::Text || b.kind() == SummaryValue::Kind::Text)
        return a.text().compare(b.text());
    if (a.kind() == SummaryValue::Kind::Exact && b.kind() == SummaryValue::Kind::Exact)
        return compare(a.exact(), b.exact());
    return compareDoubles(a.toDouble(), b.toDouble());
}

} // namespace

std::vector<int> CrossTable::children(const RowTree& tree, int parent, int sortColumn,
                                      bool down) const {
    std::vector<int> out;
    if (parent < 0) {
        const int top = tree.levels() > 0 ? tree.topCount() : 0;
        for (int i = 0; i < top; ++i)
            out.push_back(tree.top(i).index);
    } else {
        out = tree.group(parent).groups;
    }
    if (sortColumn < 0)
        return out;
    auto value = [&](int g) -> const SummaryValue& {
        return sortColumn >= columnCount() ? rowTotal(g) : cell(g, sortColumn);
    };
    std::stable_sort(out.begin(), out.end(), [&](int a, int b) {
        const int c = compareCells(value(a), value(b));
        return down ? c > 0 : c < 0;
    });
    return out;
}

} // namespace rg
