#pragma once

// The connection string editor: the connection's string as a data link file or as a
// string typed or built in the connection properties dialog.

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace rg {

class Connection;

// Where data link files live: ~/.local/share/reportgen/Data Links; empty when the user's
// data folder is unknown. Never with a trailing "/".
QString DataLinkFolder();

// Replaces `list` by the names of the files matching folder + "/*.udl" (the folder
// defaults to DataLinkFolder when empty); returns their count.
int ListDataLinkFiles(QStringList& list, const QString& folder = QString());

class TConnEditForm : public QDialog {
    Q_OBJECT
public:
    explicit TConnEditForm(QWidget* parent = nullptr);

    // Shows the editor modally; the final string, or `initial` unless it ends with OK.
    QString ChooseConnectionString(const QString& initial);

    void SourceButtonClick();
    void BrowseClick();
    void BuildClick();
    void HelpButtonClick();

    int HelpContext = 0;

    QGroupBox* SourceofConnection;
    QRadioButton* UseDataLinkFile;
    QComboBox* DataLinkFile;
    QPushButton* Browse;
    QRadioButton* UseConnectionString;
    QLineEdit* ConnectionString;
    QPushButton* Build;
    QLabel* TranslatedNote; // shown while the box holds the translation of an OLE DB string
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
};

// Edits the connection's string; true (with the string written) when it changed. The
// caption names the connection as "<owner>.<connection> ConnectionString".
bool RunConnectionEditor(Connection& conn, QWidget* parent = nullptr,
                         const QString& ownerName = QStringLiteral("frmquorvel"),
                         const QString& connectionName = QStringLiteral("conn"));

} // namespace rg
