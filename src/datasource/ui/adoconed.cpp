#include "datasource/ui/adoconed.h"

#include "common/ui/commandguard.h"
#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "datasource/oledb.h"
#include "datasource/passwordmask.h"
#include "datasource/ui/connhelp.h"
#include "datasource/ui/connproperties.h"
#include "datasource/ui/dialogparts.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

namespace rg {

namespace {

const QLatin1String kFileNamePrefix("FILE NAME=");
constexpr int kMaxPath = 260;

// The ODBC string an OLE DB string runs as; the string itself when it is not one or
// cannot be translated (opening it then says why).
QString masked(const QString& s) {
    return QString::fromStdString(maskedPasswords(s.toStdString()));
}

QString odbcTranslation(const QString& s) {
    try {
        return QString::fromStdString(odbcFromOleDb(s.toStdString()));
    } catch (const std::exception&) {
        return s;
    }
}

// An enabled box shows the window background, a disabled one the button face.
void enableBox(QWidget* box, bool on) {
    box->setEnabled(on);
    QPalette p = box->palette();
    QColor colour = QGuiApplication::palette().color(on ? QPalette::Base : QPalette::Button);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, colour);
    box->setPalette(p);
}

} // namespace

QString DataLinkFolder() {
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    return QDir::cleanPath(data) + "/reportgen/Data Links";
}

int ListDataLinkFiles(QStringList& list, const QString& folder) {
    list.clear();
    QString dir = folder.isEmpty() ? DataLinkFolder() : folder;
    // An empty folder means the root, as the pattern "/*.udl" names it.
    QDir d(dir.isEmpty() ? QStringLiteral("/") : dir);
    d.setNameFilters({"*.udl"});
    d.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    list = d.entryList();
    return list.size();
}

TConnEditForm::TConnEditForm(QWidget* parent) : QDialog(parent) {
    setObjectName("ConnEditForm");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(472, 185);

    SourceofConnection = place<QGroupBox>(this, "SourceofConnection", 5, 4, 461, 136);
    SourceofConnection->setTitle(tr(" Source of Connection "));
    UseDataLinkFile = place<QRadioButton>(SourceofConnection, "UseDataLinkFile", 10, 21, 226, 20);
    UseDataLinkFile->setText(tr("Use Data &Link File"));
    DataLinkFile = place<QComboBox>(SourceofConnection, "DataLinkFile", 28, 42, 332, 21);
    DataLinkFile->setEditable(true);
    DataLinkFile->setInsertPolicy(QComboBox::NoInsert);
    Browse = placeButton(SourceofConnection, "Browse", tr("&Browse..."), 370, 39);
    UseConnectionString =
        place<QRadioButton>(SourceofConnection, "UseConnectionString", 10, 73, 226, 20);
    UseConnectionString->setText(tr("Use &Connection String"));
    ConnectionString = place<QLineEdit>(SourceofConnection, "ConnectionString", 28, 94, 332, 21);
    Build = placeButton(SourceofConnection, "Build", tr("B&uild..."), 370, 92);
    TranslatedNote = place<QLabel>(this, "TranslatedNote", 5, 151, 204, 25);
    TranslatedNote->setWordWrap(true);
    TranslatedNote->setVisible(false);
    OkButton = placeButton(this, "OkButton", tr("OK"), 214, 151);
    OkButton->setDefault(true);
    CancelButton = placeButton(this, "CancelButton", tr("Cancel"), 302, 151);
    HelpButton = placeButton(this, "HelpButton", tr("&Help"), 390, 151);

    connect(UseDataLinkFile, &QRadioButton::clicked, this, [this] { SourceButtonClick(); });
    connect(UseConnectionString, &QRadioButton::clicked, this, [this] { SourceButtonClick(); });
    connect(Browse, &QPushButton::clicked, this,
            [this] { guardCommand([this] { BrowseClick(); }); });
    connect(Build, &QPushButton::clicked, this, [this] { guardCommand([this] { BuildClick(); }); });
    connect(HelpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject); // Escape too
    FormCreate();
}

void TConnEditForm::FormCreate() {
    HelpContext = 27270;
    QStringList files;
    ListDataLinkFiles(files, DataLinkFolder());
    files.sort();
    DataLinkFile->addItems(files);
    DataLinkFile->setCurrentIndex(-1);
    DataLinkFile->setEditText(QString());
}

void TConnEditForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
}

void TConnEditForm::SourceButtonClick() {
    bool file = UseDataLinkFile->isChecked();
    enableBox(DataLinkFile, file);
    Browse->setEnabled(file);
    enableBox(ConnectionString, !file);
    Build->setEnabled(!file);
    if (DataLinkFile->isEnabled())
        DataLinkFile->setFocus();
    else
        ConnectionString->setFocus();
}

QString TConnEditForm::ChooseConnectionString(const QString& initial) {
    const QString folder = DataLinkFolder();
    UseDataLinkFile->setChecked(true);
    if (initial.startsWith(kFileNamePrefix, Qt::CaseSensitive)) {
        QString path = initial.mid(kFileNamePrefix.size(), kMaxPath);
        int slash = path.lastIndexOf('/');
        if (slash >= 0 && path.left(slash + 1) == folder + "/")
            DataLinkFile->setEditText(path.mid(slash + 1));
        else
            DataLinkFile->setEditText(path);
    } else {
        ConnectionString->setText(masked(initial));
        UseConnectionString->setChecked(true);
        // An OLE DB string of the original program is shown as the ODBC string it runs as;
        // left as shown, the initial string stays, so the setup still opens over there.
        const QString translated = odbcTranslation(initial);
        if (translated != initial) {
            ConnectionString->setText(masked(translated));
            TranslatedNote->setText(
                tr("Shown as ODBC; saved as given (%1)")
                    .arg(QString::fromStdString(
                        connValue(parseConnectionString(initial.toStdString()), "Provider"))));
        }
        TranslatedNote->setVisible(translated != initial);
    }
    SourceButtonClick();
    if (exec() != QDialog::Accepted)
        return initial;
    if (UseConnectionString->isChecked()) {
        const QString shown = TranslatedNote->isHidden() ? initial : odbcTranslation(initial);
        if (!TranslatedNote->isHidden() && ConnectionString->text() == masked(shown))
            return initial;
        return QString::fromStdString(
            withPasswordsRestored(ConnectionString->text().toStdString(), shown.toStdString()));
    }
    QString file = DataLinkFile->currentText();
    if (file.isEmpty())
        return QString();
    if (file.contains('/'))
        return kFileNamePrefix + file;
    return kFileNamePrefix + folder + "/" + file;
}

void TConnEditForm::BrowseClick() {
    DataLinkFile->setEditText(PromptForDataLinkFile(this, DataLinkFile->currentText()));
}

void TConnEditForm::BuildClick() {
    ConnectionString->setText(PromptForDataSource(this, ConnectionString->text()));
}

void TConnEditForm::HelpButtonClick() {
    showConnectionStringHelp(this);
}

bool RunConnectionEditor(Connection& conn, QWidget* parent, const QString& ownerName,
                         const QString& connectionName) {
    TConnEditForm editor(parent);
    editor.setWindowTitle(
        TConnEditForm::tr("%1.%2 ConnectionString").arg(ownerName, connectionName));
    const QString initial = QString::fromStdString(conn.ConnectionString());
    const QString chosen = editor.ChooseConnectionString(initial);
    if (chosen == initial)
        return false;
    conn.SetConnectionString(chosen.toStdString());
    return true;
}

} // namespace rg
