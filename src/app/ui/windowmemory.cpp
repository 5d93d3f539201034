// Where the user left the main window: its frame, the left bar's width and the last report,
// kept in the user's configuration folder ($XDG_CONFIG_HOME/reportgen/window.conf), never in
// a setup file, which another user may open.
#include "app/ui/quorvel.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSplitter>

namespace rg {
namespace {

QSettings windowSettings() {
    return QSettings(QStringLiteral("reportgen"), QStringLiteral("window"));
}

const QString kGeometry = QStringLiteral("geometry");
const QString kSplitter = QStringLiteral("splitter");
const QString kChartSplitter = QStringLiteral("chartSplitter");
// The file by its own bytes, as the left bar opens it, and the name it was shown under.
const QString kReportPath = QStringLiteral("lastReport/path");
const QString kReportName = QStringLiteral("lastReport/name");
const QString kReportFile = QStringLiteral("lastReport/file");

} // namespace

void Tfrmquorvel::rememberWindow() const {
    QSettings s = windowSettings();
    s.setValue(kGeometry, saveGeometry());
    s.setValue(kSplitter, Splitter1->saveState());
    s.setValue(kChartSplitter, ChartSplitter->saveState());
    if (reportPath_.empty()) {
        s.remove(QStringLiteral("lastReport"));
    } else {
        s.setValue(kReportPath, QByteArray::fromStdString(reportPath_));
        s.setValue(kReportName, reportName_);
        s.setValue(kReportFile, reportFile_);
    }
}

void Tfrmquorvel::restoreWindow() {
    const QSettings s = windowSettings();
    // The first show fits the frame to the default size only when nothing was kept.
    if (restoreGeometry(s.value(kGeometry).toByteArray()))
        outerSizeFixed_ = true;
    Splitter1->restoreState(s.value(kSplitter).toByteArray());
    ChartSplitter->restoreState(s.value(kChartSplitter).toByteArray());
}

void Tfrmquorvel::openLastReport() {
    const QSettings s = windowSettings();
    const std::string path = s.value(kReportPath).toByteArray().toStdString();
    if (path.empty() || !QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(path))))
        return;
    const QString name = s.value(kReportName).toString();
    const QString file = s.value(kReportFile).toString();
    // A report that no longer loads leaves the window empty; the status bar says why.
    runCommand([&] {
        try {
            openReport(path, name, file, false);
        } catch (const std::exception&) {
        }
    });
}

void Tfrmquorvel::closeEvent(QCloseEvent* event) {
    rememberWindow();
    QWidget::closeEvent(event);
}

} // namespace rg
