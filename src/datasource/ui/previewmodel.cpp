#include "datasource/ui/previewmodel.h"

#include "common/databaseerror.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "common/ui/commandguard.h"

#include <QMetaObject>

#include <cmath>

namespace rg {

Value valueFromText(const std::string& text, FieldKind kind) {
    if (text.empty())
        return Value::null();
    switch (kind) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::AutoInc:
    case FieldKind::LargeInt: {
        auto n = parseNumber(text);
        if (!n || std::floor(*n) != *n || std::fabs(*n) > 9.2e18)
            throw Error(format("'%s' is not a valid integer value", text.c_str()));
        return Value::fromInt(static_cast<int64_t>(*n));
    }
    case FieldKind::Float:
    case FieldKind::Currency:
    case FieldKind::BCD:
    case FieldKind::FMTBcd: {
        auto n = parseNumber(text);
        if (!n)
            throw Error(format("'%s' is not a valid floating point value", text.c_str()));
        return Value::fromDouble(*n);
    }
    case FieldKind::Boolean: {
        QString t = QString::fromStdString(text).trimmed();
        if (t.compare("True", Qt::CaseInsensitive) == 0 || t == "1")
            return Value::fromBool(true);
        if (t.compare("False", Qt::CaseInsensitive) == 0 || t == "0")
            return Value::fromBool(false);
        throw Error(format("'%s' is not a valid boolean value", text.c_str()));
    }
    case FieldKind::Date:
        if (auto d = parseDate(text))
            return Value::fromDate(*d);
        throw Error(format("'%s' is not a valid date", text.c_str()));
    case FieldKind::Time:
        if (auto t = parseTime(text))
            return Value::fromTime(*t);
        throw Error(format("'%s' is not a valid time", text.c_str()));
    case FieldKind::DateTime:
    case FieldKind::TimeStamp:
        if (auto t = parseDateTime(text))
            return Value::fromDateTime(*t);
        if (auto d = parseDate(text))
            return Value::fromDateTime(*d);
        throw Error(format("'%s' is not a valid date and time", text.c_str()));
    default:
        return Value::fromText(text);
    }
}

TDataSetModel::TDataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

TDataSetModel::~TDataSetModel() {
    if (dataSet_)
        dataSet_->removeObserver(this);
}

void TDataSetModel::setDataSet(rg::DataSet* dataSet) {
    if (dataSet_ != dataSet) {
        if (dataSet_)
            dataSet_->removeObserver(this);
        dataSet_ = dataSet;
        if (dataSet_)
            dataSet_->addObserver(this);
    }
    beginResetModel();
    rebuild();
    endResetModel();
}

void TDataSetModel::rebuild() {
    fields_.clear();
    records_ = 0;
    currentRow_ = -1;
    if (!dataSet_ || !dataSet_->Active())
        return;
    for (int i = 0; i < dataSet_->FieldCount(); ++i)
        if (dataSet_->Fields(i).Visible())
            fields_.push_back(i);
    records_ = dataSet_->RecordCount();
    currentRow_ = dataSet_->RecNo();
}

int TDataSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : records_;
}

int TDataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

QVariant TDataSetModel::data(const QModelIndex& index, int role) const {
    if (!dataSet_ || !index.isValid() || index.row() >= records_ || index.column() >= columnCount())
        return {};
    int field = fields_[index.column()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(dataSet_->displayText(index.row(), field));
    case Qt::TextAlignmentRole: {
        Alignment a = dataSet_->Fields(field).alignment();
        Qt::Alignment h = a == Alignment::Right    ? Qt::AlignRight
                          : a == Alignment::Center ? Qt::AlignHCenter
                                                   : Qt::AlignLeft;
        return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !dataSet_)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        return QString::fromStdString(dataSet_->Fields(fields_[section]).DisplayName());
    }
    // The row indicator points at the data set's current record.
    return section == currentRow_ ? QString::fromUtf8("\u25B6") : QString();
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && dataSet_ &&
        !isBlobKind(dataSet_->Fields(fields_[index.column()]).Kind()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool TDataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !dataSet_ || !index.isValid())
        return false;
    int field = fields_[index.column()];
    std::string text = value.toString().toStdString();
    if (text == dataSet_->displayText(index.row(), field))
        return false; // an edit that changes nothing posts nothing
    rg::DataSet& ds = *dataSet_;
    posting_ = true;
    bool ok = guardCommand([&] {
        try {
            ds.SetRecNo(index.row());
            Value v = valueFromText(text, ds.Fields(field).Kind());
            ds.Edit();
            ds.SetFieldValue(field, v);
            withDatabaseContext("保存修改失败", [&] { ds.Post(); });
        } catch (...) {
            // A refused post leaves the record as stored; the cell shows it again.
            if (ds.GetState() == rg::DataSet::State::Edit)
                ds.Cancel();
            throw;
        }
    });
    posting_ = false;
    if (resetPending_) {
        // Resetting inside the view's commit would delete the editor under it.
        resetPending_ = false;
        QMetaObject::invokeMethod(
            this, [this] { setDataSet(dataSet_); }, Qt::QueuedConnection);
    } else {
        emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    }
    return ok;
}

void TDataSetModel::dataSetEvent(DataEvent event) {
    if (event == DataEvent::RecordChanged) {
        int old = currentRow_;
        currentRow_ = dataSet_ && dataSet_->Active() ? dataSet_->RecNo() : -1;
        if (old != currentRow_) {
            if (old >= 0 && old < records_)
                emit headerDataChanged(Qt::Vertical, old, old);
            if (currentRow_ >= 0 && currentRow_ < records_)
                emit headerDataChanged(Qt::Vertical, currentRow_, currentRow_);
        }
        return;
    }
    if (posting_) {
        // A posted edit keeps the rows; anything that changes their count or the columns
        // waits until the edit is done.
        if (event != DataEvent::ContentsChanged ||
            (dataSet_ && dataSet_->RecordCount() != records_))
            resetPending_ = true;
        return;
    }
    beginResetModel();
    rebuild();
    endResetModel();
}

} // namespace rg
