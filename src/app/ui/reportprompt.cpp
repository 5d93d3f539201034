#include "app/ui/reportprompt.h"

#include "common/progress.h"
#include "datasource/dataset.h"
#include "setup/reportdefinition.h"

namespace rg {

PromptAnswer AskReportParameters(QWidget* parent, const std::string& setupFile) {
    const std::vector<SqlParameter> params = SetupParameters(setupFile);
    if (params.empty())
        return {};
    // A list's query runs on the report's own connection, its first column the values; only
    // then is its password asked for.
    auto listValues = [setupFile](const std::string& query) {
        Connection conn;
        conn.SetConnectionString(ReadReportFile(setupFile).source.connectionString);
        DataSet ds(&conn);
        ds.SetCommandText(query);
        ds.Open();
        std::vector<std::string> values;
        for (int r = 0; r < ds.RecordCount() && ds.FieldCount() > 0; ++r)
            values.push_back(ds.displayText(r, 0));
        return values;
    };
    std::optional<PromptAnswer> answer =
        AskParameters(parent, params, {}, std::nullopt, listValues);
    if (!answer)
        throw Cancelled();
    return *answer;
}

} // namespace rg
