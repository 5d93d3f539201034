#pragma once

// Before a saved report opens in the window: the values of its named parameters.

#include "datasource/ui/parameterprompt.h"

#include <QWidget>

#include <string>

namespace rg {

// Asks for the parameters of the report in `setupFile`; no texts when it has none. A cancel
// of the prompt throws rg::Cancelled.
PromptAnswer AskReportParameters(QWidget* parent, const std::string& setupFile);

// How the window and the preview name a report opened with parameter values:
// "销售明细（2026年2月）".
QString NameWithValues(const QString& name, const std::string& caption);

} // namespace rg
