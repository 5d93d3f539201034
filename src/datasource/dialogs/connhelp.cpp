#include "datasource/dialogs/connhelp.h"

#include <QDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace rg {

namespace {
const char* const kHelpText = R"(<h3>Connection strings</h3>
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
settings are chosen and the connection can be tested.</p>)";
} // namespace

QWidget* showConnectionStringHelp(QWidget* parent) {
    auto* window = new QDialog(parent);
    window->setObjectName("ConnectionStringHelp");
    window->setWindowTitle("Connection String Help");
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* text = new QTextBrowser(window);
    text->setObjectName("HelpText");
    text->setHtml(QString::fromUtf8(kHelpText));
    auto* close = new QPushButton("Close", window);
    close->setObjectName("CloseButton");
    QObject::connect(close, &QPushButton::clicked, window, &QDialog::close);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(text);
    layout->addWidget(close, 0, Qt::AlignRight);
    window->resize(520, 440);
    window->show();
    return window;
}

} // namespace rg
