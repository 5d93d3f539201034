#include "setup/parametersettings.h"

#include "common/error.h"

namespace rg {

std::vector<SqlParameter> SqlParametersOf(const std::vector<ParameterSetting>& settings) {
    std::vector<SqlParameter> params;
    for (const ParameterSetting& s : settings) {
        SqlParameter p{s.name,      SqlParameterType::Text, s.defaultValue, s.rangeEnd, s.listQuery,
                       s.listValues};
        if (!s.type.empty()) {
            const std::optional<SqlParameterType> type = sqlParameterTypeFromKey(s.type);
            if (!type)
                throw Error("报表参数“" + s.name + "”的类型“" + s.type + "”无法识别");
            p.type = *type;
        }
        params.push_back(std::move(p));
    }
    return params;
}

std::vector<ParameterSetting> ParameterSettingsOf(const std::vector<SqlParameter>& params) {
    std::vector<ParameterSetting> settings;
    for (const SqlParameter& p : params)
        settings.push_back({p.name, sqlParameterTypeName(p.type).key, p.defaultValue, p.rangeEnd,
                            p.listQuery, p.listValues});
    return settings;
}

} // namespace rg
