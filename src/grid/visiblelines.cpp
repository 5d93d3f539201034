#include "grid/visiblelines.h"

#include <algorithm>

namespace rg {

VisibleRow VisibleLines::operator[](size_t i) const {
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), i,
                                        [](size_t line, const Run& r) { return line < r.start; });
    const Run& r = *(after - 1);
    return lineOfRun(r, static_cast<int32_t>(i - r.start));
}

int64_t VisibleLines::lineOf(RowHandle row) const {
    for (const Run& r : runs_)
        if (r.footer < 0 && r.row.kind == row.kind && row.index >= r.row.index &&
            row.index < r.row.index + r.count)
            return static_cast<int64_t>(r.start) + (row.index - r.row.index);
    return -1;
}

void VisibleLines::clear() {
    runs_.clear();
    size_ = 0;
}

void VisibleLines::push(const VisibleRow& line) {
    if (!runs_.empty()) {
        Run& last = runs_.back();
        // Only data rows run on: each group row is a run of its own.
        const bool continues = line.footer < 0
                                   ? last.footer < 0 && line.row.isData() && last.row.isData() &&
                                         last.row.index + last.count == line.row.index
                                   : last.footer >= 0 && last.row == line.row &&
                                         last.footer + last.count == line.footer;
        if (continues) {
            ++last.count;
            ++size_;
            return;
        }
    }
    runs_.push_back({size_, line.row, line.footer, 1});
    ++size_;
}

void VisibleLines::pushRun(RowHandle first, int footer, int count) {
    if (count <= 0)
        return;
    push({first, footer});
    runs_.back().count += count - 1;
    size_ += static_cast<size_t>(count - 1);
}

} // namespace rg
