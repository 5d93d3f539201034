#include "app/ui/calcfielddialog.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "common/ui/commandguard.h"
#include "datasource/dataset.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

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

const char* kindText(FieldKind k) {
    switch (k) {
    case FieldKind::LargeInt:
        return "整数";
    case FieldKind::FMTBcd:
        return "小数";
    case FieldKind::Float:
        return "浮点数";
    case FieldKind::Boolean:
        return "逻辑值";
    case FieldKind::String:
        return "文本";
    default:
        return "日期";
    }
}

} // namespace

TfrmCalcFields::TfrmCalcFields(QWidget* parent, const DataSet& dataset) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCalcFields"));
    setWindowTitle(tr("计算字段"));
    for (int i = 0; i < dataset.FieldCount(); ++i) {
        const Field& f = dataset.Fields(i);
        if (!dataset.IsCalculated(i))
            fetched_.push_back({f.FieldName(), f.DisplayLabel(), f.Kind()});
    }
    fields_ = dataset.CalculatedFields();

    FieldList = named(new QListWidget(this), "FieldList");
    NameEdit = named(new QLineEdit(this), "NameEdit");
    ExprEdit = named(new QPlainTextEdit(this), "ExprEdit");
    ExprEdit->setTabChangesFocus(true);
    CheckLabel = named(new QLabel(this), "CheckLabel");
    CheckLabel->setWordWrap(true);
    InputList = named(new QListWidget(this), "InputList");
    FunctionList = named(new QListWidget(this), "FunctionList");
    AddButton = named(new QPushButton(tr("添加"), this), "AddButton");
    ReplaceButton = named(new QPushButton(tr("修改"), this), "ReplaceButton");
    DeleteButton = named(new QPushButton(tr("删除"), this), "DeleteButton");
    OkButton = named(new QPushButton(tr("确定"), this), "OkButton");
    CancelButton = named(new QPushButton(tr("取消"), this), "CancelButton");
    OkButton->setDefault(true);

    for (const CalcInput& in : fetched_) {
        auto* item = new QListWidgetItem(
            in.caption.empty() ? qs(in.name) : qs(in.caption + "（" + in.name + "）"), InputList);
        item->setData(Qt::UserRole, fieldReference(in.name));
    }
    for (const std::string& name : CalcFunctionNames())
        FunctionList->addItem(qs(name));

    auto* grid = new QGridLayout(this);
    grid->addWidget(named(new QLabel(tr("计算字段："), this), "FieldsLabel"), 0, 0);
    grid->addWidget(FieldList, 1, 0, 1, 2);
    grid->addWidget(named(new QLabel(tr("名称："), this), "NameLabel"), 2, 0);
    grid->addWidget(NameEdit, 2, 1);
    grid->addWidget(named(new QLabel(tr("表达式："), this), "ExprLabel"), 3, 0, Qt::AlignTop);
    grid->addWidget(ExprEdit, 3, 1);
    grid->addWidget(CheckLabel, 4, 1);
    auto* lists = new QHBoxLayout;
    lists->addWidget(InputList, 2);
    lists->addWidget(FunctionList, 1);
    grid->addWidget(named(new QLabel(tr("字段和函数（双击插入）："), this), "InputsLabel"), 5, 0, 1,
                    2);
    grid->addLayout(lists, 6, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {AddButton, ReplaceButton, DeleteButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    grid->addLayout(buttons, 7, 0, 1, 2);
    resize(560, 520);

    connect(ExprEdit, &QPlainTextEdit::textChanged, this,
            [this] { guardCommand([this] { showCheck(); }); });
    connect(NameEdit, &QLineEdit::textChanged, this,
            [this] { guardCommand([this] { showCheck(); }); });
    connect(FieldList, &QListWidget::currentRowChanged, this,
            [this] { guardCommand([this] { selectField(); }); });
    connect(InputList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        guardCommand([&] { insertText(item->data(Qt::UserRole).toString()); });
    });
    connect(FunctionList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        guardCommand([&] { insertText(item->text() + "("); });
    });
    connect(AddButton, &QPushButton::clicked, this,
            [this] { guardCommand([this] { addField(); }); });
    connect(ReplaceButton, &QPushButton::clicked, this,
            [this] { guardCommand([this] { replaceField(); }); });
    connect(DeleteButton, &QPushButton::clicked, this,
            [this] { guardCommand([this] { deleteField(); }); });
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    fillFieldList();
    showCheck();
}

std::vector<CalcInput> TfrmCalcFields::inputsFor(size_t upTo) const {
    std::vector<CalcInput> inputs = fetched_;
    for (size_t i = 0; i < upTo && i < fields_.size(); ++i) {
        try {
            inputs.push_back(
                {fields_[i].name, {}, CalcExpression(fields_[i].expression, inputs).kind()});
        } catch (const Error&) {
            break; // the fields after a faulty one are not there for the ones after them
        }
    }
    return inputs;
}

std::string TfrmCalcFields::check(FieldKind* kind) const {
    const std::string name = NameEdit->text().trimmed().toStdString();
    const int row = FieldList->currentRow();
    const size_t at = row >= 0 ? static_cast<size_t>(row) : fields_.size();
    if (name.empty())
        return "请输入计算字段的名称";
    if (name.find('=') != std::string::npos)
        return "名称中不能有“=”";
    for (const CalcInput& in : fetched_)
        if (equalsIgnoringCase(in.name, name))
            return "已有名为“" + name + "”的字段";
    try {
        *kind = CalcExpression(ExprEdit->toPlainText().toStdString(), inputsFor(at)).kind();
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

void TfrmCalcFields::showCheck() {
    FieldKind kind = FieldKind::String;
    const std::string fault = check(&kind);
    CheckLabel->setText(fault.empty() ? tr("表达式正确，结果为") + kindText(kind) : qs(fault));
    AddButton->setEnabled(fault.empty());
    ReplaceButton->setEnabled(fault.empty() && FieldList->currentRow() >= 0);
    DeleteButton->setEnabled(FieldList->currentRow() >= 0);
}

void TfrmCalcFields::fillFieldList() {
    FieldList->clear();
    for (const CalculatedField& f : fields_)
        FieldList->addItem(qs(f.name + " = " + f.expression));
}

void TfrmCalcFields::selectField() {
    const int row = FieldList->currentRow();
    if (row >= 0 && static_cast<size_t>(row) < fields_.size()) {
        NameEdit->setText(qs(fields_[static_cast<size_t>(row)].name));
        ExprEdit->setPlainText(qs(fields_[static_cast<size_t>(row)].expression));
    }
    showCheck();
}

void TfrmCalcFields::addField() {
    const CalculatedField f{NameEdit->text().trimmed().toStdString(),
                            ExprEdit->toPlainText().toStdString()};
    for (const CalculatedField& g : fields_)
        if (equalsIgnoringCase(g.name, f.name))
            throw Error("已有名为“" + f.name + "”的计算字段：要改变它请选中后点“修改”");
    fields_.push_back(f);
    fillFieldList();
    // Ready for the next field, which may name this one.
    FieldList->setCurrentRow(-1);
    NameEdit->clear();
    ExprEdit->clear();
}

void TfrmCalcFields::replaceField() {
    const int row = FieldList->currentRow();
    if (row < 0)
        return;
    fields_[static_cast<size_t>(row)] = {NameEdit->text().trimmed().toStdString(),
                                         ExprEdit->toPlainText().toStdString()};
    fillFieldList();
    FieldList->setCurrentRow(row);
}

void TfrmCalcFields::deleteField() {
    const int row = FieldList->currentRow();
    if (row < 0)
        return;
    fields_.erase(fields_.begin() + row);
    fillFieldList();
    NameEdit->clear();
    ExprEdit->clear();
}

void TfrmCalcFields::insertText(const QString& text) {
    ExprEdit->insertPlainText(text);
    ExprEdit->setFocus();
}

std::optional<std::vector<CalculatedField>> RunCalculatedFieldsDialog(QWidget* parent,
                                                                      const DataSet& dataset) {
    TfrmCalcFields dialog(parent, dataset);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.fields();
}

} // namespace rg
