#include "app/ui/quorvel.h"

#include "app/savedsetups.h"
#include "app/ui/about.h"
#include "app/ui/buttonimages.h"
#include "app/ui/calcfielddialog.h"
#include "app/ui/navbar.h"
#include "app/ui/passworddialogs.h"
#include "app/ui/program.h"
#include "app/ui/progresswindow.h"
#include "app/ui/reportprompt.h"
#include "app/ui/summaryformuladialog.h"
#include "chart/ui/chartview.h"
#include "common/ui/commandguard.h"
#include "datasource/ui/dbsetup.h"
#include "grid/ui/gridview.h"
#include "gridsetup/ui/fielddisplaysetup.h"
#include "gridsetup/ui/primmarysetup.h"
#include "gridsetup/ui/setupfield.h"
#include "gridsetup/ui/summaryitemsetup.h"
#include "print/reportformats.h"
#include "print/ui/printenginewindows.h"
#include "setup/reportdefinition.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace rg {

namespace {

constexpr QSize outerSize(870, 702);

QToolButton* toolButton(QFrame* bar, const char* name, const QString& caption,
                        const TImageList* images, int image, const char* hint) {
    auto button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setIcon(images->icon(image));
    button->setIconSize(QSize(TImageList::Width, TImageList::Height));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(97, 36);
    if (hint)
        button->setToolTip(QCoreApplication::translate("rg::Tfrmquorvel", hint));
    bar->layout()->addWidget(button);
    return button;
}

// An 8 pixel gap in the toolbar; a divider also draws a line.
QFrame* toolGap(QFrame* bar, const char* name, bool divider) {
    auto gap = new QFrame(bar);
    gap->setObjectName(QLatin1String(name));
    gap->setFixedSize(8, 36);
    gap->setFrameStyle(divider ? (QFrame::VLine | QFrame::Sunken) : QFrame::NoFrame);
    bar->layout()->addWidget(gap);
    return gap;
}

QLabel* label(QWidget* panel, const char* name, int left, int top, int width, const QString& text) {
    auto l = new QLabel(text, panel);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(left, top, width, 13);
    return l;
}

QPushButton* button(QWidget* panel, const char* name, const QString& caption, int left, int width) {
    auto b = new QPushButton(caption, panel);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(left, 5, width, 25);
    return b;
}

QAction* menuItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* a = caption.isEmpty() ? menu->addSeparator() : menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

// Shown at the right of the status bar while the grid takes its groups and rows from the
// database server; the bar's messages keep their place on the left.
class ServerModeSign : public QLabel, private GridListener {
public:
    ServerModeSign(TdxDBGrid& grid, QWidget* parent)
        : QLabel(QStringLiteral("服务器汇总"), parent), grid_(grid) {
        setObjectName(QStringLiteral("ServerMode"));
        setVisible(false);
        grid_.addListener(this);
    }
    ~ServerModeSign() override { grid_.removeListener(this); }

private:
    void gridChanged() override { setVisible(grid_.ServerMode()); }
    TdxDBGrid& grid_;
};

} // namespace

Tfrmquorvel::Tfrmquorvel(QWidget* parent, const SetupFolders& folders)
    : QWidget(parent), folders_(folders), shell_(makeDesktopShell()),
      progressDelay_(TProgressWindow::kShowDelay) {
    setObjectName(QStringLiteral("frmquorvel"));
    setWindowTitle(tr("报表生成器"));
    setFont(uiFont());
    move(197, 122);
    resize(outerSize);

    ilButtons = new TImageList(this);
    dlgsjsc = new TSaveDialog(this);
    document = std::make_unique<ReportDocument>();
    dxDBGrid = &document->grid();
    installPasswordDialogs(this);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar(layout);
    buildWorkingArea(layout);
    auto view = new TdxDBGridView(*dxDBGrid);
    view->setCommandGuard([this](const std::function<void()>& command) { runCommand(command); });
    chartView = new GroupChartView(document->chart(), ChartSplitter);
    ChartSplitter->addWidget(chartView);
    setGridView(view);
    createPrintEngine();
    buildBottomPanel(layout);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    serverMode_ = new ServerModeSign(*dxDBGrid, StatusBar1);
    StatusBar1->addPermanentWidget(serverMode_);
    layout->addWidget(StatusBar1);
    buildPopupMenu();
    connectCommands();
    FormCreate();
}

Tfrmquorvel::~Tfrmquorvel() {
    // The views and the status bar's sign watch the grid model: they go before it does.
    setGridView(nullptr);
    delete chartView;
    delete serverMode_;
    dxComponentPrinter1.reset();
}

void Tfrmquorvel::createPrintEngine() {
    dxComponentPrinter1 = std::make_unique<TdxComponentPrinter>();
    dxComponentPrinter1Link1 = &dxComponentPrinter1->AddLink(dxDBGrid, "dxComponentPrinter1Link1");
    printWindows_ = std::make_unique<PrintEngineWindows>(this);
    printWindows_->setCommandGuard(
        [this](const std::function<void()>& command) { runCommand(command); });
    dxComponentPrinter1->SetWindows(printWindows_.get());
    // The view's top row is kept across a report build.
    dxComponentPrinter1->GetTopRow = [this] {
        auto view = qobject_cast<TdxDBGridView*>(gridView_);
        return view ? view->topLine() : -1;
    };
    dxComponentPrinter1->SetTopRow = [this](int line) {
        if (auto view = qobject_cast<TdxDBGridView*>(gridView_))
            view->verticalScrollBar()->setValue(line);
    };
}

SetupFolders Tfrmquorvel::defaultSetupFolders() {
    return setupFoldersFor(QCoreApplication::applicationDirPath(),
                           QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

void Tfrmquorvel::buildToolBar(QVBoxLayout* layout) {
    ToolBar1 = new QFrame(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ToolBar1->setFixedHeight(40);
    auto row = new QHBoxLayout(ToolBar1);
    row->setContentsMargins(4, 1, 1, 1); // with the 1 pixel border: indent 5
    row->setSpacing(0);

    ToolButton1 = toolButton(ToolBar1, "ToolButton1", tr("设置数据源"), ilButtons, 6, nullptr);
    ToolButton3 = toolGap(ToolBar1, "ToolButton3", false);
    tbPreview = toolButton(ToolBar1, "tbPreview", tr("打印预览"), ilButtons, 1,
                           QT_TRANSLATE_NOOP("rg::Tfrmquorvel", "Print Preview"));
    tbPrint = toolButton(ToolBar1, "tbPrint", tr("打印"), ilButtons, 2,
                         QT_TRANSLATE_NOOP("rg::Tfrmquorvel", "Print"));
    tbSetup = toolButton(ToolBar1, "tbSetup", tr("     页面设置         "), ilButtons, 0,
                         QT_TRANSLATE_NOOP("rg::Tfrmquorvel", "Page Setup"));
    tbDevider = toolGap(ToolBar1, "tbDevider", true);
    tbDesigner = toolButton(ToolBar1, "tbDesigner", tr("报表设计"), ilButtons, 3,
                            QT_TRANSLATE_NOOP("rg::Tfrmquorvel", "Designer"));
    tbSeparator = toolGap(ToolBar1, "tbSeparator", true);
    ToolButton2 = toolButton(ToolBar1, "ToolButton2", tr("关于"), ilButtons, 7, nullptr);
    ToolButton4 = toolGap(ToolBar1, "ToolButton4", false);
    tbExit = toolButton(ToolBar1, "tbExit", tr("退出"), ilButtons, 5,
                        QT_TRANSLATE_NOOP("rg::Tfrmquorvel", "Exit"));
    row->addStretch(1);
    layout->addWidget(ToolBar1);
}

void Tfrmquorvel::buildWorkingArea(QVBoxLayout* layout) {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto row = new QHBoxLayout(Panel1);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);

    nvbar = new TdxNavBar(QStringLiteral("nvbarGroup"), tr("已设置报表"), Splitter1);
    nvbar->setObjectName(QStringLiteral("nvbar"));
    nvbarShared = nvbar->AddGroup(QStringLiteral("nvbarShared"), tr("程序目录中的报表"));
    nvbarShared->setShown(false);

    gridArea = new QWidget(Splitter1);
    gridArea->setObjectName(QStringLiteral("gridArea"));
    gridArea->setBackgroundRole(QPalette::Base);
    gridArea->setAutoFillBackground(true);
    auto gridLayout = new QVBoxLayout(gridArea);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    ChartSplitter = new QSplitter(Qt::Horizontal, gridArea);
    ChartSplitter->setObjectName(QStringLiteral("ChartSplitter"));
    ChartSplitter->setChildrenCollapsible(false);
    gridLayout->addWidget(ChartSplitter);

    Splitter1->addWidget(nvbar);
    Splitter1->addWidget(gridArea);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({144, outerSize.width() - 144 - 167});
    row->addWidget(Splitter1, 1);

    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel2->setFixedWidth(167);
    Label4 = label(Panel2, "Label4", 16, 24, 96, tr("请按下列步骤操作"));
    Label1 = label(Panel2, "Label1", 16, 56, 97, tr("1.设置关键字"));
    Label2 = label(Panel2, "Label2", 16, 88, 89, tr("2.设置字段"));
    Label3 = label(Panel2, "Label3", 16, 120, 97, tr("3.设置汇总方式"));
    Label5 = label(Panel2, "Label5", 8, 136, 153, tr("注：此程序可以设置任意"));
    Label6 = label(Panel2, "Label6", 8, 152, 153, tr("一种形式的报表，对任意"));
    Label7 = label(Panel2, "Label7", 8, 168, 153, tr("烈进行汇总，还可以输出"));
    Label8 = label(Panel2, "Label8", 8, 184, 153, tr("Excel表格"));
    row->addWidget(Panel2);

    layout->addWidget(Panel1, 1);
}

void Tfrmquorvel::buildBottomPanel(QVBoxLayout* layout) {
    Panel3 = new QFrame(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel3->setFixedHeight(41);
    Button1 = button(Panel3, "Button1", tr("设置关键字"), 206, 75);
    Button2 = button(Panel3, "Button2", tr("设置字段"), 334, 75);
    Button3 = button(Panel3, "Button3", tr("设置汇总方式"), 470, 99);
    layout->addWidget(Panel3);
}

void Tfrmquorvel::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = menuItem(PopupMenu1, "N1", tr("展开"));
    N2 = menuItem(PopupMenu1, "N2", tr("折叠"));
    N3 = menuItem(PopupMenu1, "N3", nullptr);
    XML1 = menuItem(PopupMenu1, "XML1", tr("输出XML文档"));
    N4 = menuItem(PopupMenu1, "N4", tr("输出电子表格"));
    PDF1 = menuItem(PopupMenu1, "PDF1", tr("输出PDF文档"));
    N5 = menuItem(PopupMenu1, "N5", nullptr);
    N6 = menuItem(PopupMenu1, "N6", tr("字段显示设置"));
    N7 = menuItem(PopupMenu1, "N7", nullptr);
    N8 = menuItem(PopupMenu1, "N8", tr("保存设置"));
    N9 = menuItem(PopupMenu1, "N9", tr("读取设置"));
    N10 = menuItem(PopupMenu1, "N10", nullptr);
    ShowChart = menuItem(PopupMenu1, "ShowChart", tr("显示图表"));
    ShowChart->setCheckable(true);
    CalcFields = menuItem(PopupMenu1, "CalcFields", tr("计算字段"));
    SummaryFormulas = menuItem(PopupMenu1, "SummaryFormulas", tr("汇总公式"));
    Schedules = menuItem(PopupMenu1, "Schedules", tr("定时输出"));
    connect(ShowChart, &QAction::toggled, this,
            [this](bool on) { runCommand([&] { chartView->setShown(on); }); });
    connect(chartView, &GroupChartView::shownChanged, this, [this](bool on) {
        ShowChart->setChecked(on);
        // A splitter gives a widget shown again no width: the chart takes two fifths.
        const int width = ChartSplitter->width();
        if (on)
            ChartSplitter->setSizes({width - width * 2 / 5, width * 2 / 5});
    });
    buildHistoryEntries();
    // Until the grid arrives the empty centre carries the menu.
    attachPopupMenu(gridArea);
}

// The entries name the step they take back or again; the window's shortcuts reach them
// wherever the focus is.
void Tfrmquorvel::buildHistoryEntries() {
    N11 = menuItem(PopupMenu1, "N11", nullptr);
    Undo = menuItem(PopupMenu1, "Undo", tr("撤销"));
    Redo = menuItem(PopupMenu1, "Redo", tr("重做"));
    Undo->setShortcut(QKeySequence::Undo);
    Redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* a : {Undo, Redo}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
    const QUndoStack& history = document->history();
    auto follow = [this, &history] {
        Undo->setEnabled(history.canUndo());
        Undo->setText(history.canUndo() ? tr("撤销：") + history.undoText() : tr("撤销"));
        Redo->setEnabled(history.canRedo());
        Redo->setText(history.canRedo() ? tr("重做：") + history.redoText() : tr("重做"));
    };
    connect(&history, &QUndoStack::indexChanged, this, follow);
    follow();
}

void Tfrmquorvel::connectCommands() {
    auto run = [this](void (Tfrmquorvel::*handler)()) {
        return [this, handler] { runCommand([&] { (this->*handler)(); }); };
    };
    const std::pair<QAbstractButton*, void (Tfrmquorvel::*)()> buttons[] = {
        {ToolButton1, &Tfrmquorvel::ToolButton1Click},
        {tbPreview, &Tfrmquorvel::tbPreviewClick},
        {tbPrint, &Tfrmquorvel::tbPrintClick},
        {tbSetup, &Tfrmquorvel::tbSetupClick},
        {tbDesigner, &Tfrmquorvel::tbDesignerClick},
        {ToolButton2, &Tfrmquorvel::ToolButton2Click},
        {tbExit, &Tfrmquorvel::tbExitClick},
        {Button1, &Tfrmquorvel::FlatButton3Click},
        {Button2, &Tfrmquorvel::FlatButton1Click},
        {Button3, &Tfrmquorvel::FlatButton2Click},
    };
    for (const auto& [control, handler] : buttons)
        connect(control, &QAbstractButton::clicked, this, run(handler));
    const std::pair<QAction*, void (Tfrmquorvel::*)()> items[] = {
        {N1, &Tfrmquorvel::N1Click},
        {N2, &Tfrmquorvel::N2Click},
        {XML1, &Tfrmquorvel::XML1Click},
        {N4, &Tfrmquorvel::btnsjscClick},
        {PDF1, &Tfrmquorvel::PDF1Click},
        {N6, &Tfrmquorvel::N6Click},
        {N8, &Tfrmquorvel::N8Click},
        {N9, &Tfrmquorvel::N9Click},
        {CalcFields, &Tfrmquorvel::CalcFieldsClick},
        {SummaryFormulas, &Tfrmquorvel::SummaryFormulasClick},
        {Schedules, &Tfrmquorvel::SchedulesClick},
        {Undo, &Tfrmquorvel::UndoClick},
        {Redo, &Tfrmquorvel::RedoClick},
    };
    for (const auto& [item, handler] : items)
        connect(item, &QAction::triggered, this, run(handler));
}

void Tfrmquorvel::attachPopupMenu(QWidget* target) {
    target->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(target, &QWidget::customContextMenuRequested, this, [this, target](QPoint pos) {
        // A scroll area reports the position in its viewport.
        auto area = qobject_cast<QAbstractScrollArea*>(target);
        PopupMenu1->popup((area ? area->viewport() : target)->mapToGlobal(pos));
    });
}

void Tfrmquorvel::setGridView(QWidget* view) {
    if (gridView_ == view)
        return;
    delete gridView_;
    gridView_ = view;
    if (!view)
        return;
    ChartSplitter->insertWidget(0, view);
    ChartSplitter->setStretchFactor(0, 2);
    ChartSplitter->setStretchFactor(1, 1);
    attachPopupMenu(view);
}

void Tfrmquorvel::runCommand(const std::function<void()>& command) {
    guardCommand([&] {
        CommandProgress progress(this, progressDelay_);
        ProgressScope scope(&progress);
        ReportStep step(*document);
        command();
    });
}

void Tfrmquorvel::setShell(std::unique_ptr<Shell> shell) {
    shell_ = std::move(shell);
}

void Tfrmquorvel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (outerSizeFixed_)
        return;
    outerSizeFixed_ = true;
    // The outer size counts the window frame, known only once the window is mapped.
    QTimer::singleShot(0, this, [this] {
        const QSize frame = frameGeometry().size() - size();
        if (!frame.isEmpty())
            resize(outerSize - frame);
    });
}

void Tfrmquorvel::FormCreate() {
    ListSavedSetups();
}

// The program's own setups follow the user's, each named once: a user's setup of the same
// name is the one listed. Where two folders are listed, each link names its folder.
void Tfrmquorvel::ListSavedSetups() {
    QSet<QString> own;
    for (const SavedSetup& setup : savedSetups(folders_.own)) {
        own.insert(setup.caption);
        AddSetupItem(setup.caption, setup.path);
    }
    int shared = 0;
    if (!folders_.shared.isEmpty())
        for (const SavedSetup& setup : savedSetups(folders_.shared))
            if (!own.contains(setup.caption)) {
                AddSetupItem(setup.caption, setup.path, nvbarShared);
                ++shared;
            }
    nvbarShared->setShown(shared > 0);
    if (shared == 0)
        return;
    for (int i = 0; i < nvbar->ItemCount(); ++i) {
        TdxNavBarItem* item = nvbar->Item(i);
        const QString file = QFile::decodeName(item->Data());
        item->linkWidget()->setToolTip(QDir::toNativeSeparators(QFileInfo(file).absolutePath()));
    }
}

void Tfrmquorvel::AddSetupItem(const QString& caption, const std::string& path,
                               TdxNavBarGroup* group) {
    TdxNavBarItem* item = nvbar->AddItem(caption, group);
    item->setData(QByteArray::fromStdString(path));
    connect(item, &TdxNavBarItem::clicked, this,
            [this](TdxNavBarItem* sender) { runCommand([&] { nvbarItemClick(sender); }); });
    addScheduleEntry(item, path);
}

void Tfrmquorvel::ClearSavedSetups() {
    nvbar->ClearItems();
}

// The file is opened by its own bytes: a caption decoded from GBK would name no file.
void Tfrmquorvel::nvbarItemClick(TdxNavBarItem* Sender) {
    const std::string path = Sender->Data().toStdString();
    openReport(path, Sender->Caption(), Sender->Caption() + QStringLiteral(".ini"), true);
}

// A setup that lets its stored procedure write is asked about before its first open: it
// may come from someone else.
void Tfrmquorvel::askProcedureWrites(const std::string& path) {
    const std::optional<rg::ProcedureWrite> w = rg::UnapprovedProcedureWrite(path);
    if (w && QMessageBox::question(
                 this, windowTitle(), QString::fromStdString(rg::procedureWriteQuestion(*w)),
                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes)
        rg::ApproveProcedureWrites(*w);
}

// A load that fails or is cancelled leaves the report shown as it was; the status bar says
// what failed and which report still shows.
void Tfrmquorvel::openReport(const std::string& path, const QString& name, const QString& fileName,
                             bool listed) {
    std::string skipped;
    try {
        if (listed)
            requireSetupFile(path);
        askProcedureWrites(path);
        const PromptAnswer run = AskReportParameters(this, path);
        skipped = document->loadFile(path, run.texts, run.asOfDay);
    } catch (const std::exception& e) {
        const bool cancelled = dynamic_cast<const Cancelled*>(&e) != nullptr;
        QString status = tr("打开报表“%1”").arg(name);
        if (cancelled) {
            status += tr("已取消");
        } else {
            // The load's own error may already lead with this sentence.
            QString reason = QString::fromUtf8(e.what());
            static const QRegularExpression ownSentence(QStringLiteral("^打开报表“[^”]*”失败："));
            reason.remove(ownSentence);
            status += tr("失败：") + reason;
        }
        if (!reportName_.isEmpty())
            status += tr("（仍显示报表“%1”）").arg(reportName_);
        StatusBar1->showMessage(status.simplified()); // one line, whatever the message holds
        throw;
    }
    reportPath_ = path;
    setReport(name, fileName);
    showLoadNotices(skipped);
}

void Tfrmquorvel::setReport(const QString& name, const QString& fileName) {
    reportName_ = name;
    reportFile_ = fileName;
    dxComponentPrinter1Link1->ReportName = name;
    if (!name.isEmpty())
        StatusBar1->showMessage(tr("报表“%1”").arg(name));
}

void Tfrmquorvel::N1Click() {
    dxDBGrid->ExpandAll();
}

void Tfrmquorvel::N2Click() {
    dxDBGrid->CollapseAll();
}

// The dialog opens in the setup folder on the report's own file, so that a report saved
// under a bare name is listed in the left bar.
void Tfrmquorvel::N8Click() {
    dlgsjsc->Filter = QStringLiteral("设置|*.ini");
    QDir().mkpath(folders_.own);
    dlgsjsc->FileName = folders_.own + reportFile_;
    if (!dlgsjsc->Execute())
        return;
    QString name = dlgsjsc->FileName;
    if (QFileInfo(name).isRelative())
        name = folders_.own + name;
    if (!name.contains(QStringLiteral(".ini")))
        name += QStringLiteral(".ini");
    // The list is rebuilt whether or not the file could be written; the failure's message
    // follows.
    std::exception_ptr failure;
    try {
        SaveSetup(name);
        reportPath_ = QFile::encodeName(name).toStdString();
        const QFileInfo saved(name);
        setReport(saved.completeBaseName(), saved.fileName());
    } catch (...) {
        failure = std::current_exception();
    }
    ClearSavedSetups();
    ListSavedSetups();
    if (failure)
        std::rethrow_exception(failure);
}

void Tfrmquorvel::N9Click() {
    dlgsjsc->Filter = QStringLiteral("设置|*.ini");
    if (!dlgsjsc->Execute())
        return;
    LoadSetup(dlgsjsc->FileName);
}

void Tfrmquorvel::LoadSetup(const QString& fileName) {
    const QFileInfo file(fileName);
    openReport(fileName.toStdString(), file.completeBaseName(), file.fileName(), false);
}

// What the open left out (a procedure's further results) and the saved entries skipped,
// told in one message once the report shows.
void Tfrmquorvel::showLoadNotices(const std::string& skipped) {
    const std::string notice = JoinNotices(dataset()->OpenNotice(), skipped);
    if (!notice.empty())
        showCommandNotice(QString::fromStdString(notice));
}

void Tfrmquorvel::SaveSetup(const QString& fileName) {
    rg::SaveSetup(document->objects(), fileName.toStdString());
}

void Tfrmquorvel::BuildGridColumns() {
    if (!dxDBGrid->dataSet()) {
        QMessageBox::information(this, windowTitle(), tr("没有提供数据源"));
        close();
        return;
    }
    rg::BuildGridColumns(*dxDBGrid);
}

void Tfrmquorvel::ApplySummary(int fieldIndex, const QString& kindName) {
    rg::ApplySummary(*dxDBGrid, fieldIndex, kindName.toStdString());
}

void Tfrmquorvel::runExportCommand(ExportCommand command) {
    const ExportRegistry& formats = ReportFormats();
    dlgsjsc->Filter = QString::fromStdString(formats.dialogFilter(command));
    if (!dlgsjsc->Execute())
        return;
    const ExportTarget target =
        formats.target(command, dlgsjsc->FileName.toStdString(), dlgsjsc->FilterIndex);
    ExportJob job{dxDBGrid, target.path, GridAppearance::fromPalette(palette())};
    // Paged formats print the report as the print command would, rebuilt from the grid.
    if (target.format->paged) {
        if (!dxComponentPrinter1->RebuildReport(dxComponentPrinter1Link1))
            return;
        job.report = dxComponentPrinter1Link1;
    }
    const ExportResult r = target.format->write(job);
    if (const std::string notice = JoinNotices(r.notice, target.format->openingNote);
        !notice.empty())
        showCommandNotice(QString::fromStdString(notice));
    shell().open(QString::fromStdString(r.path));
}

void Tfrmquorvel::btnsjscClick() {
    runExportCommand(ExportCommand::Spreadsheet);
}

void Tfrmquorvel::XML1Click() {
    runExportCommand(ExportCommand::XmlDocument);
}

void Tfrmquorvel::PDF1Click() {
    runExportCommand(ExportCommand::Pdf);
}

// The dialog works on a copy of the report's source: what it opened shows on "确认", and
// whatever it did otherwise leaves the report as it was.
void Tfrmquorvel::ToolButton1Click() {
    ReportDocument::Source source = document->copySource();
    const bool ok = RunDataSourceDialog(this, *source.dataset, *source.conn, [](DataSet& ds) {
        if (frmdisplaysetup)
            frmdisplaysetup->ShowFor(&ds);
    });
    // Nothing opened, or the same source again: the report stays as it is arranged.
    if (!ok || !source.dataset->Active() ||
        (dataset()->Active() &&
         CaptureSource(*source.conn, *source.dataset) == CaptureSource(*conn(), *dataset())))
        return;
    document->adoptSource(std::move(source));
    StatusBar1->showMessage(reportName_.isEmpty() ? tr("新报表") : tr("报表“%1”").arg(reportName_));
}

void Tfrmquorvel::UndoClick() {
    document->undo();
}

void Tfrmquorvel::RedoClick() {
    document->redo();
}

void Tfrmquorvel::FlatButton3Click() {
    RunKeyFieldDialog(this, *dxDBGrid);
}

void Tfrmquorvel::FlatButton1Click() {
    RunVisibleFieldsDialog(this, *dxDBGrid);
}

void Tfrmquorvel::FlatButton2Click() {
    RunSummaryDialog(this, *dxDBGrid);
}

void Tfrmquorvel::N6Click() {
    if (frmdisplaysetup)
        frmdisplaysetup->ShowFor(dxDBGrid->dataSet());
}

void Tfrmquorvel::CalcFieldsClick() {
    if (dataset()->ServerSide())
        throw Error("这份报表的数据留在服务器上汇总，计算字段只能在内存中计算：请关闭服务器汇总后再"
                    "定义计算字段");
    if (auto fields = RunCalculatedFieldsDialog(this, *dataset()))
        if (const std::string notice = document->setCalculatedFields(std::move(*fields));
            !notice.empty())
            showCommandNotice(QString::fromStdString(notice));
}

void Tfrmquorvel::SummaryFormulasClick() {
    if (auto formulas = RunSummaryFormulasDialog(this, *dxDBGrid))
        if (const std::string notice = document->setSummaryFormulas(std::move(*formulas));
            !notice.empty())
            showCommandNotice(QString::fromStdString(notice));
}

void Tfrmquorvel::ToolButton2Click() {
    if (OKHelpBottomDlg)
        OKHelpBottomDlg->exec();
}

void Tfrmquorvel::tbExitClick() {
    close();
}

// The print engine's commands on its one report link.
void Tfrmquorvel::tbPreviewClick() {
    dxComponentPrinter1->Preview(true, nullptr);
}
void Tfrmquorvel::tbPrintClick() {
    dxComponentPrinter1->Print(true, nullptr, nullptr);
}
void Tfrmquorvel::tbSetupClick() {
    dxComponentPrinter1->PageSetup(nullptr);
}
void Tfrmquorvel::tbDesignerClick() {
    dxComponentPrinter1->DesignReport(nullptr);
}

} // namespace rg
