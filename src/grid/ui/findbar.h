#pragma once

#include "grid/grid.h"

#include <QFrame>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace rg {

struct FindOptions {
    QString text;
    bool matchCase = false;
    bool wholeCell = false; // the whole shown text, not a part of it
};

// A row whose shown text matches: a group row by its value, a data row by the text of one
// of the visible columns (the first that matches).
struct FindHit {
    RowHandle row;
    const TdxDBGridColumn* column = nullptr; // none for a group row
};

// The next matching row after `from` in the order of the fully expanded tree, collapsed
// groups included, going round past the end; from the start when `from` is no row. None
// when no row matches (or the text is empty).
std::optional<FindHit> FindInGrid(const TdxDBGrid& grid, RowHandle from, const FindOptions& options,
                                  bool backwards = false);

// The find bar over the grid view: the text, "match case" and "whole cell". Enter and F3
// ask for the next match, Shift+F3 for the one before; Escape closes the bar.
class TdxFindBar : public QFrame {
    Q_OBJECT
public:
    explicit TdxFindBar(QWidget* parent);

    FindOptions options() const;
    // Shows "not found", or nothing, beside the text.
    void setNotFound(bool notFound);
    void open(); // shows the bar with its text selected for typing over

    QLineEdit* findText;
    QCheckBox *matchCase, *wholeCell;
    QToolButton *previousButton, *nextButton, *closeButton;
    QLabel* status;

signals:
    void findRequested(bool backwards);
    void closed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

} // namespace rg
