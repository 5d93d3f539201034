#include "fixture.h"

#include "common/ui/commandguard.h"
#include "qtapplication.h"
#include "testsupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <stdexcept>

#include <gtest/gtest.h>

namespace rgtest {

namespace {
// The QApplication is there before the first widget.
class QtEnvironment : public testing::Environment {
public:
    void SetUp() override { qtApp(); }
};
[[maybe_unused]] testing::Environment* const qtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);
} // namespace

SalesDb::SalesDb() {
    path = (folder / "sales.db").string();
    rgtest::createSqliteFile(
        path, "CREATE TABLE sales(id INTEGER, region TEXT, amount REAL);"
              "INSERT INTO sales VALUES(1,'north',10.5),(2,'south',20),(3,'north',1),"
              "(4,'east',7),(5,'south',2.5),(6,'north',4);");
    conn.SetConnectionString("Provider=SQLite;Data Source=" + path);
    dataset.SetCommandType(rg::CommandType::cmdText);
    dataset.SetCommandText("SELECT id, region, amount FROM sales ORDER BY id");
    dataset.Open();
}

SalesDb::~SalesDb() {
    dataset.Close();
    conn.Close();
}

SalesGrid::SalesGrid() {
    grid.SetDataSet(&dataset);
    grid.SetShowRowFooter(true);
    grid.SetShowGroupPanel(true);
    grid.SetShowSummaryFooter(true);
    grid.CreateColumnsForFields(dataset);
    for (int i = 0; i < grid.ColumnCount(); ++i)
        grid.Columns(i).SetReadOnly(true);
    grid.SetKeyField("id");
}

SalesGrid::~SalesGrid() {
    grid.SetDataSet(nullptr);
}

void SalesGrid::groupByRegion() {
    if (!grid.GroupColumn(*grid.ColumnByFieldName("region"), 0))
        throw std::runtime_error("grouping refused");
    grid.ExpandAll();
}

bool SalesGrid::allTopExpanded() const {
    for (int i = 0; i < grid.TopCount(); ++i)
        if (!grid.Expanded(grid.Top(i)))
            return false;
    return grid.TopCount() > 0;
}

bool SalesGrid::anyTopExpanded() const {
    for (int i = 0; i < grid.TopCount(); ++i)
        if (grid.Expanded(grid.Top(i)))
            return true;
    return false;
}

EventCounter::EventCounter(rg::DataSet& ds, rg::DataEvent kind) : ds_(ds), kind_(kind) {
    ds_.addObserver(this);
}
EventCounter::~EventCounter() {
    ds_.removeObserver(this);
}
void EventCounter::dataSetEvent(rg::DataEvent e) {
    if (e == kind_)
        ++count;
}

ErrorLog::ErrorLog() {
    rg::setErrorSink([this](const QString& m) { messages << m; });
}
ErrorLog::~ErrorLog() {
    rg::setErrorSink({});
}

QTimer* onNextModal(std::function<void(QWidget*)> act) {
    QWidget* before = QApplication::activeModalWidget();
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, before, act] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == before || !w->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    timer->start();
    return timer;
}

QString captureMessageBox(const std::function<void()>& action) {
    QString text;
    bool seen = false;
    QPointer<QTimer> watcher = onNextModal([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            text = box->text();
            seen = true;
            box->done(QMessageBox::Ok);
        }
    });
    action();
    if (!seen && watcher) {
        // No box came: the watcher must not catch a later window.
        watcher->stop();
        delete watcher;
    }
    return text;
}

void showActive(QWidget* w) {
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    if (!QTest::qWaitForWindowActive(w))
        throw std::runtime_error("window did not become active");
}

} // namespace rgtest
