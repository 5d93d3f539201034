#pragma once

// A real SQLite file opened through the built-in provider, and helpers for driving the
// dialogs offscreen.

#include "datasource/dataset.h"
#include "grid/grid.h"
#include "testfiles.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class QTimer;
class QWidget;

namespace rgtest {

// Table sales(id INTEGER, region TEXT, amount REAL) with six rows in three regions.
class SalesDb {
public:
    SalesDb();
    ~SalesDb();
    rg::test::TempFolder folder; // holds the database file; first, so that it goes last
    rg::Connection conn;
    rg::DataSet dataset{&conn};
    std::string path;
};

// The sales data set shown in a grid with one column per field, as the main window builds
// it, keyed by id.
class SalesGrid : public SalesDb {
public:
    SalesGrid();
    ~SalesGrid();
    rg::TdxDBGrid grid;
    // Groups by region (three groups) and expands them.
    void groupByRegion();
    bool allTopExpanded() const;
    bool anyTopExpanded() const;
};

// Counts the data set's notifications of one kind.
class EventCounter : public rg::DataSetObserver {
public:
    EventCounter(rg::DataSet& ds, rg::DataEvent kind);
    ~EventCounter() override;
    void dataSetEvent(rg::DataEvent e) override;
    int count = 0;

private:
    rg::DataSet& ds_;
    rg::DataEvent kind_;
};

// Records what reaches the grid dialogs' error box for the lifetime of the object.
class ErrorLog {
public:
    ErrorLog();
    ~ErrorLog();
    QStringList messages;
};

// Hands the next modal window that opens (a dialog or a message box) to `act`, from
// inside its event loop. `act` is expected to close it.
QTimer* onNextModal(std::function<void(QWidget*)> act);
// Runs `action`, closing the message box it shows; returns that box's text ("" if none).
QString captureMessageBox(const std::function<void()>& action);

// Shows a window for interaction offscreen and makes it active.
void showActive(QWidget* w);

} // namespace rgtest
