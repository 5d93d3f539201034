#include "datasource/ui/parameterprompt.h"

#include "common/datepresets.h"
#include "common/ui/commandguard.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rg {
namespace {

bool isDate(const SqlParameter& p) {
    return p.type == SqlParameterType::Date || p.type == SqlParameterType::DateTime;
}

QString shown(const SqlParameter& p, const std::string& text) {
    // A preset shows by its name; the '@' is how a setup and the command line tell it.
    if (isDate(p) && text.size() > 1 && text.front() == '@')
        if (const std::optional<DatePreset> preset = DatePreset::parse(text.substr(1)))
            return QString::fromStdString(preset->text());
    return QString::fromStdString(text);
}

const std::string* givenText(const ParameterTexts& given, const std::string& name) {
    for (const auto& [n, text] : given)
        if (n == name)
            return &text;
    return nullptr;
}

constexpr int64_t kDayOfJulianZero = 2440588; // 1970-01-01 as a Julian day

QDate qdateOf(int64_t day) {
    return QDate::fromJulianDay(day + kDayOfJulianZero);
}

} // namespace

TParameterPrompt::TParameterPrompt(std::vector<SqlParameter> params, const ParameterTexts& given,
                                   std::optional<int64_t> asOfDay, const ListValuesFn& listValues,
                                   QWidget* parent)
    : QDialog(parent), params_(std::move(params)) {
    setObjectName("ParameterPrompt");
    setWindowTitle(tr("报表参数"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    bool anyDate = false;
    for (size_t i = 0; i < params_.size(); ++i) {
        const SqlParameter& p = params_[i];
        auto* box = new QComboBox(this);
        box->setObjectName(QString("ParameterValue%1").arg(i + 1));
        box->setEditable(true);
        box->setMinimumWidth(220);
        if (isDate(p)) {
            anyDate = true;
            const bool range = !p.rangeEnd.empty();
            for (const DatePresetName& n : DatePresetNames())
                if ((!n.range || range) && std::string_view(n.name).find('N') == std::string::npos)
                    box->addItem(QString::fromUtf8(n.name));
        } else if (p.type == SqlParameterType::List) {
            std::vector<std::string> values = p.listValues;
            if (values.empty() && !p.listQuery.empty() && listValues)
                guardCommand([&] { values = listValues(p.listQuery); });
            for (const std::string& v : values)
                box->addItem(QString::fromStdString(v));
        }
        const std::string* text = givenText(given, p.name);
        box->setCurrentText(shown(p, text ? *text : p.defaultValue));
        const QString type = QString::fromUtf8(sqlParameterTypeName(p.type).caption);
        auto* label = new QLabel(QString::fromStdString(p.name) + "（" + type + "）", this);
        label->setObjectName(QString("ParameterLabel%1").arg(i + 1));
        label->setBuddy(box);
        form->addRow(label, box);
        valueBoxes.push_back(box);
    }
    AsOfDate = new QDateEdit(this);
    AsOfDate->setObjectName("AsOfDate");
    AsOfDate->setDisplayFormat("yyyy-MM-dd");
    AsOfDate->setCalendarPopup(true);
    AsOfDate->setDate(qdateOf(asOfDay ? *asOfDay : localToday()));
    AsOfDate->setEnabled(anyDate);
    form->addRow(tr("日期预设按此日计算"), AsOfDate);
    auto* buttons = new QDialogButtonBox(this);
    btnok = buttons->addButton(tr("确认"), QDialogButtonBox::AcceptRole);
    btnok->setObjectName("btnok");
    btnok->setDefault(true);
    btncancel = buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    btncancel->setObjectName("btncancel");
    layout->addWidget(buttons);
    connect(btnok, &QPushButton::clicked, this, [this] { guardCommand([this] { btnokClick(); }); });
    connect(btncancel, &QPushButton::clicked, this, &QDialog::reject);
}

ParameterTexts TParameterPrompt::texts() const {
    ParameterTexts texts;
    for (size_t i = 0; i < params_.size(); ++i) {
        const std::string text = valueBoxes[i]->currentText().trimmed().toStdString();
        const bool preset =
            isDate(params_[i]) && !parseIsoDay(text) && DatePreset::parse(text).has_value();
        // A typed-in text that is no value of the type stays as it is, to be refused by name.
        if (!text.empty())
            texts.emplace_back(params_[i].name, preset ? "@" + text : text);
    }
    return texts;
}

std::optional<int64_t> TParameterPrompt::asOfDay() const {
    const int64_t day = AsOfDate->date().toJulianDay() - kDayOfJulianZero;
    if (day == localToday())
        return std::nullopt;
    return day;
}

void TParameterPrompt::btnokClick() {
    const std::optional<int64_t> day = asOfDay();
    resolveParameters(params_, texts(), day ? *day : localToday());
    accept();
}

std::optional<PromptAnswer> AskParameters(QWidget* parent, const std::vector<SqlParameter>& params,
                                          const ParameterTexts& given,
                                          std::optional<int64_t> asOfDay,
                                          const ListValuesFn& listValues) {
    TParameterPrompt prompt(params, given, asOfDay, listValues, parent);
    if (prompt.exec() != QDialog::Accepted)
        return std::nullopt;
    return PromptAnswer{prompt.texts(), prompt.asOfDay()};
}

} // namespace rg
