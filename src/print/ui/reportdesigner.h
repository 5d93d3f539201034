#pragma once

#include "print/printwindows.h"
#include "print/reportlink.h"

#include <QDialog>

#include <map>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace rg {

class TdxPreviewPageView;

// The report designer: print options, colours, fonts and behaviours of a report link, with
// a live sample of the report's first page. It edits a copy; Apply and OK hand it to the
// link, Restore defaults puts the defaults into the copy.
class TdxReportDesigner : public QDialog {
    Q_OBJECT
public:
    explicit TdxReportDesigner(TdxDBGridReportLink& link, QWidget* parent = nullptr);

    DesignerResult result() const { return {confirmed_, applied_}; }
    const TdxGridReportSettings& working() const { return working_; }

    QTabWidget* PageControl;
    std::map<TdxTreeListPaintOption, QCheckBox*> chkOptions; // named "chk" + option name
    std::map<QString, QPushButton*> btnColors;               // "btn" + colour name
    std::map<QString, QPushButton*> btnFonts;                // "btn" + font name
    std::map<QString, QCheckBox*> chkBehaviours;             // "chk" + setting name
    QComboBox *cbDrawMode, *cbTitleMode;
    QLineEdit* edTitleText;
    TdxPreviewPageView* SamplePage;
    QPushButton *btnOK, *btnCancel, *btnApply, *btnRestoreDefaults;

private:
    QWidget* buildOptionsPage();
    QWidget* buildColorsPage();
    QWidget* buildFontsPage();
    QWidget* buildBehavioursPage();
    void loadControls();
    void changed();
    void apply();
    void restoreDefaults();

    TdxDBGridReportLink& link_;
    TdxGridReportSettings working_;
    TdxDBGridReportLink sample_;
    bool loading_ = false, confirmed_ = false, applied_ = false;
};

} // namespace rg
