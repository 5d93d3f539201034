#pragma once

#include "app/setupfolders.h"
#include "app/ui/filechooser.h"
#include "datasource/dataset.h"
#include "document/reportdocument.h"
#include "export/exportregistry.h"
#include "grid/grid.h"
#include "print/componentprinter.h"

#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class QToolButton;
class QVBoxLayout;

namespace rg {

class PrintEngineWindows;
class TImageList;
class TdxNavBar;
class TdxNavBarItem;
class TdxNavBarGroup;
class GroupChartView;

// The main window. It owns the objects every command works on and wires each control
// to its handler; the handlers hand the work to the subsystem that owns it.
class Tfrmquorvel : public QWidget {
    Q_OBJECT
public:
    // `folders` are where the saved setups are listed from and saved to: by default the
    // folder "setup" beside the executable, or an installed program's user folder with the
    // program's own setups after it.
    explicit Tfrmquorvel(QWidget* parent = nullptr,
                         const SetupFolders& folders = defaultSetupFolders());
    ~Tfrmquorvel() override;

    static SetupFolders defaultSetupFolders();
    // Where setups are saved, with its trailing separator: a bare name saved is listed.
    QString setupFolder() const { return folders_.own; }

    // Puts the result grid into the centre of the working area (replacing any earlier
    // one) and gives it the grid's popup menu.
    void setGridView(QWidget* view);
    QWidget* gridView() const { return gridView_; }

    // Runs a command of this window or of the grid view, the print windows and the
    // navigation bar: through the command guard, with a progress window for whatever long
    // work it starts, as one step of the report's history.
    void runCommand(const std::function<void()>& command);
    // How long work runs before its progress window shows; tests show it at once.
    void setProgressDelay(std::chrono::milliseconds delay) { progressDelay_ = delay; }

    // The shell's "open" for exported files; tests install their own.
    Shell& shell() { return *shell_; }
    void setShell(std::unique_ptr<Shell> shell);

    // Saved-report list.
    void ListSavedSetups();
    // The item keeps the file's own path bytes, by which a click opens it.
    void AddSetupItem(const QString& caption, const std::string& path,
                      TdxNavBarGroup* group = nullptr);
    void ClearSavedSetups();

    // Report setups: the work is done by the report document.
    void LoadSetup(const QString& fileName);
    void SaveSetup(const QString& fileName);
    void BuildGridColumns();
    void ApplySummary(int fieldIndex, const QString& kindName);

    // The report on screen, as the user calls it: the name of the setup it was loaded from
    // or saved to; empty for a report set up in the data source dialog alone.
    QString reportName() const { return reportName_; }

    // The window as the user left it (rememberWindow, also when it closes): its frame and
    // splitters before it shows, then the last report, when it still loads.
    void restoreWindow();
    void openLastReport();
    void rememberWindow() const;

    // Controls, by their component names.
    QFrame* ToolBar1;
    QToolButton* ToolButton1;
    QFrame* ToolButton3;
    QToolButton* tbPreview;
    QToolButton* tbPrint;
    QToolButton* tbSetup;
    QFrame* tbDevider;
    QToolButton* tbDesigner;
    QFrame* tbSeparator;
    QToolButton* ToolButton2;
    QFrame* ToolButton4;
    QToolButton* tbExit;
    TImageList* ilButtons;
    QFrame* Panel1;
    TdxNavBar* nvbar;
    TdxNavBarGroup* nvbarShared; // the program's own setups, when listed beside the user's
    QSplitter* Splitter1;
    QWidget* gridArea;
    QFrame* Panel2;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8;
    QFrame* Panel3;
    QPushButton *Button1, *Button2, *Button3;
    // Which report is shown, or which one failed to open and why; at its right "服务器汇总"
    // while the grid's groups and rows come from the database server.
    QStatusBar* StatusBar1;
    QMenu* PopupMenu1;
    QAction *N1, *N2, *N3, *XML1, *N4, *PDF1, *N5, *N6, *N7, *N8, *N9;
    QAction* CalcFields;      // the dialog "计算字段"
    QAction* SummaryFormulas; // the dialog "汇总公式"
    QAction* Schedules;       // the dialog "定时输出" of the report shown, once it is saved
    // The chart of the groups beside the grid, and the menu entry that shows it.
    QAction *N10, *ShowChart;
    // Undo and redo of the report's last change, named after it; also on Ctrl+Z, Ctrl+Y and
    // Ctrl+Shift+Z.
    QAction *N11, *Undo, *Redo;
    QSplitter* ChartSplitter;
    GroupChartView* chartView = nullptr;
    TSaveDialog* dlgsjsc;

    // The report on screen: its connection and data set, which a new report replaces, and
    // its grid, which stays.
    std::unique_ptr<ReportDocument> document;
    TdxDBGrid* dxDBGrid = nullptr;
    Connection* conn() const { return &document->connection(); }
    DataSet* dataset() const { return &document->dataSet(); }
    // The print engine with its one report link on the grid.
    std::unique_ptr<TdxComponentPrinter> dxComponentPrinter1;
    TdxDBGridReportLink* dxComponentPrinter1Link1 = nullptr;

    // Command handlers. They may throw: every control reaches them through the command
    // guard, which shows the error and lets the program go on.
public slots:
    void ToolButton1Click();
    void UndoClick();
    void RedoClick();
    void tbPreviewClick();
    void tbPrintClick();
    void tbSetupClick();
    void tbDesignerClick();
    void ToolButton2Click();
    void tbExitClick();
    void FlatButton3Click();
    void FlatButton1Click();
    void FlatButton2Click();
    void N1Click();
    void N2Click();
    void XML1Click();
    void btnsjscClick();
    void PDF1Click();
    void N6Click();
    void CalcFieldsClick();
    void SummaryFormulasClick();
    void SchedulesClick();
    void N8Click();
    void N9Click();
    void nvbarItemClick(rg::TdxNavBarItem* Sender);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showLoadNotices(const std::string& skipped);
    // Loads a setup file as the report `name` (its file name `fileName`; `listed` when
    // clicked in the left bar): the whole report shows, or none of it.
    void askProcedureWrites(const std::string& path);
    void openReport(const std::string& path, const QString& name, const QString& fileName,
                    bool listed);
    void setReport(const QString& name, const QString& fileName);
    // The save dialog with the command's formats, the file written in the chosen one, then
    // opened by the desktop.
    void runExportCommand(ExportCommand command);
    void FormCreate();
    void buildToolBar(QVBoxLayout* layout);
    void buildWorkingArea(QVBoxLayout* layout);
    void buildBottomPanel(QVBoxLayout* layout);
    void buildPopupMenu();
    void buildHistoryEntries();
    void connectCommands();
    void attachPopupMenu(QWidget* target);
    void createPrintEngine();
    // "定时输出" in the context menu of a saved setup in the left bar.
    void addScheduleEntry(TdxNavBarItem* item, const std::string& path);

    SetupFolders folders_;
    QWidget* gridView_ = nullptr;
    QLabel* serverMode_ = nullptr;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<PrintEngineWindows> printWindows_;
    bool outerSizeFixed_ = false;
    QString reportName_, reportFile_;
    std::string reportPath_; // the setup file of the report shown, by its own bytes
    std::chrono::milliseconds progressDelay_;
};

} // namespace rg
