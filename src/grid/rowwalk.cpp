#include "grid/rowwalk.h"

#include <cstddef>
#include <optional>

namespace rg {
namespace {

// Marks of the rows a selection keeps: every selected row's path up to the top and its
// whole subtree.
class SelectionMarks {
public:
    SelectionMarks(const TdxDBGrid& g, const std::vector<RowHandle>& selected)
        : groups_(static_cast<size_t>(g.GroupRowCount()), 0),
          data_(static_cast<size_t>(g.DataRowCount()), 0) {
        std::vector<RowHandle> stack;
        for (RowHandle s : selected) {
            if (!s.valid())
                continue;
            for (RowHandle p = s; p.valid(); p = g.Parent(p))
                mark(p);
            stack.push_back(s);
            while (!stack.empty()) {
                const RowHandle r = stack.back();
                stack.pop_back();
                mark(r);
                for (int i = 0; i < g.ChildCount(r); ++i)
                    stack.push_back(g.Child(r, i));
            }
        }
    }
    bool kept(RowHandle r) const {
        const auto& v = r.isGroup() ? groups_ : data_;
        return r.index >= 0 && static_cast<size_t>(r.index) < v.size() &&
               v[static_cast<size_t>(r.index)] != 0;
    }

private:
    void mark(RowHandle r) {
        auto& v = r.isGroup() ? groups_ : data_;
        if (r.index >= 0 && static_cast<size_t>(r.index) < v.size())
            v[static_cast<size_t>(r.index)] = 1;
    }
    std::vector<char> groups_, data_;
};

} // namespace

void RowWalk::forEachRow(const TdxDBGrid& g, const std::function<void(RowHandle)>& fn) const {
    std::optional<SelectionMarks> marks;
    if (!selected.empty())
        marks.emplace(g, selected);
    auto kept = [&](RowHandle r) { return !marks || marks->kept(r); };
    auto opened = [&](RowHandle r) { return r.isGroup() && (collapsedToo || g.Expanded(r)); };
    struct Frame {
        RowHandle parent;
        int next;
    };
    // One frame per grouping level.
    std::vector<Frame> stack;
    for (int t = 0; t < g.TopCount(); ++t) {
        const RowHandle top = g.Top(t);
        if (!kept(top))
            continue;
        fn(top);
        if (opened(top))
            stack.push_back({top, 0});
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next >= g.ChildCount(f.parent)) {
                stack.pop_back();
                continue;
            }
            const RowHandle child = g.Child(f.parent, f.next++);
            if (!kept(child))
                continue;
            fn(child);
            if (opened(child))
                stack.push_back({child, 0});
        }
    }
}

void RowWalk::forEachLine(const TdxDBGrid& g,
                          const std::function<void(const VisibleRow&)>& fn) const {
    // The grid keeps the lines it shows.
    if (!collapsedToo && selected.empty()) {
        for (const VisibleRow& v : g.VisibleRows())
            fn(v);
        return;
    }
    forEachRow(g, [&](RowHandle r) {
        fn({r, -1});
        const TdxDBGrid::FooterRun after = footersAfter(g, r);
        for (int j = after.first; j < after.first + after.count; ++j)
            fn({after.row, j});
    });
}

TdxDBGrid::FooterRun RowWalk::footersAfter(const TdxDBGrid& g, RowHandle r) const {
    // A group the walk opens is followed by its rows.
    if (r.isGroup() && collapsedToo)
        return {};
    return g.FootersAfter(r);
}

RowWalk::Count RowWalk::count(const TdxDBGrid& g) const {
    Count n;
    forEachRow(g, [&](RowHandle r) {
        ++n.rows;
        n.lines += 1 + footersAfter(g, r).count;
    });
    return n;
}

} // namespace rg
