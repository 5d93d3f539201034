#pragma once

// The connection properties dialog: builds a connection string for the built-in SQLite
// provider, an installed ODBC driver or an ODBC data source name, and tests it.

#include <QDialog>
#include <QString>

class QComboBox;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace rg {

class TConnPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TConnPropertiesDialog(QWidget* parent = nullptr);

    // Fills the fields from a connection string; an empty one starts from scratch.
    void setConnectionString(const QString& s);
    // The string the fields describe, password included.
    QString connectionString() const;

    void TestConnectionClick();

    QComboBox* ProviderList;
    QLineEdit* DatabaseFile;
    QToolButton* BrowseFile;
    QLineEdit* Server;
    QLineEdit* Port;
    QLineEdit* Database;
    QLineEdit* UserName;
    QLineEdit* Password;
    QLineEdit* OtherAttributes;
    QSpinBox* QueryTimeout; // seconds a statement may run, 0 for no limit
    QPushButton* TestConnection;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    // What the provider list entries stand for.
    enum Kind { BuiltinSQLite, FileDriver, ServerDriver, DataSourceName };

private:
    void providerChanged();
    void browseFileClick();
    int findOrAddEntry(Kind kind, const QString& name);
    Kind currentKind() const;
    QString currentName() const;

    QFormLayout* form_;
    QWidget* fileRow_;
};

// The connection properties dialog started from `initial`; the new string, else `initial`.
QString PromptForDataSource(QWidget* parent, const QString& initial);
// A data link file chooser starting in the folder of `initial`; the chosen path, else
// `initial`.
QString PromptForDataLinkFile(QWidget* parent, const QString& initial);

} // namespace rg
