// The SQL builder on a real SQLite file through the built-in provider.

#include "dialogtest.h"

#include "common/error.h"
#include "datasource/dataset.h"
#include "datasource/ui/dbsetup.h"
#include "datasource/ui/previewmodel.h"
#include "datasource/ui/splitter.h"
#include "datasource/ui/sqledit.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace rg;
using rgtest::entries;

namespace {

void clickEntry(QListWidget* list, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(found[0]).center());
}

// A double click: press and release, then the double click and its release.
void doubleClickEntry(QListWidget* list, const QString& text) {
    clickEntry(list, text);
    const QPoint at =
        list->visualItemRect(list->findItems(text, Qt::MatchExactly).value(0)).center();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

// The SQL box holding `text` with the caret at `caret` (-1: the end).
void setText(TSQLEditForm& e, const QString& text, int caret = -1) {
    e.SQLMemo->setPlainText(text);
    QTextCursor c = e.SQLMemo->textCursor();
    c.setPosition(caret < 0 ? text.size() : caret);
    e.SQLMemo->setTextCursor(c);
}

int caret(const TSQLEditForm& e) {
    return e.SQLMemo->textCursor().position();
}

// Drags a splitter by `distance` pixels; the bar moves along under the mouse.
void drag(TSplitter* splitter, QPoint distance) {
    const QPoint start = splitter->rect().center();
    const QPoint target = splitter->mapToGlobal(start) + distance;
    QTest::mousePress(splitter, Qt::LeftButton, {}, start);
    QTest::mouseMove(splitter, splitter->mapFromGlobal(target));
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, splitter->mapFromGlobal(target));
}

class SqlBuilder : public ::testing::Test {
protected:
    void SetUp() override {
        path = rgtest::makeDatabase(dir);
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, "CREATE TABLE \"order lines\"(id INTEGER, \"unit price\" REAL)", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
        conn.SetConnectionString("Provider=SQLite;Data Source=" + path.toStdString());
        editor.tableLister = [this](std::vector<std::string>& l, bool system) {
            conn.ListTableNames(l, system);
        };
        editor.fieldLister = [this](const std::string& t, std::vector<std::string>& l) {
            conn.ListFieldNames(t, l);
        };
    }
    void show() {
        editor.show();
        QApplication::setActiveWindow(&editor);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    }
    QApplication& qt = rgtest::app(); // before the editor, a widget
    QTemporaryDir dir;
    QString path;
    Connection conn;
    TSQLEditForm editor;
};

} // namespace

TEST_F(SqlBuilder, ComposesSelectStatements) {
    show();
    // Sorted ignoring case; the first table is selected with its fields under "*".
    EXPECT_EQ(entries(editor.TableList),
              QStringList({"bins", "Customers", "order lines", "orders"}));
    EXPECT_EQ(entries(editor.FieldList), QStringList({"*", "id"}));
    clickEntry(editor.TableList, "orders");
    EXPECT_EQ(entries(editor.FieldList), QStringList({"*", "id", "item", "qty"}));

    // Table first, then fields.
    QTest::mouseClick(editor.AddTableButton, Qt::LeftButton);
    EXPECT_EQ(editor.SQLMemo->toPlainText(), "select  from orders");
    EXPECT_EQ(caret(editor), 7);
    clickEntry(editor.FieldList, "item");
    clickEntry(editor.FieldList, "qty", Qt::ControlModifier);
    QTest::mouseClick(editor.AddFieldButton, Qt::LeftButton);
    EXPECT_EQ(editor.SQLMemo->toPlainText(), "select item, qty from orders");

    // Fields first, then the table; double clicks add too.
    setText(editor, "");
    clickEntry(editor.FieldList, "id");
    clickEntry(editor.FieldList, "item", Qt::ShiftModifier);
    QTest::mouseClick(editor.AddFieldButton, Qt::LeftButton);
    EXPECT_EQ(editor.SQLMemo->toPlainText(), "select id, item");
    doubleClickEntry(editor.TableList, "orders");
    EXPECT_EQ(editor.SQLMemo->toPlainText(), "select id, item from orders");

    // "*" never gets a comma.
    setText(editor, "");
    clickEntry(editor.FieldList, "*");
    QTest::mouseClick(editor.AddFieldButton, Qt::LeftButton);
    EXPECT_EQ(editor.SQLMemo->toPlainText(), "select *");

    // Names go in as listed, blanks and all.
    setText(editor, "");
    clickEntry(editor.TableList, "order lines");
    EXPECT_EQ(entries(editor.FieldList), QStringList({"*", "id", "unit price"}));
    doubleClickEntry(editor.FieldList, "unit price");
    EXPECT_EQ(editor.SQLMemo->toPlainText(), "select unit price");
}

TEST_F(SqlBuilder, SeparatorsFollowTheCharacterBeforeTheCaret) {
    show();
    clickEntry(editor.TableList, "orders");
    struct Case {
        QString text;
        int caret;
        bool table;
        QString expected;
    };
    const Case cases[] = {
        {"SELECT x", -1, true, "SELECT x orders"},      // upper case is no select statement
        {"\nselect", 0, true, "orders\nselect"},        // nor is a leading line break
        {"select a", -1, true, "select a from orders"}, // the inserted text starts with a blank
        {"count(", -1, false, "count(qty"},
        {"select a,", -1, false, "select a, qty"},
        {"select a ", -1, false, "select a qty"},
        {"select a", -1, false, "select a, qty"},
        {"select\n", -1, false, "select\n, qty"},
    };
    clickEntry(editor.FieldList, "qty");
    for (const Case& c : cases) {
        setText(editor, c.text, c.caret);
        QTest::mouseClick(c.table ? editor.AddTableButton : editor.AddFieldButton, Qt::LeftButton);
        EXPECT_EQ(editor.SQLMemo->toPlainText(), c.expected) << c.text.toStdString();
    }
    // A selection stays; the name goes in front of it.
    setText(editor, "select abc");
    QTextCursor c = editor.SQLMemo->textCursor();
    c.setPosition(7);
    c.setPosition(10, QTextCursor::KeepAnchor);
    editor.SQLMemo->setTextCursor(c);
    QTest::mouseClick(editor.AddFieldButton, Qt::LeftButton);
    EXPECT_EQ(editor.SQLMemo->toPlainText(), "select qtyabc");
    EXPECT_EQ(caret(editor), 10);
}

TEST_F(SqlBuilder, InsertMarkSplittersAndHelp) {
    show();
    ASSERT_GT(editor.LineHeight, 0);
    QString lines;
    for (int i = 0; i < 40; ++i)
        lines += QString("line %1\n").arg(i);
    setText(editor, lines + "select a");
    editor.SQLMemo->ensureCursorVisible(); // scrolled down
    clickEntry(editor.TableList, "orders");
    clickEntry(editor.FieldList, "qty");
    QTest::mouseClick(editor.AddFieldButton, Qt::LeftButton);
    // The mark goes under the caret as if the text were not scrolled.
    const int width = editor.SQLMemo->fontMetrics().horizontalAdvance("select a, qty");
    EXPECT_TRUE(editor.InsertMark->isVisible());
    EXPECT_EQ(editor.InsertMark->pos(), QPoint(width - 3, 41 * editor.LineHeight));
    QTest::mouseClick(editor.SQLMemo->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(editor.InsertMark->isVisible()); // entering the box removes it
    QTest::keyClick(editor.SQLMemo, Qt::Key_Tab);
    EXPECT_TRUE(editor.InsertMark->isVisible()); // leaving shows where names go

    // The left strip stays wider than 100 and 100 short of the window's width.
    const int strip = editor.MetaInfoPanel->width();
    drag(editor.MetaInfoSQLSplitter, QPoint(100 - strip, 0));
    EXPECT_EQ(editor.MetaInfoPanel->width(), strip);
    drag(editor.MetaInfoSQLSplitter, QPoint(editor.width() - 100 - strip, 0));
    EXPECT_EQ(editor.MetaInfoPanel->width(), strip);
    drag(editor.MetaInfoSQLSplitter, QPoint(60, 0));
    EXPECT_EQ(editor.MetaInfoPanel->width(), strip + 60);
    EXPECT_EQ(editor.SQLLabel->x(), editor.SQLMemo->x());
    // The table panel: taller than 44, at least 65 short of the strip.
    const int tables = editor.TableListPanel->height();
    drag(editor.TableFieldsSplitter, QPoint(0, 44 - tables));
    EXPECT_EQ(editor.TableListPanel->height(), tables);
    drag(editor.TableFieldsSplitter, QPoint(0, 30));
    EXPECT_EQ(editor.TableListPanel->height(), tables + 30);
    EXPECT_EQ(editor.AddTableButton->y() + editor.AddTableButton->height() + 3, tables + 30);

    QTest::mouseClick(editor.HelpButton, Qt::LeftButton);
    auto* help = editor.findChild<QWidget*>("SqlEditorHelp");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    help->close();
}

TEST_F(SqlBuilder, FailingListersKeepWhatTheyFound) {
    editor.tableLister = [](std::vector<std::string>& l, bool) {
        l.assign({"sales"});
        throw Error("connection lost");
    };
    editor.fieldLister = [](const std::string&, std::vector<std::string>& l) {
        l.assign({"region"});
        throw Error("connection lost");
    };
    show();
    EXPECT_EQ(entries(editor.TableList), QStringList({"sales"}));
    EXPECT_EQ(entries(editor.FieldList), QStringList({"region"})); // no "*"
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SqlBuilder, OpenerRunsTheConfirmedText) {
    DataSet dataset(&conn);
    dataset.SetCommandType(CommandType::cmdTable);
    dataset.SetCommandText("orders");
    dataset.Open();
    TFRMDBSETUP setup;
    setup.AssignDataSet(dataset);
    setup.AssignConnection(conn);
    setup.show();

    // Cancel changes nothing.
    QString received;
    rgtest::onNextModal(
        [&](QWidget* w) {
            auto* e = static_cast<TSQLEditForm*>(w);
            received = e->SQLMemo->toPlainText();
            e->SQLMemo->setPlainText("select * from bins");
            QTest::mouseClick(e->CancelButton, Qt::LeftButton);
        },
        &setup);
    QTest::mouseClick(setup.EditCommandText, Qt::LeftButton);
    EXPECT_EQ(received, "\n"); // the SQL box's starting line
    EXPECT_EQ(setup.MasterSQL->toPlainText(), "\n");
    EXPECT_EQ(dataset.CommandText(), "orders");
    EXPECT_TRUE(dataset.Active());

    // OK puts the text into the SQL box and runs it.
    setup.MasterSQL->setPlainText("");
    rgtest::onNextModal(
        [&](QWidget* w) {
            auto* e = static_cast<TSQLEditForm*>(w);
            clickEntry(e->TableList, "Customers");
            QTest::mouseClick(e->AddTableButton, Qt::LeftButton);
            clickEntry(e->FieldList, "name");
            QTest::mouseClick(e->AddFieldButton, Qt::LeftButton);
            QTest::mouseClick(e->OkButton, Qt::LeftButton);
        },
        &setup);
    QTest::mouseClick(setup.EditCommandText, Qt::LeftButton);
    EXPECT_EQ(setup.MasterSQL->toPlainText(), "select name from Customers");
    EXPECT_EQ(dataset.GetCommandType(), CommandType::cmdText);
    EXPECT_EQ(dataset.CommandText(), "select name from Customers");
    ASSERT_TRUE(dataset.Active());
    EXPECT_EQ(setup.ds->rowCount(), 3);

    // Confirming the unchanged text runs it again.
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "INSERT INTO Customers VALUES(4, 'Zhou')", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    rgtest::onNextModal(
        [](QWidget* w) {
            QTest::mouseClick(static_cast<TSQLEditForm*>(w)->OkButton, Qt::LeftButton);
        },
        &setup);
    QTest::mouseClick(setup.EditCommandText, Qt::LeftButton);
    EXPECT_EQ(setup.MasterSQL->toPlainText(), "select name from Customers");
    EXPECT_EQ(setup.ds->rowCount(), 4);
}
