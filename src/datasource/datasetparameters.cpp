#include "datasource/dataset.h"

#include "common/datepresets.h"
#include "datasource/provider.h"

// The data set's side of the named parameters of an SQL text.

namespace rg {

void DataSet::SetParameterTexts(ParameterTexts given, std::optional<int64_t> asOfDay) {
    givenTexts_ = std::move(given);
    asOfDay_ = asOfDay;
}

std::string DataSet::boundText(Provider& p, std::vector<Value>& values) {
    if (commandType_ != CommandType::cmdText)
        return commandText_;
    const std::string dbms = p.dbmsName();
    const bool mysql =
        dbms.find("MySQL") != std::string::npos || dbms.find("MariaDB") != std::string::npos;
    std::vector<std::string> order;
    std::string sql = bindableSql(commandText_, mysql, order);
    if (order.empty())
        return commandText_;
    const std::vector<SqlParameter> params = parametersOfSql(commandText_, sqlParameters_, mysql);
    const ResolvedParameters resolved =
        resolveParameters(params, givenTexts_, asOfDay_ ? *asOfDay_ : localToday());
    for (const std::string& name : order)
        for (const auto& [n, v] : resolved.values)
            if (n == name)
                values.push_back(v);
    parameterCaption_ = resolved.caption;
    return sql;
}

} // namespace rg
