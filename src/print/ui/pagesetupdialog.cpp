#include "print/ui/pagesetupdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace rg {

namespace {

const QPageSize::PageSizeId kPapers[] = {QPageSize::Letter,  QPageSize::Legal, QPageSize::Executive,
                                         QPageSize::Tabloid, QPageSize::A3,    QPageSize::A4,
                                         QPageSize::A5,      QPageSize::B4,    QPageSize::B5};

template <class T> T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QDoubleSpinBox* mmBox(const char* name, double maximum) {
    auto box = named(new QDoubleSpinBox, name);
    box->setRange(0, maximum);
    box->setDecimals(2);
    box->setSuffix(QStringLiteral(" mm"));
    return box;
}

QGroupBox* group(const QString& title, std::initializer_list<QWidget*> widgets) {
    auto box = new QGroupBox(title);
    auto layout = new QVBoxLayout(box);
    for (QWidget* w : widgets)
        layout->addWidget(w);
    return box;
}

double mm(int thousandths) {
    return thousandths / 1000.0;
}
int thousandths(const QDoubleSpinBox* box) {
    return qRound(box->value() * 1000);
}

} // namespace

TdxPageSetupDialog::TdxPageSetupDialog(const TdxPrinterPage& page, QWidget* parent)
    : QDialog(parent), page_(page) {
    setObjectName(QStringLiteral("dxPageSetupDialog"));
    setWindowTitle(tr("页面设置"));
    auto layout = new QVBoxLayout(this);
    PageControl = named(new QTabWidget(this), "PageControl");
    PageControl->addTab(buildPaperPage(), tr("页面"));
    PageControl->addTab(buildHeaderFooterPage(), tr("页眉页脚"));
    PageControl->addTab(buildScalingPage(), tr("缩放"));
    layout->addWidget(PageControl);

    auto buttons = new QHBoxLayout;
    btnPreview = named(new QPushButton(tr("打印预览..."), this), "btnPreview");
    btnPrint = named(new QPushButton(tr("打印..."), this), "btnPrint");
    btnOK = named(new QPushButton(tr("确定"), this), "btnOK");
    btnCancel = named(new QPushButton(tr("取消"), this), "btnCancel");
    btnOK->setDefault(true);
    buttons->addWidget(btnPreview);
    buttons->addWidget(btnPrint);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] { finish(PageSetupResult::OK); });
    connect(btnPreview, &QPushButton::clicked, this, [this] { finish(PageSetupResult::Preview); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { finish(PageSetupResult::Print); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* TdxPageSetupDialog::buildPaperPage() {
    auto w = new QWidget;
    auto grid = new QGridLayout(w);

    auto paper = new QGroupBox(tr("纸张"));
    auto paperForm = new QFormLayout(paper);
    cbPaperSize = named(new QComboBox, "cbPaperSize");
    for (auto id : kPapers)
        cbPaperSize->addItem(QPageSize::name(id), static_cast<int>(id));
    cbPaperSize->addItem(tr("自定义"), -1);
    edPaperWidth = mmBox("edPaperWidth", 2000);
    edPaperHeight = mmBox("edPaperHeight", 2000);
    edPaperWidth->setMinimum(10);
    edPaperHeight->setMinimum(10);
    paperForm->addRow(tr("纸张类型:"), cbPaperSize);
    paperForm->addRow(tr("宽度:"), edPaperWidth);
    paperForm->addRow(tr("高度:"), edPaperHeight);
    grid->addWidget(paper, 0, 0);

    rbPortrait = named(new QRadioButton(tr("纵向")), "rbPortrait");
    rbLandscape = named(new QRadioButton(tr("横向")), "rbLandscape");
    grid->addWidget(group(tr("方向"), {rbPortrait, rbLandscape}), 0, 1);

    auto margins = new QGroupBox(tr("页边距"));
    auto marginForm = new QFormLayout(margins);
    edMarginTop = mmBox("edMarginTop", 500);
    edMarginBottom = mmBox("edMarginBottom", 500);
    edMarginLeft = mmBox("edMarginLeft", 500);
    edMarginRight = mmBox("edMarginRight", 500);
    edHeader = mmBox("edHeader", 500);
    edFooter = mmBox("edFooter", 500);
    marginForm->addRow(tr("上:"), edMarginTop);
    marginForm->addRow(tr("下:"), edMarginBottom);
    marginForm->addRow(tr("左:"), edMarginLeft);
    marginForm->addRow(tr("右:"), edMarginRight);
    marginForm->addRow(tr("页眉:"), edHeader);
    marginForm->addRow(tr("页脚:"), edFooter);
    grid->addWidget(margins, 1, 0, 2, 1);

    rbOverThenDown = named(new QRadioButton(tr("先行后列")), "rbOverThenDown");
    rbDownThenOver = named(new QRadioButton(tr("先列后行")), "rbDownThenOver");
    grid->addWidget(group(tr("打印顺序"), {rbOverThenDown, rbDownThenOver}), 1, 1);

    chkCenterH = named(new QCheckBox(tr("水平居中")), "chkCenterH");
    chkCenterV = named(new QCheckBox(tr("垂直居中")), "chkCenterV");
    chkGrayShading = named(new QCheckBox(tr("灰度打印")), "chkGrayShading");
    grid->addWidget(group(tr("其他"), {chkCenterH, chkCenterV, chkGrayShading}), 2, 1);

    const TdxPrinterPage& p = page_;
    edPaperWidth->setValue(mm(p.PageWidth));
    edPaperHeight->setValue(mm(p.PageHeight));
    sizeEdited();
    (p.Orientation == QPageLayout::Portrait ? rbPortrait : rbLandscape)->setChecked(true);
    edMarginTop->setValue(mm(p.Margins.top));
    edMarginBottom->setValue(mm(p.Margins.bottom));
    edMarginLeft->setValue(mm(p.Margins.left));
    edMarginRight->setValue(mm(p.Margins.right));
    edHeader->setValue(mm(p.Header));
    edFooter->setValue(mm(p.Footer));
    (p.PageOrder == TdxPageOrder::poOverThenDown ? rbOverThenDown : rbDownThenOver)
        ->setChecked(true);
    chkCenterH->setChecked(p.CenterOnPageH);
    chkCenterV->setChecked(p.CenterOnPageV);
    chkGrayShading->setChecked(p.GrayShading);

    connect(cbPaperSize, &QComboBox::activated, this, &TdxPageSetupDialog::paperChosen);
    connect(edPaperWidth, &QDoubleSpinBox::editingFinished, this, &TdxPageSetupDialog::sizeEdited);
    connect(edPaperHeight, &QDoubleSpinBox::editingFinished, this, &TdxPageSetupDialog::sizeEdited);
    return w;
}

namespace {

// The fields a page's header and footer texts may hold. They are stored as named here, which
// the Windows program reads, and edited in the words of the translation.
const char* const kPageFields[] = {
    QT_TRANSLATE_NOOP("rg::TdxPageSetupDialog", "[Page #]"),
    QT_TRANSLATE_NOOP("rg::TdxPageSetupDialog", "[Total Pages]"),
    QT_TRANSLATE_NOOP("rg::TdxPageSetupDialog", "[Date Printed]"),
    QT_TRANSLATE_NOOP("rg::TdxPageSetupDialog", "[Time Printed]"),
};

QString fieldShown(const char* field) {
    return TdxPageSetupDialog::tr(field);
}

QString shownFields(QString text) {
    for (const char* field : kPageFields)
        text.replace(QLatin1String(field), fieldShown(field));
    return text;
}

QString storedFields(QString text) {
    for (const char* field : kPageFields)
        text.replace(fieldShown(field), QLatin1String(field));
    return text;
}

} // namespace

QWidget* TdxPageSetupDialog::buildHeaderFooterPage() {
    auto w = new QWidget;
    auto grid = new QGridLayout(w);
    auto edit = [](const char* name, const QString& text) {
        auto e = named(new QLineEdit(shownFields(text)), name);
        return e;
    };
    const TdxPrinterPage& p = page_;
    edHeaderLeft = edit("edHeaderLeft", p.PageHeaderTexts[0]);
    edHeaderCenter = edit("edHeaderCenter", p.PageHeaderTexts[1]);
    edHeaderRight = edit("edHeaderRight", p.PageHeaderTexts[2]);
    edFooterLeft = edit("edFooterLeft", p.PageFooterTexts[0]);
    edFooterCenter = edit("edFooterCenter", p.PageFooterTexts[1]);
    edFooterRight = edit("edFooterRight", p.PageFooterTexts[2]);
    btnHeaderFont = named(new QPushButton(tr("页眉字体...")), "btnHeaderFont");
    btnFooterFont = named(new QPushButton(tr("页脚字体...")), "btnFooterFont");
    grid->addWidget(new QLabel(tr("左")), 0, 1);
    grid->addWidget(new QLabel(tr("中")), 0, 2);
    grid->addWidget(new QLabel(tr("右")), 0, 3);
    grid->addWidget(new QLabel(tr("页眉:")), 1, 0);
    grid->addWidget(edHeaderLeft, 1, 1);
    grid->addWidget(edHeaderCenter, 1, 2);
    grid->addWidget(edHeaderRight, 1, 3);
    grid->addWidget(btnHeaderFont, 1, 4);
    grid->addWidget(new QLabel(tr("页脚:")), 2, 0);
    grid->addWidget(edFooterLeft, 2, 1);
    grid->addWidget(edFooterCenter, 2, 2);
    grid->addWidget(edFooterRight, 2, 3);
    grid->addWidget(btnFooterFont, 2, 4);
    QStringList fields;
    for (const char* field : kPageFields)
        fields << fieldShown(field);
    auto hint = new QLabel(tr("可用: ") + fields.join(QLatin1Char(' ')));
    grid->addWidget(hint, 3, 0, 1, 5);
    grid->setRowStretch(4, 1);
    connect(btnHeaderFont, &QPushButton::clicked, this,
            [this] { chooseFont(page_.PageHeaderFont); });
    connect(btnFooterFont, &QPushButton::clicked, this,
            [this] { chooseFont(page_.PageFooterFont); });
    return w;
}

QWidget* TdxPageSetupDialog::buildScalingPage() {
    auto w = new QWidget;
    auto grid = new QGridLayout(w);
    rbAdjust = named(new QRadioButton(tr("缩放比例:")), "rbAdjust");
    rbFit = named(new QRadioButton(tr("调整为:")), "rbFit");
    edScaleFactor = named(new QSpinBox, "edScaleFactor");
    edScaleFactor->setRange(10, 500);
    edScaleFactor->setSuffix(QStringLiteral(" %"));
    edFitWide = named(new QSpinBox, "edFitWide");
    edFitTall = named(new QSpinBox, "edFitTall");
    edFitWide->setRange(1, 1000);
    edFitTall->setRange(1, 100000);
    grid->addWidget(rbAdjust, 0, 0);
    grid->addWidget(edScaleFactor, 0, 1);
    grid->addWidget(rbFit, 1, 0);
    grid->addWidget(edFitWide, 1, 1);
    grid->addWidget(new QLabel(tr("页宽")), 1, 2);
    grid->addWidget(edFitTall, 1, 3);
    grid->addWidget(new QLabel(tr("页高")), 1, 4);
    grid->setRowStretch(2, 1);
    const TdxPrinterPage& p = page_;
    (p.ScaleMode == TdxScaleMode::smAdjust ? rbAdjust : rbFit)->setChecked(true);
    edScaleFactor->setValue(p.ScaleFactor);
    edFitWide->setValue(p.FitToPagesHorizontally);
    edFitTall->setValue(p.FitToPagesVertically);
    return w;
}

void TdxPageSetupDialog::paperChosen(int index) {
    const int id = cbPaperSize->itemData(index).toInt();
    if (id < 0)
        return;
    const QSizeF size =
        QPageSize::size(static_cast<QPageSize::PageSizeId>(id), QPageSize::Millimeter);
    edPaperWidth->setValue(size.width());
    edPaperHeight->setValue(size.height());
}

void TdxPageSetupDialog::sizeEdited() {
    const QPageSize size(QSizeF(edPaperWidth->value(), edPaperHeight->value()),
                         QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    const int index = cbPaperSize->findData(static_cast<int>(size.id()));
    cbPaperSize->setCurrentIndex(index >= 0 ? index : cbPaperSize->count() - 1);
}

void TdxPageSetupDialog::chooseFont(ReportFont& font) {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, font.font, this, tr("字体"));
    if (ok)
        font.font = f;
}

TdxPrinterPage TdxPageSetupDialog::page() const {
    TdxPrinterPage p = page_;
    // An untouched size keeps its exact value and paper code.
    if (thousandths(edPaperWidth) != p.PageWidth || thousandths(edPaperHeight) != p.PageHeight)
        p.setPageSize(QPageSize(QSizeF(edPaperWidth->value(), edPaperHeight->value()),
                                QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch));
    p.Orientation = rbPortrait->isChecked() ? QPageLayout::Portrait : QPageLayout::Landscape;
    p.Margins = {thousandths(edMarginTop), thousandths(edMarginBottom), thousandths(edMarginLeft),
                 thousandths(edMarginRight)};
    p.Header = thousandths(edHeader);
    p.Footer = thousandths(edFooter);
    p.PageOrder =
        rbOverThenDown->isChecked() ? TdxPageOrder::poOverThenDown : TdxPageOrder::poDownThenOver;
    p.CenterOnPageH = chkCenterH->isChecked();
    p.CenterOnPageV = chkCenterV->isChecked();
    p.GrayShading = chkGrayShading->isChecked();
    p.PageHeaderTexts = {storedFields(edHeaderLeft->text()), storedFields(edHeaderCenter->text()),
                         storedFields(edHeaderRight->text())};
    p.PageFooterTexts = {storedFields(edFooterLeft->text()), storedFields(edFooterCenter->text()),
                         storedFields(edFooterRight->text())};
    p.ScaleMode = rbAdjust->isChecked() ? TdxScaleMode::smAdjust : TdxScaleMode::smFit;
    p.ScaleFactor = edScaleFactor->value();
    p.FitToPagesHorizontally = edFitWide->value();
    p.FitToPagesVertically = edFitTall->value();
    return p;
}

void TdxPageSetupDialog::finish(PageSetupResult r) {
    result_ = r;
    accept();
}

} // namespace rg
