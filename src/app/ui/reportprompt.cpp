#include "app/ui/reportprompt.h"

#include "common/progress.h"
#include "datasource/dataset.h"
#include "setup/parametersettings.h"
#include "setup/reportdefinition.h"

namespace rg {

PromptAnswer AskReportParameters(QWidget* parent, const std::string& setupFile) {
    const Report report = ReadReportFile(setupFile);
    if (!report.source.commandType.empty() &&
        report.source.commandType != CommandTypeName(CommandType::cmdText))
        return {};
    const std::vector<SqlParameter> params =
        parametersOfSql(report.source.commandText, SqlParametersOf(report.source.sqlParameters));
    if (params.empty())
        return {};
    // A list's query runs on the report's own connection, its first column the values.
    auto listValues = [cs = report.source.connectionString](const std::string& query) {
        Connection conn;
        conn.SetConnectionString(cs);
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

QString NameWithValues(const QString& name, const std::string& caption) {
    if (caption.empty())
        return name;
    return name + QStringLiteral("（") + QString::fromStdString(caption) + QStringLiteral("）");
}

} // namespace rg
