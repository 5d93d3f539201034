#include "datasource/ui/parametertable.h"

#include <QComboBox>
#include <QHeaderView>

namespace rg {
namespace {

enum Column { kName, kType, kDefault, kRangeEnd, kList, kColumns };

// A list's entry: a query when it starts with SELECT or WITH, else values by commas.
bool isQuery(const QString& text) {
    const QString t = text.trimmed();
    return t.startsWith("SELECT", Qt::CaseInsensitive) || t.startsWith("WITH", Qt::CaseInsensitive);
}

QString listText(const SqlParameter& p) {
    if (!p.listQuery.empty())
        return QString::fromStdString(p.listQuery);
    QStringList values;
    for (const std::string& v : p.listValues)
        values << QString::fromStdString(v);
    return values.join(",");
}

} // namespace

TParameterTable::TParameterTable(QWidget* parent) : QTableWidget(parent) {
    setObjectName("ParameterTable");
    setColumnCount(kColumns);
    setHorizontalHeaderLabels(
        {tr("参数"), tr("类型"), tr("默认值"), tr("区间终点"), tr("列表值或查询")});
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setStretchLastSection(true);
    setToolTip(tr("默认值可以是值，也可以是 @ 加日期预设，如 @上月初；区间的起点"
                  "写终点参数的名称，默认值可以是期间，如 @上月"));
    connect(this, &QTableWidget::itemChanged, this, [this] {
        if (!filling_ && OnEdited)
            OnEdited();
    });
}

void TParameterTable::showParameters(const std::vector<SqlParameter>& params) {
    filling_ = true;
    setRowCount(static_cast<int>(params.size()));
    for (int r = 0; r < rowCount(); ++r) {
        const SqlParameter& p = params[static_cast<size_t>(r)];
        auto* name = new QTableWidgetItem(QString::fromStdString(p.name));
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        setItem(r, kName, name);
        auto* type = new QComboBox(this);
        type->setObjectName(QString("ParameterType%1").arg(r + 1));
        for (const SqlParameterTypeName& t : SqlParameterTypes())
            type->addItem(QString::fromUtf8(t.caption), QString::fromLatin1(t.key));
        type->setCurrentIndex(
            type->findData(QString::fromLatin1(sqlParameterTypeName(p.type).key)));
        connect(type, &QComboBox::currentIndexChanged, this, [this] {
            if (!filling_ && OnEdited)
                OnEdited();
        });
        setCellWidget(r, kType, type);
        setItem(r, kDefault, new QTableWidgetItem(QString::fromStdString(p.defaultValue)));
        setItem(r, kRangeEnd, new QTableWidgetItem(QString::fromStdString(p.rangeEnd)));
        setItem(r, kList, new QTableWidgetItem(listText(p)));
    }
    filling_ = false;
}

std::vector<SqlParameter> TParameterTable::parameters() const {
    std::vector<SqlParameter> params;
    for (int r = 0; r < rowCount(); ++r) {
        SqlParameter p;
        p.name = item(r, kName)->text().toStdString();
        const auto* type = static_cast<QComboBox*>(cellWidget(r, kType));
        p.type = sqlParameterTypeFromKey(type->currentData().toString().toStdString())
                     .value_or(SqlParameterType::Text);
        p.defaultValue = item(r, kDefault)->text().trimmed().toStdString();
        p.rangeEnd = item(r, kRangeEnd)->text().trimmed().toStdString();
        const QString list = item(r, kList)->text();
        if (isQuery(list))
            p.listQuery = list.trimmed().toStdString();
        else
            for (const QString& v : list.split(',', Qt::SkipEmptyParts))
                p.listValues.push_back(v.trimmed().toStdString());
        params.push_back(std::move(p));
    }
    return params;
}

} // namespace rg
