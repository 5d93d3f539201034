#pragma once

// What the data source dialog was given. The dialog applies every choice to its connection
// and data set at once, so that the preview shows it; 取消 puts back what changed.

#include "datasource/dataset.h"

#include <string>
#include <utility>
#include <vector>

namespace rg {

class SourceSnapshot {
public:
    SourceSnapshot(DataSet& dataSet, const Connection& connection);

    // The data set opens again only when its source changed (or it was closed meanwhile)
    // and it was open before: a 取消 with nothing changed runs nothing. Throws what the
    // new open throws; the settings are back by then.
    void restore(DataSet& dataSet, Connection& connection) const;

private:
    bool sameSource(DataSet& dataSet, const Connection& connection) const;
    void restoreParameters(DataSet& dataSet) const;
    void restoreLabels(DataSet& dataSet) const;

    std::string connectionString_;
    bool connected_;
    CommandType commandType_;
    std::string commandText_;
    RowPlacement placement_;
    bool procedureMayWrite_;
    std::vector<Parameter> parameters_;
    std::vector<SqlParameter> sqlParameters_;
    bool active_;
    std::vector<std::pair<std::string, std::string>> labels_; // field name, display label
};

} // namespace rg
