#pragma once

#include <QSyntaxHighlighter>

namespace rg {

// SQL as an editor shows it: keywords in bold blue, quoted texts in dark red, comments
// ("--" to the line's end, and /* */ over several lines) in grey italics. A quote or a
// comment mark inside a text or a comment is part of it.
class SqlHighlighter : public QSyntaxHighlighter {
public:
    explicit SqlHighlighter(QTextDocument* document);

    // The format a keyword, a text and a comment are shown in.
    static QTextCharFormat keywordFormat();
    static QTextCharFormat textFormat();
    static QTextCharFormat commentFormat();

protected:
    void highlightBlock(const QString& text) override;
};

} // namespace rg
