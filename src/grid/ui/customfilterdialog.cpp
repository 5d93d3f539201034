#include "grid/ui/customfilterdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

namespace rg {
namespace {

// The operators in the order the boxes list them.
constexpr std::array<std::pair<FilterOperator, const char*>, 10> kOperators{{
    {FilterOperator::Equal, QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "equals")},
    {FilterOperator::NotEqual, QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "does not equal")},
    {FilterOperator::Less, QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "is less than")},
    {FilterOperator::LessOrEqual,
     QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "is less than or equal to")},
    {FilterOperator::Greater, QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "is greater than")},
    {FilterOperator::GreaterOrEqual,
     QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "is greater than or equal to")},
    {FilterOperator::Like, QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "is like")},
    {FilterOperator::NotLike, QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "is not like")},
    {FilterOperator::Blank, QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "is blank")},
    {FilterOperator::NonBlank, QT_TRANSLATE_NOOP("rg::TCustomFilterDialog", "is not blank")},
}};

QComboBox* operatorBox(QWidget* parent, const char* name) {
    auto box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItem(QString()); // no condition
    for (const auto& [op, text] : kOperators)
        box->addItem(TCustomFilterDialog::tr(text), static_cast<int>(op));
    return box;
}

QComboBox* valueBox(QWidget* parent, const char* name, const std::vector<Value>& values) {
    auto box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumWidth(180);
    for (const Value& v : values)
        box->addItem(QString::fromStdString(v.displayText()));
    box->setCurrentIndex(-1);
    box->setEditText(QString());
    return box;
}

bool takesValue(const QComboBox* op) {
    return op->currentIndex() > 0 &&
           TakesValue(static_cast<FilterOperator>(op->currentData().toInt()));
}

} // namespace

TCustomFilterDialog::TCustomFilterDialog(const QString& caption, std::vector<Value> values,
                                         const ColumnFilter* current, QWidget* parent)
    : QDialog(parent), values_(std::move(values)) {
    setObjectName(QStringLiteral("CustomFilterDialog"));
    setWindowTitle(tr("Custom Filter"));
    auto layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Show rows where:"), this));
    auto column = new QLabel(caption, this);
    QFont bold = column->font();
    bold.setBold(true);
    column->setFont(bold);
    layout->addWidget(column);

    auto conditions = new QGridLayout;
    cbOperator1 = operatorBox(this, "cbOperator1");
    cbValue1 = valueBox(this, "cbValue1", values_);
    cbOperator2 = operatorBox(this, "cbOperator2");
    cbValue2 = valueBox(this, "cbValue2", values_);
    rbAnd = new QRadioButton(tr("&And"), this);
    rbAnd->setObjectName(QStringLiteral("rbAnd"));
    rbOr = new QRadioButton(tr("&Or"), this);
    rbOr->setObjectName(QStringLiteral("rbOr"));
    rbAnd->setChecked(true);
    auto join = new QHBoxLayout;
    join->addWidget(rbAnd);
    join->addWidget(rbOr);
    join->addStretch(1);
    conditions->addWidget(cbOperator1, 0, 0);
    conditions->addWidget(cbValue1, 0, 1);
    conditions->addLayout(join, 1, 0, 1, 2);
    conditions->addWidget(cbOperator2, 2, 0);
    conditions->addWidget(cbValue2, 2, 1);
    layout->addLayout(conditions);
    layout->addWidget(new QLabel(tr("Use _ to represent any single character\n"
                                    "Use % to represent any series of characters"),
                                 this));
    auto buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    cbOperator1->setCurrentIndex(1); // equals
    if (current) {
        preset(cbOperator1, cbValue1, current->first);
        if (current->second)
            preset(cbOperator2, cbValue2, *current->second);
        rbOr->setChecked(current->orJoin);
    }
    for (QComboBox* op : {cbOperator1, cbOperator2})
        connect(op, &QComboBox::currentIndexChanged, this, [this] { enableValues(); });
    enableValues();
}

void TCustomFilterDialog::preset(QComboBox* op, QComboBox* value, const FilterCondition& c) {
    op->setCurrentIndex(op->findData(static_cast<int>(c.op)));
    value->setEditText(QString::fromStdString(c.value.displayText()));
}

void TCustomFilterDialog::enableValues() {
    cbValue1->setEnabled(takesValue(cbOperator1));
    cbValue2->setEnabled(takesValue(cbOperator2));
}

std::optional<FilterCondition> TCustomFilterDialog::condition(const QComboBox* op,
                                                              const QComboBox* value) const {
    if (op->currentIndex() <= 0)
        return std::nullopt;
    FilterCondition c;
    c.op = static_cast<FilterOperator>(op->currentData().toInt());
    if (!TakesValue(c.op))
        return c;
    const std::string text = value->currentText().toStdString();
    // A value picked from the list keeps its type, so it compares exactly; a typed text is
    // read by the data set in the type of the field.
    const int listed =
        value->findText(value->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    c.value = listed >= 0 && !IsPattern(c.op) ? values_[static_cast<size_t>(listed)]
                                              : Value::fromText(text);
    return c;
}

std::optional<ColumnFilter> TCustomFilterDialog::filter() const {
    auto first = condition(cbOperator1, cbValue1);
    auto second = condition(cbOperator2, cbValue2);
    if (!first) {
        if (!second)
            return std::nullopt;
        std::swap(first, second);
    }
    ColumnFilter f;
    f.first = *first;
    f.second = second;
    f.orJoin = rbOr->isChecked();
    return f;
}

} // namespace rg
