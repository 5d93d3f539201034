#include "datasource/ui/sqleditor.h"

#include "datasource/ui/sqlhighlighter.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextBlock>

#include <exception>

namespace rg {

namespace {

// Words typed before the list offers itself unasked.
constexpr int kPrefixToComplete = 2;

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// The bare name of a listed "schema.name".
QString lastPart(const QString& name) {
    return name.section(QLatin1Char('.'), -1);
}

QStringList listed(const std::function<std::vector<std::string>()>& list) {
    QStringList out;
    if (!list)
        return out;
    try {
        for (const std::string& name : list())
            out << QString::fromStdString(name);
    } catch (const std::exception&) {
        // Completion only offers what it can read; the run says what is wrong.
    }
    out.sort(Qt::CaseInsensitive);
    out.removeDuplicates();
    return out;
}

} // namespace

SqlEditor::SqlEditor(QWidget* parent) : QPlainTextEdit(parent) {
    new SqlHighlighter(document());
    names_ = new QStringListModel(this);
    completer_ = new QCompleter(names_, this);
    completer_->setObjectName(QStringLiteral("SqlCompleter"));
    completer_->setWidget(this);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    connect(completer_, qOverload<const QString&>(&QCompleter::activated), this,
            &SqlEditor::insertCompletion);
    connect(this, &QPlainTextEdit::textChanged, this, &SqlEditor::clearErrorMark);
}

void SqlEditor::setCatalog(SqlCatalog catalog) {
    catalog_ = std::move(catalog);
    forgetCatalog();
}

void SqlEditor::forgetCatalog() {
    tables_.reset();
    fields_.clear();
}

void SqlEditor::markError(int position, int length) {
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(document());
    mark.cursor.setPosition(position);
    mark.cursor.setPosition(position + length, QTextCursor::KeepAnchor);
    mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    mark.format.setUnderlineColor(Qt::red);
    mark.format.setBackground(QColor(255, 220, 220));
    setExtraSelections({mark});
    QTextCursor caret = textCursor();
    caret.setPosition(position);
    setTextCursor(caret);
    ensureCursorVisible();
}

void SqlEditor::clearErrorMark() {
    if (!extraSelections().isEmpty())
        setExtraSelections({});
}

QString SqlEditor::markedText() const {
    const QList<QTextEdit::ExtraSelection> marks = extraSelections();
    return marks.isEmpty() ? QString() : marks.front().cursor.selectedText();
}

void SqlEditor::focusInEvent(QFocusEvent* event) {
    completer_->setWidget(this);
    QPlainTextEdit::focusInEvent(event);
}

void SqlEditor::keyPressEvent(QKeyEvent* event) {
    const bool listOpen = completer_->popup()->isVisible();
    const int key = event->key();
    if (listOpen && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
                     key == Qt::Key_Tab || key == Qt::Key_Backtab)) {
        event->ignore(); // the list takes them
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        emit runRequested();
        return;
    }
    if (ctrl && key == Qt::Key_Space) {
        complete(true);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    const QString typed = event->text();
    if (!typed.isEmpty() && (isNameChar(typed.back()) || typed.back() == QLatin1Char('.')))
        complete(false);
    else if (key != Qt::Key_Shift && key != Qt::Key_Control)
        completer_->popup()->hide();
}

// The name being typed before the caret; `qualifier` is the name before its dot, if any.
QString SqlEditor::wordBeforeCaret(QString* qualifier) const {
    const QTextCursor caret = textCursor();
    const QString line = caret.block().text();
    int end = caret.positionInBlock();
    int start = end;
    while (start > 0 && isNameChar(line.at(start - 1)))
        --start;
    qualifier->clear();
    if (start > 0 && line.at(start - 1) == QLatin1Char('.')) {
        int q = start - 1;
        while (q > 0 && isNameChar(line.at(q - 1)))
            --q;
        *qualifier = line.mid(q, start - 1 - q);
    }
    return line.mid(start, end - start);
}

void SqlEditor::complete(bool asked) {
    QString qualifier;
    const QString prefix = wordBeforeCaret(&qualifier);
    if (!asked && qualifier.isEmpty() && prefix.size() < kPrefixToComplete) {
        completer_->popup()->hide();
        return;
    }
    names_->setStringList(candidates(qualifier));
    completer_->setCompletionPrefix(prefix);
    // A name typed out in full needs no list.
    if (completer_->completionCount() == 0 ||
        (completer_->completionCount() == 1 &&
         completer_->currentCompletion().compare(prefix, Qt::CaseInsensitive) == 0)) {
        completer_->popup()->hide();
        return;
    }
    completer_->popup()->setCurrentIndex(completer_->completionModel()->index(0, 0));
    QRect place = cursorRect();
    place.setWidth(completer_->popup()->sizeHintForColumn(0) +
                   completer_->popup()->verticalScrollBar()->sizeHint().width());
    completer_->complete(place);
}

void SqlEditor::insertCompletion(const QString& completion) {
    QString qualifier;
    const QString prefix = wordBeforeCaret(&qualifier);
    QTextCursor caret = textCursor();
    caret.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, prefix.size());
    caret.insertText(completion);
    setTextCursor(caret);
}

// After "name." the fields of that table (or of the table that name is an alias of); elsewhere the
// tables, and the fields of the tables the text names.
QStringList SqlEditor::candidates(const QString& qualifier) {
    if (!qualifier.isEmpty()) {
        QString table = tableNamed(qualifier);
        if (table.isEmpty())
            table = tableOfAlias(qualifier);
        return table.isEmpty() ? QStringList() : fieldNames(table);
    }
    QStringList out;
    for (const QString& table : tableNames())
        out << lastPart(table);
    QStringList words;
    const QString text = toPlainText();
    for (qsizetype i = 0; i < text.size();) {
        if (!isNameChar(text.at(i))) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < text.size() && isNameChar(text.at(j)))
            ++j;
        words << text.mid(i, j - i);
        i = j;
    }
    words.removeDuplicates();
    for (const QString& word : words) {
        const QString table = tableNamed(word);
        if (!table.isEmpty())
            out << fieldNames(table);
    }
    out.sort(Qt::CaseInsensitive);
    out.removeDuplicates();
    return out;
}

// The listed table a word of the text names, by its whole name or its bare name.
QString SqlEditor::tableNamed(const QString& word) {
    for (const QString& table : tableNames())
        if (table.compare(word, Qt::CaseInsensitive) == 0)
            return table;
    for (const QString& table : tableNames())
        if (lastPart(table).compare(lastPart(word), Qt::CaseInsensitive) == 0)
            return table;
    return {};
}

// The table an alias stands for: "from sales s", "join sales as s".
QString SqlEditor::tableOfAlias(const QString& alias) {
    const QRegularExpression named(QStringLiteral("([\\w$.]+)\\s+(?:as\\s+)?%1(?![\\w$])")
                                       .arg(QRegularExpression::escape(alias)),
                                   QRegularExpression::CaseInsensitiveOption |
                                       QRegularExpression::UseUnicodePropertiesOption);
    QRegularExpressionMatchIterator found = named.globalMatch(toPlainText());
    while (found.hasNext()) {
        const QString table = tableNamed(found.next().captured(1));
        if (!table.isEmpty())
            return table;
    }
    return {};
}

const QStringList& SqlEditor::tableNames() {
    if (!tables_)
        tables_ = listed(catalog_.tables);
    return *tables_;
}

const QStringList& SqlEditor::fieldNames(const QString& table) {
    auto found = fields_.find(table);
    if (found == fields_.end()) {
        const std::string name = table.toStdString();
        auto fields = catalog_.fields;
        QStringList list = fields ? listed([&] { return fields(name); }) : QStringList();
        found = fields_.emplace(table, std::move(list)).first;
    }
    return found->second;
}

} // namespace rg
