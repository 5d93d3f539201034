#pragma once

// A report's named parameters between the settings' texts (document/report.h) and the data
// set's terms (datasource/sqlparameters.h).

#include "datasource/sqlparameters.h"
#include "document/report.h"

#include <vector>

namespace rg {

// A type the program does not know throws rg::Error naming the parameter.
std::vector<SqlParameter> SqlParametersOf(const std::vector<ParameterSetting>& settings);
std::vector<ParameterSetting> ParameterSettingsOf(const std::vector<SqlParameter>& params);

} // namespace rg
