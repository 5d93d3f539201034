#include "grid/ui/findbar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <vector>

namespace rg {
namespace {

// Every row in the order of the fully expanded tree.
void collectRows(const TdxDBGrid& grid, RowHandle row, std::vector<RowHandle>& out) {
    out.push_back(row);
    if (row.isGroup())
        for (int i = 0; i < grid.ChildCount(row); ++i)
            collectRows(grid, grid.Child(row, i), out);
}

// What a group row shows of its value: the grouped column's text in its first record.
std::string groupValueText(const TdxDBGrid& grid, RowHandle group) {
    const int level = grid.Level(group);
    RowHandle first = group;
    while (first.isGroup() && grid.ChildCount(first) > 0)
        first = grid.Child(first, 0);
    if (!first.isData())
        return {};
    for (int i = 0; i < grid.ColumnCount(); ++i)
        if (grid.Columns(i).GroupIndex() == level)
            return grid.CellText(first, grid.Columns(i));
    return {};
}

class Matcher {
public:
    explicit Matcher(const FindOptions& o) : o_(o), utf8_(o.text.toStdString()) {}

    bool operator()(const std::string& text) const {
        if (o_.matchCase)
            return o_.wholeCell ? text == utf8_ : text.find(utf8_) != std::string::npos;
        const QString t = QString::fromStdString(text);
        return o_.wholeCell ? t.compare(o_.text, Qt::CaseInsensitive) == 0
                            : t.contains(o_.text, Qt::CaseInsensitive);
    }

private:
    const FindOptions& o_;
    std::string utf8_;
};

std::optional<FindHit> matchRow(const TdxDBGrid& grid, RowHandle row, const Matcher& matches,
                                const std::vector<TdxDBGridColumn*>& columns) {
    if (row.isGroup()) {
        if (matches(groupValueText(grid, row)))
            return FindHit{row, nullptr};
        return std::nullopt;
    }
    for (const TdxDBGridColumn* c : columns)
        if (matches(grid.CellText(row, *c)))
            return FindHit{row, c};
    return std::nullopt;
}

} // namespace

std::optional<FindHit> FindInGrid(const TdxDBGrid& grid, RowHandle from, const FindOptions& options,
                                  bool backwards) {
    if (options.text.isEmpty())
        return std::nullopt;
    std::vector<RowHandle> rows;
    rows.reserve(static_cast<size_t>(grid.DataRowCount() + grid.GroupRowCount()));
    for (int i = 0; i < grid.TopCount(); ++i)
        collectRows(grid, grid.Top(i), rows);
    const int n = static_cast<int>(rows.size());
    int start = backwards ? n : -1;
    for (int i = 0; i < n && from.valid(); ++i)
        if (rows[static_cast<size_t>(i)] == from)
            start = i;
    const Matcher matches(options);
    const std::vector<TdxDBGridColumn*> columns = grid.VisibleColumns();
    const int step = backwards ? -1 : 1;
    for (int k = 1; k <= n; ++k) {
        const int i = ((start + step * k) % n + n) % n;
        if (auto hit = matchRow(grid, rows[static_cast<size_t>(i)], matches, columns))
            return hit;
    }
    return std::nullopt;
}

TdxFindBar::TdxFindBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(4);
    auto label = new QLabel(tr("Find:"), this);
    findText = new QLineEdit(this);
    findText->setObjectName(QStringLiteral("findText"));
    findText->setMinimumWidth(140);
    label->setBuddy(findText);
    matchCase = new QCheckBox(tr("Match case"), this);
    matchCase->setObjectName(QStringLiteral("matchCase"));
    wholeCell = new QCheckBox(tr("Whole cell"), this);
    wholeCell->setObjectName(QStringLiteral("wholeCell"));
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("findStatus"));
    auto button = [this](const char* name, QString text, QString tip) {
        auto b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(std::move(text));
        b->setToolTip(std::move(tip));
        b->setAutoRaise(true);
        return b;
    };
    previousButton = button("findPrevious", QStringLiteral("▲"), tr("Previous match (Shift+F3)"));
    nextButton = button("findNext", QStringLiteral("▼"), tr("Next match (F3)"));
    closeButton = button("findClose", QStringLiteral("✕"), tr("Close (Esc)"));
    for (QWidget* w : std::initializer_list<QWidget*>{label, findText, previousButton, nextButton,
                                                      matchCase, wholeCell, status, closeButton})
        layout->addWidget(w);
    connect(findText, &QLineEdit::returnPressed, this, [this] { emit findRequested(false); });
    connect(findText, &QLineEdit::textEdited, this, [this] { setNotFound(false); });
    connect(previousButton, &QToolButton::clicked, this, [this] { emit findRequested(true); });
    connect(nextButton, &QToolButton::clicked, this, [this] { emit findRequested(false); });
    connect(closeButton, &QToolButton::clicked, this, [this] {
        hide();
        emit closed();
    });
    hide();
}

FindOptions TdxFindBar::options() const {
    return FindOptions{findText->text(), matchCase->isChecked(), wholeCell->isChecked()};
}

void TdxFindBar::setNotFound(bool notFound) {
    status->setText(notFound ? tr("Not found") : QString());
}

void TdxFindBar::open() {
    setNotFound(false);
    show();
    raise();
    findText->setFocus();
    findText->selectAll();
}

void TdxFindBar::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        hide();
        emit closed();
        return;
    }
    if (e->key() == Qt::Key_F3) {
        emit findRequested(e->modifiers().testFlag(Qt::ShiftModifier));
        return;
    }
    QFrame::keyPressEvent(e);
}

} // namespace rg
