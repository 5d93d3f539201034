#include "datasource/ui/connproperties.h"

#include "common/databaseerror.h"
#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "datasource/odbcsources.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>

namespace rg {

namespace {

const char* const kCaption =
    QT_TRANSLATE_NOOP("rg::TConnPropertiesDialog", "Connection Properties");

bool isFileDriver(const QString& driver) {
    return driver.contains(QLatin1String("sqlite"), Qt::CaseInsensitive);
}

void addPart(std::string& s, const char* key, const QString& value, bool keepEmpty = false) {
    std::string v = value.toStdString();
    if (v.empty() && !keepEmpty)
        return;
    if (!s.empty())
        s += ';';
    s += key;
    s += '=';
    s += quoteConnValue(v);
}

QLineEdit* makeEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

// ODBC values may come in braces, with "}}" standing for one brace.
QString unbrace(QString v) {
    if (v.size() >= 2 && v.startsWith('{') && v.endsWith('}'))
        v = v.mid(1, v.size() - 2).replace("}}", "}");
    return v;
}

// The value of the first of several synonymous keys that is present; each key is marked
// as used so that the rest can be kept as other attributes.
QString takeValue(const ConnParts& parts, std::set<std::string>& used,
                  std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        for (const auto& [k, v] : parts) {
            if (QString::fromStdString(k).compare(QLatin1String(key), Qt::CaseInsensitive) == 0) {
                used.insert(k);
                return unbrace(QString::fromStdString(v));
            }
        }
    }
    return {};
}

} // namespace

TConnPropertiesDialog::TConnPropertiesDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("ConnPropertiesDialog");
    setWindowTitle(tr(kCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    ProviderList = new QComboBox(this);
    ProviderList->setObjectName("ProviderList");
    ProviderList->addItem(tr("SQLite (built-in provider)"), QVariantList{BuiltinSQLite, QString()});
    for (const std::string& d : listOdbcDrivers()) {
        QString name = QString::fromStdString(d);
        ProviderList->addItem(tr("ODBC driver: %1").arg(name),
                              QVariantList{isFileDriver(name) ? FileDriver : ServerDriver, name});
    }
    for (const OdbcDataSource& s : listOdbcDataSources()) {
        QString name = QString::fromStdString(s.name);
        ProviderList->addItem(
            tr("ODBC data source: %1 (%2)").arg(name, QString::fromStdString(s.driver)),
            QVariantList{DataSourceName, name});
    }

    DatabaseFile = makeEdit(this, "DatabaseFile");
    BrowseFile = new QToolButton(this);
    BrowseFile->setObjectName("BrowseFile");
    BrowseFile->setText("...");
    fileRow_ = new QWidget(this);
    auto* fileLayout = new QHBoxLayout(fileRow_);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(DatabaseFile);
    fileLayout->addWidget(BrowseFile);
    Server = makeEdit(this, "Server");
    Port = makeEdit(this, "Port");
    Database = makeEdit(this, "Database");
    UserName = makeEdit(this, "UserName");
    Password = makeEdit(this, "Password");
    Password->setEchoMode(QLineEdit::Password);
    OtherAttributes = makeEdit(this, "OtherAttributes");
    OtherAttributes->setPlaceholderText("key=value;key=value");
    QueryTimeout = new QSpinBox(this);
    QueryTimeout->setObjectName("QueryTimeout");
    QueryTimeout->setRange(0, 24 * 60 * 60);
    QueryTimeout->setSuffix(tr(" s"));
    QueryTimeout->setSpecialValueText(tr("None"));

    form_ = new QFormLayout;
    form_->addRow(tr("&Provider:"), ProviderList);
    form_->addRow(tr("Database &file:"), fileRow_);
    form_->addRow(tr("&Server:"), Server);
    form_->addRow(tr("P&ort:"), Port);
    form_->addRow(tr("&Database:"), Database);
    form_->addRow(tr("User &name:"), UserName);
    form_->addRow(tr("Pass&word:"), Password);
    form_->addRow(tr("Other &attributes:"), OtherAttributes);
    form_->addRow(tr("&Query timeout:"), QueryTimeout);

    TestConnection = new QPushButton(tr("&Test Connection"), this);
    TestConnection->setObjectName("TestConnection");
    TestConnection->setAutoDefault(false);
    OkButton = new QPushButton(tr("OK"), this);
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName("CancelButton");
    CancelButton->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(TestConnection);
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form_);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(460);

    connect(ProviderList, &QComboBox::currentIndexChanged, this, [this] { providerChanged(); });
    connect(BrowseFile, &QToolButton::clicked, this, [this] { browseFileClick(); });
    connect(TestConnection, &QPushButton::clicked, this, [this] { TestConnectionClick(); });
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    providerChanged();
}

TConnPropertiesDialog::Kind TConnPropertiesDialog::currentKind() const {
    return static_cast<Kind>(ProviderList->currentData().toList().value(0).toInt());
}

QString TConnPropertiesDialog::currentName() const {
    return ProviderList->currentData().toList().value(1).toString();
}

int TConnPropertiesDialog::findOrAddEntry(Kind kind, const QString& name) {
    for (int i = 0; i < ProviderList->count(); ++i) {
        QVariantList d = ProviderList->itemData(i).toList();
        if (d.value(0).toInt() == kind &&
            d.value(1).toString().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    // A driver or data source the driver manager does not list is kept as it was named.
    QString label = kind == DataSourceName ? tr("ODBC data source: %1").arg(name)
                                           : tr("ODBC driver: %1").arg(name);
    ProviderList->addItem(label, QVariantList{kind, name});
    return ProviderList->count() - 1;
}

void TConnPropertiesDialog::providerChanged() {
    Kind kind = currentKind();
    bool file = kind == BuiltinSQLite || kind == FileDriver;
    bool server = kind == ServerDriver;
    form_->setRowVisible(fileRow_, file);
    form_->setRowVisible(Server, server);
    form_->setRowVisible(Port, server);
    form_->setRowVisible(Database, server);
    form_->setRowVisible(UserName, !file);
    form_->setRowVisible(Password, !file);
    adjustSize();
}

void TConnPropertiesDialog::setConnectionString(const QString& s) {
    for (QLineEdit* e : {DatabaseFile, Server, Port, Database, UserName, Password, OtherAttributes})
        e->clear();
    ConnParts parts = parseConnectionString(s.toStdString());
    std::set<std::string> used, peeked;
    // A limit the box cannot show stays among the other attributes, where a test of the
    // connection names what is wrong with it.
    bool whole = false;
    const int timeout = takeValue(parts, peeked, {kQueryTimeoutKey}).toInt(&whole);
    QueryTimeout->setValue(whole ? timeout : 0);
    if (whole && timeout >= 0 && timeout <= QueryTimeout->maximum())
        takeValue(parts, used, {kQueryTimeoutKey});
    int entry = 0;
    QString provider = takeValue(parts, peeked, {"Provider"});
    QString dsn = takeValue(parts, used, {"DSN"});
    QString driver = takeValue(parts, used, {"Driver"});
    if (!dsn.isEmpty())
        entry = findOrAddEntry(DataSourceName, dsn);
    else if (!driver.isEmpty())
        entry = findOrAddEntry(isFileDriver(driver) ? FileDriver : ServerDriver, driver);
    else if (provider.compare("SQLite", Qt::CaseInsensitive) == 0)
        takeValue(parts, used, {"Provider"});
    // Anything else (another provider's keys) stays as other attributes.
    ProviderList->setCurrentIndex(entry);
    switch (currentKind()) {
    case BuiltinSQLite:
        DatabaseFile->setText(takeValue(parts, used, {"Data Source"}));
        break;
    case FileDriver:
        DatabaseFile->setText(takeValue(parts, used, {"Database"}));
        break;
    case ServerDriver:
        Server->setText(takeValue(parts, used, {"Server", "Servername", "Host"}));
        Port->setText(takeValue(parts, used, {"Port"}));
        Database->setText(takeValue(parts, used, {"Database"}));
        [[fallthrough]];
    case DataSourceName:
        UserName->setText(takeValue(parts, used, {"Uid", "User ID", "UserName"}));
        Password->setText(takeValue(parts, used, {"Pwd", "Password"}));
        break;
    }
    std::string other;
    for (const auto& [k, v] : parts)
        if (!used.count(k))
            addPart(other, k.c_str(), QString::fromStdString(v), true);
    OtherAttributes->setText(QString::fromStdString(other));
}

QString TConnPropertiesDialog::connectionString() const {
    std::string s;
    switch (currentKind()) {
    case BuiltinSQLite:
        s = "Provider=SQLite";
        addPart(s, "Data Source", DatabaseFile->text(), true);
        break;
    case FileDriver:
        s = "Driver={" + currentName().toStdString() + "}";
        addPart(s, "Database", DatabaseFile->text(), true);
        break;
    case ServerDriver:
        s = "Driver={" + currentName().toStdString() + "}";
        addPart(s, "Server", Server->text());
        addPart(s, "Port", Port->text());
        addPart(s, "Database", Database->text());
        addPart(s, "Uid", UserName->text());
        addPart(s, "Pwd", Password->text());
        break;
    case DataSourceName:
        addPart(s, "DSN", currentName(), true);
        addPart(s, "Uid", UserName->text());
        addPart(s, "Pwd", Password->text());
        break;
    }
    if (QueryTimeout->value() > 0)
        addPart(s, kQueryTimeoutKey, QString::number(QueryTimeout->value()));
    QString other = OtherAttributes->text().trimmed();
    while (other.startsWith(';'))
        other.remove(0, 1);
    if (!other.isEmpty())
        s += ";" + other.toStdString();
    return QString::fromStdString(s);
}

void TConnPropertiesDialog::TestConnectionClick() {
    // The driver's own text follows the sentence: a wrong password reads as the server says it.
    try {
        Connection test;
        test.SetConnectionString(connectionString().toStdString());
        withDatabaseContext("连接数据库失败", [&] { test.Open(); });
        test.Close();
    } catch (const std::exception& e) {
        QMessageBox::warning(this, tr(kCaption), QString::fromUtf8(e.what()));
        return;
    }
    QMessageBox::information(this, tr(kCaption), tr("Test connection succeeded."));
}

void TConnPropertiesDialog::browseFileClick() {
    QFileDialog dialog(this, tr("Select Database File"), QFileInfo(DatabaseFile->text()).path());
    dialog.setObjectName("DatabaseFileDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(
        {tr("SQLite databases (*.db *.sqlite *.sqlite3 *.db3)"), tr("All files (*)")});
    if (!DatabaseFile->text().isEmpty())
        dialog.selectFile(DatabaseFile->text());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        DatabaseFile->setText(dialog.selectedFiles().first());
}

QString PromptForDataSource(QWidget* parent, const QString& initial) {
    TConnPropertiesDialog dialog(parent);
    dialog.setConnectionString(initial);
    if (dialog.exec() != QDialog::Accepted)
        return initial;
    return dialog.connectionString();
}

QString PromptForDataLinkFile(QWidget* parent, const QString& initial) {
    int slash = initial.lastIndexOf('/');
    QFileDialog dialog(parent, TConnPropertiesDialog::tr("Select Data Link File"),
                       slash >= 0 ? initial.left(slash + 1) : QString());
    dialog.setObjectName("DataLinkFileDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({TConnPropertiesDialog::tr("Microsoft Data Link (*.udl)"),
                           TConnPropertiesDialog::tr("All files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return initial;
    return dialog.selectedFiles().first();
}

} // namespace rg
