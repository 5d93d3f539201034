#include "datasource/ui/sqlhighlighter.h"

#include <QSet>

namespace rg {
namespace {

enum State { Plain = 0, InComment = 1 }; // at the end of a line: inside /* */ or not

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

const QSet<QString>& keywords() {
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* w :
             {"ALL",    "AND",    "AS",       "ASC",      "BETWEEN", "BY",     "CASE",   "CAST",
              "CROSS",  "DELETE", "DESC",     "DISTINCT", "ELSE",    "END",    "EXEC",   "EXISTS",
              "FETCH",  "FIRST",  "FROM",     "FULL",     "GROUP",   "HAVING", "IN",     "INNER",
              "INSERT", "INTO",   "IS",       "JOIN",     "LEFT",    "LIKE",   "LIMIT",  "NOT",
              "NULL",   "OFFSET", "ON",       "OR",       "ORDER",   "OUTER",  "RIGHT",  "ROWS",
              "SELECT", "SET",    "THEN",     "TOP",      "UNION",   "UPDATE", "VALUES", "WHEN",
              "WHERE",  "WITH",   "RECURSIVE"})
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words;
}

} // namespace

SqlHighlighter::SqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

QTextCharFormat SqlHighlighter::keywordFormat() {
    QTextCharFormat f;
    f.setForeground(QColor(0, 0, 160));
    f.setFontWeight(QFont::Bold);
    return f;
}

QTextCharFormat SqlHighlighter::textFormat() {
    QTextCharFormat f;
    f.setForeground(QColor(160, 0, 0));
    return f;
}

QTextCharFormat SqlHighlighter::commentFormat() {
    QTextCharFormat f;
    f.setForeground(QColor(120, 120, 120));
    f.setFontItalic(true);
    return f;
}

void SqlHighlighter::highlightBlock(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    setCurrentBlockState(Plain);
    if (previousBlockState() == InComment) {
        const qsizetype end = text.indexOf(QLatin1String("*/"));
        const qsizetype stop = end < 0 ? n : end + 2;
        setFormat(0, static_cast<int>(stop), commentFormat());
        if (end < 0) {
            setCurrentBlockState(InComment);
            return;
        }
        i = stop;
    }
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('-') && i + 1 < n && text[i + 1] == QLatin1Char('-')) {
            setFormat(static_cast<int>(i), static_cast<int>(n - i), commentFormat());
            return;
        }
        if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            setFormat(static_cast<int>(i), static_cast<int>(stop - i), commentFormat());
            if (end < 0) {
                setCurrentBlockState(InComment);
                return;
            }
            i = stop;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            // A doubled quote stays inside the text; a text left open ends with the line.
            qsizetype j = i + 1;
            while (j < n) {
                if (text[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && text[j + 1] == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            setFormat(static_cast<int>(i), static_cast<int>(j - i), textFormat());
            i = j;
            continue;
        }
        if (isWordChar(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(text[j]))
                ++j;
            if (keywords().contains(text.mid(i, j - i).toUpper()))
                setFormat(static_cast<int>(i), static_cast<int>(j - i), keywordFormat());
            i = j;
            continue;
        }
        ++i;
    }
}

} // namespace rg
