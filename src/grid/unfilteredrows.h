#pragma once

// The rows of the unfiltered records, kept while the grid's own filter is set so that
// clearing the filter again needs no reload, and whether the data set's contents are
// changing by that filter: after any other change the kept rows would be stale.

#include "grid/rowtree.h"
#include "grid/summaryvalue.h"

#include <string>
#include <utility>
#include <vector>

namespace rg {

class UnfilteredRows {
public:
    // Keeps the rows and footer values of the load that `signature` describes.
    void keep(const RowTree& tree, std::vector<SummaryValue> footers, std::string signature) {
        tree_ = tree;
        footers_ = std::move(footers);
        signature_ = std::move(signature);
        kept_ = true;
    }
    void drop() {
        tree_ = RowTree{};
        footers_ = {};
        signature_.clear();
        kept_ = false;
    }
    bool kept() const { return kept_; }
    const std::string& signature() const { return signature_; }
    // Hands the kept rows over and keeps nothing.
    void take(RowTree& tree, std::vector<SummaryValue>& footers) {
        tree = std::move(tree_);
        footers = std::move(footers_);
        drop();
    }

    bool filterChanging() const { return changing_; }
    void setFilterChanging(bool on) { changing_ = on; }

private:
    RowTree tree_;
    std::vector<SummaryValue> footers_;
    std::string signature_;
    bool kept_ = false;
    bool changing_ = false;
};

} // namespace rg
