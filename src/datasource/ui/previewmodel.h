#pragma once

// The preview grid's view of a data set: one row per record, one column per visible
// field titled with its display name. Edits are posted through the data set.

#include "datasource/dataset.h"

#include <QAbstractTableModel>

#include <vector>

namespace rg {

class TDataSetModel : public QAbstractTableModel, public DataSetObserver {
    Q_OBJECT
public:
    explicit TDataSetModel(QObject* parent = nullptr);
    ~TDataSetModel() override;

    // Binds the model to a data set (nullptr unbinds); the view shows it at once.
    void setDataSet(rg::DataSet* dataSet);
    rg::DataSet* dataSet() const { return dataSet_; }
    int fieldIndex(int column) const { return fields_.at(column); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    void dataSetEvent(DataEvent event) override;

private:
    void rebuild();

    rg::DataSet* dataSet_ = nullptr;
    std::vector<int> fields_; // column -> field index
    int records_ = 0;
    bool posting_ = false;
    bool resetPending_ = false;
    int currentRow_ = -1;
};

// The value a typed text stands for in a field of the given kind; an empty text is null.
// Throws rg::Error when the text is no value of that kind.
Value valueFromText(const std::string& text, FieldKind kind);

} // namespace rg
