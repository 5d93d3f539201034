#include "print/ui/reportdesigner.h"

#include "print/ui/previewpageview.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace rg {

namespace {

using enum TdxTreeListPaintOption;
using S = TdxGridReportSettings;

// An option shows by its name, which the translation turns into words.
struct OptionEntry {
    TdxTreeListPaintOption option;
    const char* name;
};
const OptionEntry kOptions[] = {
    {tlpoBands, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoBands")},
    {tlpoHeaders, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoHeaders")},
    {tlpoFooters, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoFooters")},
    {tlpoRowFooters, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoRowFooters")},
    {tlpoPreview, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoPreview")},
    {tlpoPreviewGrid, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoPreviewGrid")},
    {tlpoGrid, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoGrid")},
    {tlpoFlatCheckMarks, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoFlatCheckMarks")},
    {tlpoImages, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoImages")},
    {tlpoStateImages, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoStateImages")},
    {tlpoSoft3D, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoSoft3D")},
    {tlpoRowFooterGrid, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoRowFooterGrid")},
    {tlpoTransparentColumnGraphic,
     QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoTransparentColumnGraphic")},
    {tlpoGraphicAsText, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoGraphicAsText")},
    {tlpo3DEffects, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpo3DEffects")},
    {tlpoCheckMarksAsText, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoCheckMarksAsText")},
    {tlpoTreeLines, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoTreeLines")},
    {tlpoExpandButtons, QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "tlpoExpandButtons")},
};

template <class M> struct Entry {
    const char* name;
    const char* caption;
    M S::*member;
};
const Entry<QColor> kColors[] = {
    {"BandColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "带区"), &S::BandColor},
    {"HeaderColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "列标题"), &S::HeaderColor},
    {"GroupNodeColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "分组行"), &S::GroupNodeColor},
    {"RowFooterColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "分组页脚"), &S::RowFooterColor},
    {"GridLineColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "网格线"), &S::GridLineColor},
    {"Color", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "单元格"), &S::Color},
    {"EvenColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "偶数行"), &S::EvenColor},
    {"OddColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "奇数行"), &S::OddColor},
    {"PreviewColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "预览文本"), &S::PreviewColor},
    {"TreeLineColor", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "树线"), &S::TreeLineColor},
};
const Entry<ReportFont> kFonts[] = {
    {"ReportTitleFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "报表标题"),
     &S::ReportTitleFont},
    {"Font", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "单元格"), &S::Font},
    {"EvenFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "偶数行"), &S::EvenFont},
    {"OddFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "奇数行"), &S::OddFont},
    {"BandFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "带区"), &S::BandFont},
    {"HeaderFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "列标题"), &S::HeaderFont},
    {"GroupNodeFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "分组行"), &S::GroupNodeFont},
    {"FooterFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "汇总页脚"), &S::FooterFont},
    {"RowFooterFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "分组页脚"), &S::RowFooterFont},
    {"PreviewFont", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "预览文本"), &S::PreviewFont},
};
const Entry<bool> kBehaviours[] = {
    {"BandsOnEveryPage", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "每页打印带区"),
     &S::BandsOnEveryPage},
    {"HeadersOnEveryPage", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "每页打印列标题"),
     &S::HeadersOnEveryPage},
    {"FootersOnEveryPage", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "每页打印汇总页脚"),
     &S::FootersOnEveryPage},
    {"AutoNodesExpand", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "自动展开所有分组"),
     &S::AutoNodesExpand},
    {"OnlySelected", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "只打印当前行"), &S::OnlySelected},
    {"ShowPageHeader", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "打印页眉"), &S::ShowPageHeader},
    {"ShowPageFooter", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "打印页脚"), &S::ShowPageFooter},
    {"PageSubtotals", QT_TRANSLATE_NOOP("rg::TdxReportDesigner", "每页小计（过次页／承前页）"),
     &S::PageSubtotals},
};

// One row per entry: its caption and a button that opens the chooser for its setting.
template <class M, size_t N, class Choose>
QWidget* chooserRows(const Entry<M> (&entries)[N], std::map<QString, QPushButton*>& buttons,
                     Choose choose) {
    auto w = new QWidget;
    auto form = new QFormLayout(w);
    for (const Entry<M>& e : entries) {
        auto b = new QPushButton;
        b->setObjectName(QStringLiteral("btn") + QLatin1String(e.name));
        buttons[QLatin1String(e.name)] = b;
        form->addRow(TdxReportDesigner::tr(e.caption) + QLatin1Char(':'), b);
        QObject::connect(b, &QPushButton::clicked, b, [choose, m = e.member] { choose(m); });
    }
    return w;
}

QString fontText(const QFont& f) {
    return QStringLiteral("%1, %2 pt%3")
        .arg(f.family())
        .arg(f.pointSize())
        .arg(f.bold() ? TdxReportDesigner::tr(", 粗体") : QString());
}

} // namespace

TdxReportDesigner::TdxReportDesigner(TdxDBGridReportLink& link, QWidget* parent)
    : QDialog(parent), link_(link), working_(link.Settings()), sample_(link.Component()) {
    setObjectName(QStringLiteral("dxReportDesigner"));
    setWindowTitle(link.WindowTitle(tr("报表设计")));
    resize(860, 560);
    auto layout = new QVBoxLayout(this);
    auto top = new QHBoxLayout;
    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->addTab(buildOptionsPage(), tr("选项"));
    PageControl->addTab(buildColorsPage(), tr("颜色"));
    PageControl->addTab(buildFontsPage(), tr("字体"));
    PageControl->addTab(buildBehavioursPage(), tr("行为"));
    top->addWidget(PageControl, 1);

    sample_.AssignSettings(working_);
    sample_.RebuildReport();
    auto sampleArea = new QScrollArea(this);
    sampleArea->setObjectName(QStringLiteral("SampleArea"));
    sampleArea->setBackgroundRole(QPalette::Dark);
    SamplePage = new TdxPreviewPageView(sample_);
    SamplePage->setZoom(0.5);
    sampleArea->setWidget(SamplePage);
    sampleArea->setMinimumWidth(SamplePage->sizeHint().width() + 24);
    top->addWidget(sampleArea);
    layout->addLayout(top, 1);

    auto buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name, const QString& text) {
        auto b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    btnRestoreDefaults = button("btnRestoreDefaults", tr("恢复默认"));
    buttons->addStretch();
    btnOK = button("btnOK", tr("确定"));
    btnCancel = button("btnCancel", tr("取消"));
    btnApply = button("btnApply", tr("应用"));
    btnOK->setDefault(true);
    btnApply->setEnabled(false);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        link_.AssignSettings(working_);
        confirmed_ = true;
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnApply, &QPushButton::clicked, this, &TdxReportDesigner::apply);
    connect(btnRestoreDefaults, &QPushButton::clicked, this, &TdxReportDesigner::restoreDefaults);
    loadControls();
}

QWidget* TdxReportDesigner::buildOptionsPage() {
    auto w = new QWidget;
    auto box = new QVBoxLayout(w);
    for (const OptionEntry& e : kOptions) {
        auto c = new QCheckBox(tr(e.name));
        c->setObjectName(QStringLiteral("chk") + QLatin1String(e.name));
        chkOptions[e.option] = c;
        box->addWidget(c);
        connect(c, &QCheckBox::toggled, this, [this, o = e.option](bool on) {
            working_.Options.set(o, on);
            changed();
        });
    }
    box->addStretch();
    auto area = new QScrollArea;
    area->setWidget(w);
    area->setWidgetResizable(true);
    return area;
}

QWidget* TdxReportDesigner::buildColorsPage() {
    return chooserRows(kColors, btnColors, [this](QColor S::*m) {
        const QColor c = QColorDialog::getColor(working_.*m, this);
        if (!c.isValid())
            return;
        working_.*m = c;
        loadControls();
        changed();
    });
}

QWidget* TdxReportDesigner::buildFontsPage() {
    return chooserRows(kFonts, btnFonts, [this](ReportFont S::*m) {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, (working_.*m).font, this, tr("字体"));
        if (!ok)
            return;
        (working_.*m).font = f;
        loadControls();
        changed();
    });
}

QWidget* TdxReportDesigner::buildBehavioursPage() {
    auto w = new QWidget;
    auto form = new QFormLayout(w);
    for (const auto& e : kBehaviours) {
        auto c = new QCheckBox(tr(e.caption));
        c->setObjectName(QStringLiteral("chk") + QLatin1String(e.name));
        chkBehaviours[QLatin1String(e.name)] = c;
        form->addRow(c);
        connect(c, &QCheckBox::toggled, this, [this, m = e.member](bool on) {
            working_.*m = on;
            changed();
        });
    }
    cbDrawMode = new QComboBox;
    cbDrawMode->setObjectName(QStringLiteral("cbDrawMode"));
    cbDrawMode->addItems({tr("所有行相同"), tr("奇偶行交替")});
    form->addRow(tr("绘制方式:"), cbDrawMode);
    cbTitleMode = new QComboBox;
    cbTitleMode->setObjectName(QStringLiteral("cbTitleMode"));
    cbTitleMode->addItems({tr("不打印"), tr("每个顶部页"), tr("仅第一页")});
    form->addRow(tr("标题位置:"), cbTitleMode);
    edTitleText = new QLineEdit;
    edTitleText->setObjectName(QStringLiteral("edTitleText"));
    form->addRow(tr("报表标题:"), edTitleText);
    connect(cbDrawMode, &QComboBox::currentIndexChanged, this, [this](int i) {
        working_.DrawMode = static_cast<TdxTreeListDrawMode>(i);
        changed();
    });
    connect(cbTitleMode, &QComboBox::currentIndexChanged, this, [this](int i) {
        working_.ReportTitleMode = static_cast<TdxReportTitleMode>(i);
        changed();
    });
    connect(edTitleText, &QLineEdit::textEdited, this, [this](const QString& t) {
        working_.ReportTitleText = t;
        changed();
    });
    return w;
}

void TdxReportDesigner::loadControls() {
    loading_ = true;
    for (auto& [option, box] : chkOptions)
        box->setChecked(working_.Options.contains(option));
    for (const auto& e : kColors) {
        const QColor c = working_.*(e.member);
        btnColors[QLatin1String(e.name)]->setText(c.name());
        btnColors[QLatin1String(e.name)]->setStyleSheet(
            QStringLiteral("background-color: %1; color: %2")
                .arg(c.name(), qGray(c.rgb()) < 128 ? "white" : "black"));
    }
    for (const auto& e : kFonts)
        btnFonts[QLatin1String(e.name)]->setText(fontText((working_.*(e.member)).font));
    for (const auto& e : kBehaviours)
        chkBehaviours[QLatin1String(e.name)]->setChecked(working_.*(e.member));
    cbDrawMode->setCurrentIndex(static_cast<int>(working_.DrawMode));
    cbTitleMode->setCurrentIndex(static_cast<int>(working_.ReportTitleMode));
    edTitleText->setText(working_.ReportTitleText);
    loading_ = false;
}

void TdxReportDesigner::changed() {
    if (loading_)
        return;
    // The sample is the report itself with the edited settings.
    sample_.AssignSettings(working_);
    sample_.RebuildReport();
    SamplePage->reportChanged();
    btnApply->setEnabled(!(working_ == link_.Settings()));
}

void TdxReportDesigner::apply() {
    link_.AssignSettings(working_);
    applied_ = true;
    btnApply->setEnabled(false);
}

void TdxReportDesigner::restoreDefaults() {
    working_ = TdxGridReportSettings::Defaults();
    working_.PrinterPage = link_.PrinterPage; // the page belongs to page setup
    loadControls();
    loading_ = false;
    changed();
}

} // namespace rg
