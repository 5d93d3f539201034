#include "app/ui/navbar.h"
#include "app/ui/program.h"
#include "app/ui/quorvel.h"
#include "datasource/ui/adoconed.h"
#include "datasource/ui/connproperties.h"
#include "datasource/ui/sqledit.h"
#include "grid/ui/customfilterdialog.h"
#include "grid/ui/filterdropdown.h"
#include "grid/ui/findbar.h"
#include "grid/ui/gridview.h"
#include "print/ui/pagesetupdialog.h"
#include "print/ui/reportdesigner.h"

#include "qtapplication.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rg;
namespace fs = std::filesystem;

namespace {

// Sets LANGUAGE for one block and puts the earlier value back.
class Language {
public:
    explicit Language(const char* value)
        : had_(qEnvironmentVariableIsSet("LANGUAGE")), old_(qgetenv("LANGUAGE")) {
        if (value)
            qputenv("LANGUAGE", value);
        else
            qunsetenv("LANGUAGE");
        installTranslations();
    }
    ~Language() {
        if (had_)
            qputenv("LANGUAGE", old_);
        else
            qunsetenv("LANGUAGE");
        installTranslations();
    }

private:
    bool had_;
    QByteArray old_;
};

QString formLabel(const TConnPropertiesDialog& d, QWidget* field) {
    const auto* form = d.findChild<QFormLayout*>();
    const auto* label = form ? qobject_cast<QLabel*>(form->labelForField(field)) : nullptr;
    return label ? label->text() : QString();
}

} // namespace

// The program's own dialogs speak Chinese from program start, English with LANGUAGE=en;
// their object names stay. The connection string editor and the SQL builder have English
// source texts, shown in Chinese too.
TEST(Translations, ChineseByDefaultEnglishWithLanguageEn) {
    rgtest::qtApp();
    {
        const Language chinese(nullptr);
        QTemporaryDir setups;
        auto windows = createStartWindows(setups.path() + "/"); // installs them at start
        EXPECT_EQ(QCoreApplication::translate("rg::TdxFindBar", "Not found"),
                  QStringLiteral("找不到"));

        TCustomFilterDialog filter(QStringLiteral("地区"), {}, nullptr);
        EXPECT_EQ(filter.objectName(), "CustomFilterDialog");
        EXPECT_EQ(filter.windowTitle(), QStringLiteral("自定义筛选"));
        EXPECT_EQ(filter.cbOperator1->currentText(), QStringLiteral("等于"));
        EXPECT_EQ(filter.rbAnd->text(), QStringLiteral("并且(&A)"));

        TConnPropertiesDialog props;
        EXPECT_EQ(props.objectName(), "ConnPropertiesDialog");
        EXPECT_EQ(props.windowTitle(), QStringLiteral("连接属性"));
        EXPECT_EQ(props.TestConnection->text(), QStringLiteral("测试连接(&T)"));
        EXPECT_EQ(formLabel(props, props.Server), QStringLiteral("服务器(&S)："));
        EXPECT_EQ(props.ProviderList->itemText(0), QStringLiteral("SQLite（内置提供程序）"));

        TdxFindBar bar(nullptr);
        EXPECT_EQ(bar.matchCase->text(), QStringLiteral("区分大小写"));
        EXPECT_EQ(bar.wholeCell->text(), QStringLiteral("整个单元格"));

        TConnEditForm editor;
        EXPECT_EQ(editor.UseDataLinkFile->text(), QStringLiteral("使用数据链接文件(&L)"));
        EXPECT_EQ(editor.CancelButton->text(), QStringLiteral("取消"));
        TSQLEditForm sql;
        EXPECT_EQ(sql.windowTitle(), QStringLiteral("SQL 编辑器"));
        EXPECT_EQ(sql.AddTableButton->text(), QStringLiteral("将表加入 SQL(&A)"));
        const QImage shot = filter.grab().toImage();
        shot.save("/tmp/gridview-customfilter-zh.png");
    }
    {
        const Language english("en_GB:zh_CN");
        TCustomFilterDialog filter(QStringLiteral("region"), {}, nullptr);
        EXPECT_EQ(filter.windowTitle(), "Custom Filter");
        EXPECT_EQ(filter.cbOperator1->currentText(), "equals");
        TConnPropertiesDialog props;
        EXPECT_EQ(props.windowTitle(), "Connection Properties");
        EXPECT_EQ(props.TestConnection->text(), "&Test Connection");
        TdxFindBar bar(nullptr);
        EXPECT_EQ(bar.matchCase->text(), "Match case");
        TConnEditForm editor;
        EXPECT_EQ(editor.UseDataLinkFile->text(), "Use Data &Link File");
        TSQLEditForm sql;
        EXPECT_EQ(sql.windowTitle(), "CommandText Editor");
    }
    // A language list that prefers Chinese keeps Chinese.
    const Language chineseFirst("zh_CN:en");
    EXPECT_FALSE(englishRequested());
    TCustomFilterDialog filter(QStringLiteral("地区"), {}, nullptr);
    EXPECT_EQ(filter.windowTitle(), QStringLiteral("自定义筛选"));
}

namespace {

// What the main window shows of the texts the original program shows in English, on the demo
// report 销售明细 (its column paid holds Booleans).
struct EnglishSourceTexts {
    QString groupPanel, all, custom, yes, no, previewHint, exitHint, bandsOption, footerField,
        storedFooter, editorTitle, deleteQuestion;
};

EnglishSourceTexts englishSourceTexts() {
    test::TempFolder folder;
    fs::copy_file(fs::path(RG_BINARY_DIR) / "setup" / "销售明细.ini", folder / "销售明细.ini");
    Tfrmquorvel w(nullptr, QString::fromStdString(folder.path().string()) + "/");
    w.show();
    QTest::mouseClick(w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    TdxDBGrid& grid = *w.dxDBGrid;
    auto& view = *qobject_cast<TdxDBGridView*>(w.gridView());
    EnglishSourceTexts t;
    t.groupPanel = TdxDBGridView::tr(" Drag a column header here to group by that column");
    TdxDBGridColumn& paid = *grid.ColumnByFieldName("paid");
    for (int i = 0; i < grid.DataRowCount() && (t.yes.isEmpty() || t.no.isEmpty()); ++i) {
        const RowHandle row = grid.Top(i);
        (grid.CellValue(row, paid).asBool() ? t.yes : t.no) = view.cellText(row, paid);
    }
    view.ShowFilterDropDown(paid);
    if (auto* list = view.findChild<TdxFilterDropDown*>()) {
        t.all = list->entryItem(TdxFilterDropDown::All)->text();
        t.custom = list->entryItem(TdxFilterDropDown::Custom)->text();
        list->close();
    }
    grid.SetFocusedRow(grid.Top(0));
    rgtest::whenModal<QMessageBox>([&](QMessageBox& box) {
        t.deleteQuestion = box.text();
        box.reject();
    });
    QTest::keyClick(&view, Qt::Key_Delete, Qt::ControlModifier);
    t.previewHint = w.tbPreview->toolTip();
    t.exitHint = w.tbExit->toolTip();
    TdxReportDesigner designer(*w.dxComponentPrinter1Link1);
    t.bandsOption = designer.findChild<QCheckBox*>("chktlpoBands")->text();
    TdxPrinterPage page;
    page.PageFooterTexts[1] = QStringLiteral("第 [Page #] 页，共 [Total Pages] 页");
    TdxPageSetupDialog setup(page);
    auto* footer = setup.findChild<QLineEdit*>("edFooterCenter");
    t.footerField = footer->text();
    footer->setText(footer->text() + QLatin1Char(' ') + TdxPageSetupDialog::tr("[Date Printed]"));
    t.storedFooter = setup.page().PageFooterTexts[1];
    Connection connection;
    rgtest::whenModal<TConnEditForm>([&](TConnEditForm& d) {
        t.editorTitle = d.windowTitle();
        d.reject();
    });
    RunConnectionEditor(connection, &w, "frmquorvel", "conn");
    return t;
}

} // namespace

// The original program's English texts are the translation's sources: Chinese at program
// start, the original's with LANGUAGE=en. What is stored keeps the original names.
TEST(Translations, TheOriginalEnglishTextsAreChineseUnlessEnglishIsAsked) {
    rgtest::qtApp();
    EnglishSourceTexts zh, en;
    {
        const Language chinese(nullptr);
        zh = englishSourceTexts();
    }
    {
        const Language english("en");
        en = englishSourceTexts();
    }
    EXPECT_EQ(zh.groupPanel, QStringLiteral(" 把列标题拖到这里，按该列分组"));
    EXPECT_EQ(zh.all, QStringLiteral("（全部）"));
    EXPECT_EQ(zh.custom, QStringLiteral("（自定义...）"));
    EXPECT_EQ(zh.yes, QStringLiteral("是"));
    EXPECT_EQ(zh.no, QStringLiteral("否"));
    EXPECT_EQ(zh.previewHint, QStringLiteral("打印预览"));
    EXPECT_EQ(zh.exitHint, QStringLiteral("退出"));
    EXPECT_EQ(zh.deleteQuestion, QStringLiteral("删除记录？"));
    EXPECT_EQ(zh.bandsOption, QStringLiteral("带区"));
    EXPECT_EQ(zh.footerField, QStringLiteral("第 [页码] 页，共 [总页数] 页"));
    EXPECT_EQ(zh.storedFooter,
              QStringLiteral("第 [Page #] 页，共 [Total Pages] 页 [Date Printed]"));
    EXPECT_EQ(zh.editorTitle, QStringLiteral("frmquorvel.conn 连接字符串"));

    EXPECT_EQ(en.groupPanel, " Drag a column header here to group by that column");
    EXPECT_EQ(en.all, "(All)");
    EXPECT_EQ(en.custom, "(Custom...)");
    EXPECT_EQ(en.yes, "True");
    EXPECT_EQ(en.no, "False");
    EXPECT_EQ(en.previewHint, "Print Preview");
    EXPECT_EQ(en.exitHint, "Exit");
    EXPECT_EQ(en.deleteQuestion, "Delete record?");
    EXPECT_EQ(en.bandsOption, "tlpoBands");
    EXPECT_EQ(en.footerField, QStringLiteral("第 [Page #] 页，共 [Total Pages] 页"));
    EXPECT_EQ(en.storedFooter,
              QStringLiteral("第 [Page #] 页，共 [Total Pages] 页 [Date Printed]"));
    EXPECT_EQ(en.editorTitle, "frmquorvel.conn ConnectionString");
}
