#pragma once

// A list of grid lines held as runs instead of one entry per line: a group row, data rows
// that follow one another in tree order, or footer rows of one data row. A grid with every
// group of millions of rows open holds a few entries per group.

#include "grid/rowtree.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace rg {

class VisibleLines {
    struct Run {
        size_t start; // the run's first line
        RowHandle row;
        // -1: the lines are `row` and the rows after it; j >= 0: footer rows j, j + 1... of
        // `row`.
        int32_t footer;
        int32_t count;
    };

public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = VisibleRow;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = VisibleRow;

        const_iterator() = default;
        VisibleRow operator*() const { return lineOfRun(lines_->runs_[run_], offset_); }
        const_iterator& operator++() {
            if (++offset_ == lines_->runs_[run_].count) {
                ++run_;
                offset_ = 0;
            }
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& o) const {
            return run_ == o.run_ && offset_ == o.offset_;
        }

    private:
        friend class VisibleLines;
        const_iterator(const VisibleLines* lines, size_t run) : lines_(lines), run_(run) {}
        const VisibleLines* lines_ = nullptr;
        size_t run_ = 0;
        int32_t offset_ = 0;
    };

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Binary search over the runs' first lines.
    VisibleRow operator[](size_t i) const;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, runs_.size()}; }

    // The line showing `row` itself (not one of its footer rows), or -1. Linear in the runs.
    int64_t lineOf(RowHandle row) const;

    void clear();
    // Appends a line, extending the last run when the line continues it.
    void push(const VisibleRow& line);
    // Appends `count` lines at once: the rows from `first` on (footer -1) or footer rows
    // `footer`, `footer` + 1... of `first`.
    void pushRun(RowHandle first, int footer, int count);

private:
    static VisibleRow lineOfRun(const Run& r, int32_t offset) {
        if (r.footer >= 0)
            return {r.row, r.footer + offset};
        return {RowHandle{r.row.kind, r.row.index + offset}, -1};
    }
    std::vector<Run> runs_;
    size_t size_ = 0;
};

} // namespace rg
