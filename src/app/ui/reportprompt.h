#pragma once

// Before a saved report opens in the window: the values of its named parameters.

#include "datasource/ui/parameterprompt.h"

#include <QWidget>

#include <string>

namespace rg {

// Asks for the parameters of the report in `setupFile`; no texts when it has none. A cancel
// of the prompt throws rg::Cancelled.
PromptAnswer AskReportParameters(QWidget* parent, const std::string& setupFile);

} // namespace rg
