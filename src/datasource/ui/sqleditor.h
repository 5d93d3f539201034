#pragma once

// The SQL box of the data source dialog: several lines with the SQL words, texts and
// comments shown apart, completion of the connection's table and field names, and the place
// an error points at marked until the text changes. Ctrl+Enter asks to run the text.

#include <QPlainTextEdit>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QCompleter;
class QStringListModel;

namespace rg {

// The names completion offers, read when first needed; a listing that fails offers nothing.
struct SqlCatalog {
    std::function<std::vector<std::string>()> tables;
    std::function<std::vector<std::string>(const std::string& table)> fields;
};

class SqlEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit SqlEditor(QWidget* parent = nullptr);

    // A new catalog, or the same on another database: the names read so far are dropped.
    void setCatalog(SqlCatalog catalog);
    void forgetCatalog();
    QCompleter* completer() const { return completer_; }

    // Underlines `length` characters from `position` (both in the box's text) and puts the
    // caret there; the mark goes with the next change of the text.
    void markError(int position, int length);
    void clearErrorMark();
    // The marked characters, empty without a mark.
    QString markedText() const;

signals:
    void runRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void complete(bool asked);
    void insertCompletion(const QString& completion);
    QString wordBeforeCaret(QString* qualifier) const;
    QStringList candidates(const QString& qualifier);
    const QStringList& tableNames();
    const QStringList& fieldNames(const QString& table);
    QString tableNamed(const QString& word);
    QString tableOfAlias(const QString& alias);

    QCompleter* completer_;
    QStringListModel* names_;
    SqlCatalog catalog_;
    std::optional<QStringList> tables_;
    std::map<QString, QStringList> fields_; // by table name as listed
};

} // namespace rg
