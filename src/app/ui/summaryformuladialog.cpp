#include "app/ui/summaryformuladialog.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "common/ui/commandguard.h"
#include "grid/grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cctype>

namespace rg {
namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// A name the expression can take as it is, else in brackets.
QString fieldReference(const std::string& name) {
    bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        plain = plain && (u >= 0x80 || std::isalnum(u) || c == '_');
    }
    return plain ? qs(name) : qs("[" + name + "]");
}

constexpr const char* kFunctions[] = {"SUM",   "COUNT", "AVG", "MIN",     "MAX",
                                      "ROUND", "ABS",   "IF",  "COALESCE"};

} // namespace

TfrmSummaryFormulas::TfrmSummaryFormulas(QWidget* parent, const TdxDBGrid& grid) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSummaryFormulas"));
    setWindowTitle(QStringLiteral("汇总公式"));
    if (grid.dataSet())
        inputs_ = SummaryEngine::formulaInputs(*grid.dataSet());
    formulas_ = grid.SummaryFormulas();

    FormulaList = named(new QListWidget(this), "FormulaList");
    NameEdit = named(new QLineEdit(this), "NameEdit");
    ExprEdit = named(new QPlainTextEdit(this), "ExprEdit");
    ExprEdit->setTabChangesFocus(true);
    ColumnCombo = named(new QComboBox(this), "ColumnCombo");
    CheckLabel = named(new QLabel(this), "CheckLabel");
    CheckLabel->setWordWrap(true);
    InputList = named(new QListWidget(this), "InputList");
    FunctionList = named(new QListWidget(this), "FunctionList");
    AddButton = named(new QPushButton(QStringLiteral("添加"), this), "AddButton");
    ReplaceButton = named(new QPushButton(QStringLiteral("修改"), this), "ReplaceButton");
    DeleteButton = named(new QPushButton(QStringLiteral("删除"), this), "DeleteButton");
    OkButton = named(new QPushButton(QStringLiteral("确定"), this), "OkButton");
    CancelButton = named(new QPushButton(QStringLiteral("取消"), this), "CancelButton");
    OkButton->setDefault(true);

    ColumnCombo->addItem(QStringLiteral("（写在分组行）"), QString());
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const TdxDBGridColumn& c = grid.Columns(i);
        ColumnCombo->addItem(qs(c.Caption() + " 的页脚"), qs(c.Name()));
    }
    for (const CalcInput& in : inputs_) {
        auto* item = new QListWidgetItem(
            in.caption.empty() ? qs(in.name) : qs(in.caption + "（" + in.name + "）"), InputList);
        item->setData(Qt::UserRole, fieldReference(in.name));
    }
    for (const char* name : kFunctions)
        FunctionList->addItem(QString::fromLatin1(name));

    auto* layout = new QGridLayout(this);
    layout->addWidget(named(new QLabel(QStringLiteral("汇总公式："), this), "FormulasLabel"), 0, 0);
    layout->addWidget(FormulaList, 1, 0, 1, 2);
    layout->addWidget(named(new QLabel(QStringLiteral("名称："), this), "NameLabel"), 2, 0);
    layout->addWidget(NameEdit, 2, 1);
    layout->addWidget(named(new QLabel(QStringLiteral("表达式："), this), "ExprLabel"), 3, 0,
                      Qt::AlignTop);
    layout->addWidget(ExprEdit, 3, 1);
    layout->addWidget(CheckLabel, 4, 1);
    layout->addWidget(named(new QLabel(QStringLiteral("显示在："), this), "ColumnLabel"), 5, 0);
    layout->addWidget(ColumnCombo, 5, 1);
    auto* lists = new QHBoxLayout;
    lists->addWidget(InputList, 2);
    lists->addWidget(FunctionList, 1);
    layout->addWidget(
        named(new QLabel(QStringLiteral("字段（双击插入它的合计）和函数："), this), "InputsLabel"),
        6, 0, 1, 2);
    layout->addLayout(lists, 7, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {AddButton, ReplaceButton, DeleteButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons, 8, 0, 1, 2);
    resize(560, 540);

    connect(ExprEdit, &QPlainTextEdit::textChanged, this,
            [this] { guardCommand([this] { showCheck(); }); });
    connect(NameEdit, &QLineEdit::textChanged, this,
            [this] { guardCommand([this] { showCheck(); }); });
    connect(FormulaList, &QListWidget::currentRowChanged, this,
            [this] { guardCommand([this] { selectFormula(); }); });
    connect(InputList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        guardCommand([&] { insertText("SUM(" + item->data(Qt::UserRole).toString() + ")"); });
    });
    connect(FunctionList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        guardCommand([&] { insertText(item->text() + "("); });
    });
    connect(AddButton, &QPushButton::clicked, this,
            [this] { guardCommand([this] { addFormula(); }); });
    connect(ReplaceButton, &QPushButton::clicked, this,
            [this] { guardCommand([this] { replaceFormula(); }); });
    connect(DeleteButton, &QPushButton::clicked, this,
            [this] { guardCommand([this] { deleteFormula(); }); });
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    fillList();
    showCheck();
}

SummaryFormula TfrmSummaryFormulas::edited() const {
    return {NameEdit->text().trimmed().toStdString(), ExprEdit->toPlainText().toStdString(),
            ColumnCombo->currentData().toString().toStdString()};
}

std::string TfrmSummaryFormulas::check() const {
    const SummaryFormula f = edited();
    if (f.name.empty())
        return "请输入汇总公式的名称";
    if (f.name.find('=') != std::string::npos || f.name.find(':') != std::string::npos)
        return "名称中不能有“=”或“:”";
    try {
        SummaryExpression e(f.expression, inputs_);
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

void TfrmSummaryFormulas::showCheck() {
    const std::string fault = check();
    CheckLabel->setText(fault.empty() ? QStringLiteral("公式正确") : qs(fault));
    AddButton->setEnabled(fault.empty());
    ReplaceButton->setEnabled(fault.empty() && FormulaList->currentRow() >= 0);
    DeleteButton->setEnabled(FormulaList->currentRow() >= 0);
}

void TfrmSummaryFormulas::fillList() {
    FormulaList->clear();
    for (const SummaryFormula& f : formulas_)
        FormulaList->addItem(qs(f.name + " = " + f.expression));
}

void TfrmSummaryFormulas::selectFormula() {
    const int row = FormulaList->currentRow();
    if (row >= 0 && static_cast<size_t>(row) < formulas_.size()) {
        const SummaryFormula& f = formulas_[static_cast<size_t>(row)];
        NameEdit->setText(qs(f.name));
        ExprEdit->setPlainText(qs(f.expression));
        ColumnCombo->setCurrentIndex(std::max(0, ColumnCombo->findData(qs(f.column))));
    }
    showCheck();
}

void TfrmSummaryFormulas::addFormula() {
    const SummaryFormula f = edited();
    for (const SummaryFormula& g : formulas_)
        if (equalsIgnoringCase(g.name, f.name))
            throw Error("已有名为“" + f.name + "”的汇总公式：要改变它请选中后点“修改”");
    formulas_.push_back(f);
    fillList();
    FormulaList->setCurrentRow(-1);
    NameEdit->clear();
    ExprEdit->clear();
}

void TfrmSummaryFormulas::replaceFormula() {
    const int row = FormulaList->currentRow();
    if (row < 0)
        return;
    formulas_[static_cast<size_t>(row)] = edited();
    fillList();
    FormulaList->setCurrentRow(row);
}

void TfrmSummaryFormulas::deleteFormula() {
    const int row = FormulaList->currentRow();
    if (row < 0)
        return;
    formulas_.erase(formulas_.begin() + row);
    fillList();
    NameEdit->clear();
    ExprEdit->clear();
}

void TfrmSummaryFormulas::insertText(const QString& text) {
    ExprEdit->insertPlainText(text);
    ExprEdit->setFocus();
}

std::optional<std::vector<SummaryFormula>> RunSummaryFormulasDialog(QWidget* parent,
                                                                    const TdxDBGrid& grid) {
    TfrmSummaryFormulas dialog(parent, grid);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.formulas();
}

} // namespace rg
