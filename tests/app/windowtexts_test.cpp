// The main window names fields as its grid does: the key field, visible fields and summary
// dialogs list each field by its caption with its name beside it, and a group button tells
// its interval. The SQL box shows the parts of its text apart.
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "datasource/ui/dbsetup.h"
#include "datasource/ui/sqlhighlighter.h"
#include "grid/groupinterval.h"
#include "grid/ui/gridview.h"
#include "gridsetup/ui/primmarysetup.h"
#include "gridsetup/ui/setupfield.h"
#include "gridsetup/ui/summaryitemsetup.h"
#include "qtapp.h"
#include "testfiles.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rg;
using rgtest::whenModal;
namespace fs = std::filesystem;

namespace {

// The demo report 销售明细 in a setup folder of its own; its fields have Chinese captions.
struct Window {
    test::TempFolder folder;
    QStringList errors;
    MessageSink previousError;
    Tfrmquorvel w{nullptr, QString::fromStdString(folder.path().string()) + "/"};
    Window() {
        fs::copy_file(fs::path(RG_BINARY_DIR) / "setup" / "销售明细.ini", folder / "销售明细.ini");
        w.ListSavedSetups();
        w.resize(1100, 800);
        w.show();
        previousError = setErrorSink([this](const QString& m) { errors << m; });
        QTest::mouseClick(w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    }
    ~Window() { setErrorSink(previousError); }
};

QStringList texts(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

const QStringList kFirstFields{"订单号 (order_id)", "订单日期 (order_date)", "地区 (region)"};

} // namespace

TEST(WindowTexts, FieldDialogsShowCaptionsWithTheFieldNames) {
    qtApp();
    Window win;
    TdxDBGrid& g = *win.w.dxDBGrid;
    ASSERT_EQ(g.DataRowCount(), 6000);

    // The key field: the current key by its caption; a field's name typed still names it.
    QStringList keys;
    QString current;
    whenModal<Tfrmprimmarysetup>([&](Tfrmprimmarysetup& d) {
        keys = texts(d.lstfield);
        current = d.lstfield->currentText();
        rgtest::savePicture(d, "key-field-captions");
        d.lstfield->setEditText("region");
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    });
    QTest::mouseClick(win.w.Button1, Qt::LeftButton);
    EXPECT_EQ(keys.mid(0, 3), kFirstFields);
    EXPECT_TRUE(keys.contains("金额 (amount)"));
    EXPECT_EQ(current, "订单号 (order_id)");
    EXPECT_EQ(g.KeyField(), "region");
    whenModal<Tfrmprimmarysetup>([&](Tfrmprimmarysetup& d) {
        d.lstfield->setCurrentIndex(d.lstfield->findText("订单号 (order_id)"));
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    });
    QTest::mouseClick(win.w.Button1, Qt::LeftButton);
    EXPECT_EQ(g.KeyField(), "order_id");

    // The visible fields.
    QStringList visible;
    whenModal<TfrmFieldsetup>([&](TfrmFieldsetup& d) {
        visible = texts(d.lstField);
        rgtest::savePicture(d, "visible-fields-captions");
        QTest::mouseClick(d.Button2, Qt::LeftButton);
    });
    QTest::mouseClick(win.w.Button2, Qt::LeftButton);
    EXPECT_EQ(visible.mid(0, 3), kFirstFields);

    // The summaries: the fields, and the field of a chosen summary line, by caption.
    QStringList fields;
    QString ofLine;
    whenModal<Tfrusummarysetup>([&](Tfrusummarysetup& d) {
        fields = texts(d.fieldlist);
        const QRect line = d.lstSummaryItem->visualItemRect(d.lstSummaryItem->item(1));
        QTest::mouseClick(d.lstSummaryItem->viewport(), Qt::LeftButton, {}, line.center());
        ofLine = d.fieldlist->currentText();
        rgtest::savePicture(d, "summary-captions");
        QTest::mouseClick(d.Button2, Qt::LeftButton);
    });
    QTest::mouseClick(win.w.Button3, Qt::LeftButton);
    EXPECT_EQ(fields.mid(0, 3), kFirstFields);
    EXPECT_EQ(ofLine, "金额 (amount)");
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
}

TEST(WindowTexts, AGroupButtonShowsItsInterval) {
    qtApp();
    Window win;
    TdxDBGrid& g = *win.w.dxDBGrid;
    auto& view = *qobject_cast<TdxDBGridView*>(win.w.gridView());
    TdxDBGridColumn& date = *g.ColumnByFieldName("order_date");
    win.w.runCommand([&] {
        g.GroupColumn(*g.ColumnByFieldName("region"), 0);
        g.GroupColumn(date, 1);
        date.SetGroupInterval(parseInterval("月"));
    });
    EXPECT_EQ(view.groupButtonText(0), "地区");
    EXPECT_EQ(view.groupButtonText(1), "订单日期 · 月");
    QApplication::processEvents();
    rgtest::savePicture(win.w, "group-button-interval");
    win.w.runCommand([&] { date.SetGroupInterval(parseInterval("季度")); });
    EXPECT_EQ(view.groupButtonText(1), "订单日期 · 季度");
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
}

namespace {

// The format the highlighter gave the character at `pos` of line `line`.
QTextCharFormat formatAt(QPlainTextEdit* box, int line, int pos) {
    const QTextBlock block = box->document()->findBlockByNumber(line);
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (pos >= r.start && pos < r.start + r.length)
            return r.format;
    return {};
}

} // namespace

// The data source dialog's SQL box shows keywords, texts and comments apart, a quote or
// a comment mark inside another part belonging to it.
TEST(WindowTexts, TheSqlBoxHighlightsKeywordsTextsAndComments) {
    qtApp();
    Window win;
    QTextCharFormat keyword, text, quoteInText, comment, later, block, after;
    whenModal<TFRMDBSETUP>([&](TFRMDBSETUP& d) {
        d.MasterSQL->setPlainText("select 'a -- b''c' from sales -- 注\n/* x\n where */ where");
        keyword = formatAt(d.MasterSQL, 0, 2);
        text = formatAt(d.MasterSQL, 0, 10);
        quoteInText = formatAt(d.MasterSQL, 0, 15);
        comment = formatAt(d.MasterSQL, 0, 32);
        later = formatAt(d.MasterSQL, 0, 25); // "sales": no keyword
        block = formatAt(d.MasterSQL, 2, 2);
        after = formatAt(d.MasterSQL, 2, 11);
        d.MasterSQL->setPlainText("select * from sales where region = '华东' -- 注");
        rgtest::savePicture(d, "dbsetup-sql-highlight");
        d.reject();
    });
    QTest::mouseClick(win.w.ToolButton1, Qt::LeftButton);
    EXPECT_EQ(keyword.foreground(), SqlHighlighter::keywordFormat().foreground());
    EXPECT_EQ(text.foreground(), SqlHighlighter::textFormat().foreground());
    EXPECT_EQ(quoteInText.foreground(), SqlHighlighter::textFormat().foreground());
    EXPECT_EQ(comment.foreground(), SqlHighlighter::commentFormat().foreground());
    EXPECT_EQ(later.foreground(), QTextCharFormat().foreground());
    EXPECT_EQ(block.foreground(), SqlHighlighter::commentFormat().foreground());
    EXPECT_EQ(after.foreground(), SqlHighlighter::keywordFormat().foreground());
}
