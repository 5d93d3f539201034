#pragma once

// Asks for the values of a report's named parameters before it opens: one box per
// parameter with its saved default, the date presets to choose from, and the day the
// presets are worked out as of. "确认" closes it only with values that fit.

#include "datasource/sqlparameters.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QDateEdit;
class QPushButton;

namespace rg {

// The values a list parameter's query gives; the prompt lists them in its box.
using ListValuesFn = std::function<std::vector<std::string>(const std::string& query)>;

class TParameterPrompt : public QDialog {
    Q_OBJECT
public:
    TParameterPrompt(std::vector<SqlParameter> params, const ParameterTexts& given,
                     std::optional<int64_t> asOfDay, const ListValuesFn& listValues,
                     QWidget* parent = nullptr);

    // What the boxes hold: a date preset as "@" and its name, anything else as typed.
    ParameterTexts texts() const;
    // None while the box shows today.
    std::optional<int64_t> asOfDay() const;

    void btnokClick(); // refuses values that do not fit, naming the parameter

    std::vector<QComboBox*> valueBoxes; // "ParameterValue1" ..., in the parameters' order
    QDateEdit* AsOfDate;
    QPushButton* btnok;
    QPushButton* btncancel;

private:
    std::vector<SqlParameter> params_;
};

// Shows the prompt; the texts and day chosen, or nullopt when it was cancelled.
struct PromptAnswer {
    ParameterTexts texts;
    std::optional<int64_t> asOfDay;
};
std::optional<PromptAnswer> AskParameters(QWidget* parent, const std::vector<SqlParameter>& params,
                                          const ParameterTexts& given,
                                          std::optional<int64_t> asOfDay,
                                          const ListValuesFn& listValues);

} // namespace rg
