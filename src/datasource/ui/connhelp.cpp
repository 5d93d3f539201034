#include "datasource/ui/connhelp.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace rg {

namespace {
// The help windows' texts are translated in the context "rg::ConnHelp".
const char* const kContext = "rg::ConnHelp";
const char* const kHelpText = QT_TRANSLATE_NOOP("rg::ConnHelp", R"(<h3>Connection strings</h3>
<p>A connection string is a list of <i>key=value</i> pairs separated by semicolons.
A value holding a semicolon is written in braces: <tt>Pwd={a;b}</tt>.</p>
<h4>Built-in SQLite provider</h4>
<p><tt>Provider=SQLite;Data Source=/home/me/sales.db</tt><br>
A relative path starts in the folder of the program.</p>
<h4>ODBC drivers</h4>
<p><tt>Driver={SQLite3};Database=/home/me/sales.db</tt><br>
<tt>Driver={PostgreSQL Unicode};Server=localhost;Port=5432;Database=sales;Uid=me;Pwd=secret</tt><br>
The installed drivers are listed by <tt>odbcinst -q -d</tt>.</p>
<h4>ODBC data source names</h4>
<p><tt>DSN=sales;Uid=me;Pwd=secret</tt><br>
Data source names are defined in <tt>~/.odbc.ini</tt> or <tt>/etc/odbc.ini</tt>.</p>
<h4>Data link files</h4>
<p>A data link file (<tt>.udl</tt>) holds one connection string. Choose
<b>Use Data Link File</b> to name one; the string then reads
<tt>FILE NAME=/path/to/file.udl</tt>. Files in the data link folder
(<tt>~/.local/share/reportgen/Data Links</tt>) are listed by their bare names.</p>
<p><b>Build...</b> opens the connection properties, where the provider and its
settings are chosen and the connection can be tested.</p>)");
const char* const kSqlEditorHelpText =
    QT_TRANSLATE_NOOP("rg::ConnHelp", R"(<h3>CommandText Editor</h3>
<p>The editor composes the SQL text of the report. It does not run it: the data source
dialog runs the text when you close the editor with <b>OK</b>; <b>Cancel</b> leaves the
data source dialog's text as it was.</p>
<h4>Tables and fields</h4>
<p><b>Tables</b> lists the tables and views of the connected database, <b>Fields</b> the
columns of the selected table, headed by <tt>*</tt> for all of them. Select several
fields with Ctrl or Shift.</p>
<p><b>Add Table to SQL</b> (or a double click on a table) starts an empty text as
<tt>select&nbsp;&nbsp;from <i>table</i></tt> with the caret after <tt>select</tt>, so that
fields can follow; in a text beginning with <tt>select</tt> it adds
<tt>from <i>table</i></tt> at the caret, anywhere else the bare table name.</p>
<p><b>Add Field to SQL</b> (or a double click on a field) inserts the selected fields
at the caret, separated by commas.</p>
<p>Names are inserted as listed, without quotes: a name holding blanks or other special
characters needs the quotes of your database, such as <tt>"order lines"</tt>.</p>
<p>The red mark under the text shows where the next name goes in; it disappears when
you click into the text.</p>)");

QWidget* showHelpWindow(QWidget* parent, const char* name, const char* title, const char* html) {
    auto* window = new QDialog(parent);
    window->setObjectName(name);
    window->setWindowTitle(QCoreApplication::translate(kContext, title));
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* text = new QTextBrowser(window);
    text->setObjectName("HelpText");
    text->setHtml(QCoreApplication::translate(kContext, html));
    auto* close = new QPushButton(QCoreApplication::translate("rg::ConnHelp", "Close"), window);
    close->setObjectName("CloseButton");
    QObject::connect(close, &QPushButton::clicked, window, &QDialog::close);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(text);
    layout->addWidget(close, 0, Qt::AlignRight);
    window->resize(520, 440);
    window->show();
    return window;
}

} // namespace

QWidget* showConnectionStringHelp(QWidget* parent) {
    return showHelpWindow(parent, "ConnectionStringHelp",
                          QT_TRANSLATE_NOOP("rg::ConnHelp", "Connection String Help"), kHelpText);
}

QWidget* showSqlEditorHelp(QWidget* parent) {
    return showHelpWindow(parent, "SqlEditorHelp",
                          QT_TRANSLATE_NOOP("rg::ConnHelp", "CommandText Editor Help"),
                          kSqlEditorHelpText);
}

} // namespace rg
