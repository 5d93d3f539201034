#pragma once

#include "print/printerpage.h"
#include "print/printwindows.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QCheckBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace rg {

// The page setup dialog for a report's page: paper, orientation, margins, page header and
// footer, print order and scaling. It edits a copy; the caller takes page() on OK.
class TdxPageSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit TdxPageSetupDialog(const TdxPrinterPage& page, QWidget* parent = nullptr);

    TdxPrinterPage page() const;
    // How the dialog was left: OK, Cancel, or one of the preview and print buttons.
    PageSetupResult result() const { return result_; }

    QTabWidget* PageControl;
    QComboBox* cbPaperSize;
    QDoubleSpinBox *edPaperWidth, *edPaperHeight;
    QRadioButton *rbPortrait, *rbLandscape;
    QDoubleSpinBox *edMarginTop, *edMarginBottom, *edMarginLeft, *edMarginRight;
    QDoubleSpinBox *edHeader, *edFooter;
    QCheckBox *chkCenterH, *chkCenterV, *chkGrayShading;
    QRadioButton *rbOverThenDown, *rbDownThenOver;
    QLineEdit *edHeaderLeft, *edHeaderCenter, *edHeaderRight;
    QLineEdit *edFooterLeft, *edFooterCenter, *edFooterRight;
    QPushButton *btnHeaderFont, *btnFooterFont;
    QRadioButton *rbAdjust, *rbFit;
    QSpinBox *edScaleFactor, *edFitWide, *edFitTall;
    QPushButton *btnOK, *btnCancel, *btnPreview, *btnPrint;

private:
    QWidget* buildPaperPage();
    QWidget* buildHeaderFooterPage();
    QWidget* buildScalingPage();
    void paperChosen(int index);
    void sizeEdited();
    void chooseFont(ReportFont& font);
    void finish(PageSetupResult r);

    TdxPrinterPage page_; // fonts and what the dialog does not show
    PageSetupResult result_ = PageSetupResult::Cancel;
};

} // namespace rg
