#include "datasource/ui/sqledit.h"

#include "common/ui/commandguard.h"
#include "datasource/ui/connhelp.h"
#include "datasource/ui/dialogparts.h"
#include "datasource/ui/splitter.h"
#include "datasource/ui/sqlhighlighter.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace rg {

namespace {

// The insertion mark: a 10 × 6 upward triangle, red with a black outline.
QPixmap insertMarkPicture() {
    QImage image(10, 6, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 6; ++y) {
        const int left = std::max(0, 4 - y), right = std::min(9, 5 + y);
        for (int x = left; x <= right; ++x) {
            const bool outline = y == 0 || y == 5 || x == left || x == right;
            image.setPixelColor(x, y, outline ? Qt::black : Qt::red);
        }
    }
    return QPixmap::fromImage(image);
}

QWidget* panel(QWidget* parent, const char* name) {
    auto* w = new QWidget(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top,
              QWidget* buddy) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(left, top);
    l->adjustSize();
    l->setBuddy(buddy); // "&" focuses the buddy
    return l;
}

std::vector<std::string> entries(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toStdString());
    return out;
}

void setEntries(QListWidget* list, const std::vector<std::string>& names) {
    QSignalBlocker block(list);
    list->clear();
    for (const std::string& n : names)
        list->addItem(QString::fromStdString(n));
}

} // namespace

TSQLEditForm::TSQLEditForm(QWidget* parent) : QDialog(parent) {
    setObjectName("SQLEditForm");
    setWindowTitle(tr("CommandText Editor"));
    setSizeGripEnabled(false);
    resize(524, 323);
    setMinimumSize(300, 200);

    TopPanel = panel(this, "TopPanel");
    TopPanel->setFixedHeight(19);
    MetaInfoPanel = panel(this, "MetaInfoPanel");
    MetaInfoPanel->setFixedWidth(159);
    MetaInfoSQLSplitter = new TSplitter(Qt::Horizontal, MetaInfoPanel, this);
    MetaInfoSQLSplitter->setObjectName("MetaInfoSQLSplitter");
    SQLMemo = new QPlainTextEdit(this);
    SQLMemo->setObjectName("SQLMemo");
    SQLMemo->setTabChangesFocus(true);
    SQLMemo->document()->setDocumentMargin(1);
    new SqlHighlighter(SQLMemo->document());
    // The selection stays as visible without the focus as with it.
    QPalette memoPalette = SQLMemo->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        memoPalette.setColor(QPalette::Inactive, role, memoPalette.color(QPalette::Active, role));
    SQLMemo->setPalette(memoPalette);
    ButtonPanel = panel(this, "ButtonPanel");
    ButtonPanel->setFixedHeight(35);

    TableListLabel = label(TopPanel, "TableListLabel", tr("&Tables:"), 3, 4, nullptr);
    SQLLabel = label(TopPanel, "SQLLabel", tr("&SQL:"), 166, 3, SQLMemo);
    buildMetaInfoPanel();
    TableListLabel->setBuddy(TableList);
    buildButtonPanel();

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    middle->addWidget(MetaInfoPanel);
    middle->addWidget(MetaInfoSQLSplitter);
    middle->addWidget(SQLMemo, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(TopPanel);
    outer->addLayout(middle, 1);
    outer->addWidget(ButtonPanel);

    InsertMark = new QLabel(SQLMemo->viewport());
    InsertMark->setObjectName("InsertMark");
    InsertMark->setPixmap(Image1->pixmap());
    InsertMark->adjustSize();
    InsertMark->setAttribute(Qt::WA_TransparentForMouseEvents);
    InsertMark->hide();
    SQLMemo->installEventFilter(this);

    MetaInfoSQLSplitter->OnCanResize = [this](int width) {
        return width > 100 && width < this->width() - 100;
    };
    MetaInfoSQLSplitter->OnMoved = [this] { SQLLabel->move(SQLMemo->x(), SQLLabel->y()); };
    TableFieldsSplitter->OnCanResize = [this](int height) {
        return height > 44 && height < MetaInfoPanel->height() - 65;
    };

    connect(TableList, &QListWidget::itemSelectionChanged, this, [this] { TableListClick(); });
    connect(TableList, &QListWidget::itemDoubleClicked, this,
            [this] { guardCommand([this] { AddTableButtonClick(); }); });
    connect(AddTableButton, &QPushButton::clicked, this,
            [this] { guardCommand([this] { AddTableButtonClick(); }); });
    connect(FieldList, &QListWidget::itemDoubleClicked, this,
            [this] { guardCommand([this] { AddFieldButtonClick(); }); });
    connect(AddFieldButton, &QPushButton::clicked, this,
            [this] { guardCommand([this] { AddFieldButtonClick(); }); });
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject); // Escape too
    connect(HelpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
}

void TSQLEditForm::buildMetaInfoPanel() {
    TableListPanel = panel(MetaInfoPanel, "TableListPanel");
    TableListPanel->setFixedHeight(115);
    TableList = place<QListWidget>(TableListPanel, "TableList", 0, 0, 159, 87);
    AddTableButton = place<QPushButton>(TableListPanel, "AddTableButton", 2, 90, 156, 22);
    AddTableButton->setText(tr("Add T&able to SQL"));
    AddTableButton->setAutoDefault(false);
    TableFieldsSplitter = new TSplitter(Qt::Vertical, TableListPanel, MetaInfoPanel);
    TableFieldsSplitter->setObjectName("TableFieldsSplitter");
    FieldsPanel = panel(MetaInfoPanel, "FieldsPanel");
    FieldList = place<QListWidget>(FieldsPanel, "FieldList", 0, 19, 159, 106);
    FieldList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FieldListLabel = label(FieldsPanel, "FieldListLabel", tr("&Fields:"), 3, 3, FieldList);
    AddFieldButton = place<QPushButton>(FieldsPanel, "AddFieldButton", 2, 128, 156, 22);
    AddFieldButton->setText(tr("Add F&ield to SQL"));
    AddFieldButton->setAutoDefault(false);
    // The lists stretch with their panels, the buttons keep to the panels' bottoms.
    TableListPanel->installEventFilter(this);
    FieldsPanel->installEventFilter(this);

    auto* strip = new QVBoxLayout(MetaInfoPanel);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setSpacing(0);
    strip->addWidget(TableListPanel);
    strip->addWidget(TableFieldsSplitter);
    strip->addWidget(FieldsPanel, 1);
}

void TSQLEditForm::buildButtonPanel() {
    OkButton = placeButton(ButtonPanel, "OkButton", tr("OK"), 269, 5);
    OkButton->setDefault(true);
    CancelButton = placeButton(ButtonPanel, "CancelButton", tr("Cancel"), 354, 5);
    HelpButton = placeButton(ButtonPanel, "HelpButton", tr("&Help"), 439, 5);
    Image1 = new QLabel(ButtonPanel);
    Image1->setObjectName("Image1");
    Image1->setPixmap(insertMarkPicture());
    Image1->hide();
    ButtonPanel->installEventFilter(this); // the buttons keep to the bottom right
}

bool TSQLEditForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize) {
        const QSize size = static_cast<QWidget*>(watched)->size();
        if (watched == TableListPanel) {
            TableList->resize(size.width(), size.height() - 28);
            AddTableButton->move(2, size.height() - 25);
        } else if (watched == FieldsPanel) {
            FieldList->resize(size.width(), size.height() - 45);
            AddFieldButton->move(2, size.height() - 23);
        } else if (watched == ButtonPanel) {
            OkButton->move(size.width() - 255, 5);
            CancelButton->move(size.width() - 170, 5);
            HelpButton->move(size.width() - 85, 5);
        }
    } else if (watched == SQLMemo && (type == QEvent::FocusIn || type == QEvent::FocusOut)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (type == QEvent::FocusIn) {
            InsertMark->hide(); // the box repaints without the mark when entered
            SQLMemo->repaint();
        } else if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            DrawInsertMark(); // the mark shows where the next name goes
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSQLEditForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
    FormShow();
}

void TSQLEditForm::FormShow() {
    // FillTableList keeps the table list sorted.
    HelpContext = 27271;
    LineHeight = SQLMemo->fontMetrics().height();
    FillTableList();
}

void TSQLEditForm::FillTableList() {
    std::vector<std::string> names = entries(TableList);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A listing that fails keeps what it found so far; the hourglass goes in any case.
    try {
        if (tableLister)
            tableLister(names, false);
    } catch (...) {
    }
    QApplication::restoreOverrideCursor();
    sortNames(names);
    setEntries(TableList, names);
    if (TableList->count() > 0 && TableList->selectedItems().isEmpty()) {
        {
            QSignalBlocker block(TableList);
            TableList->setCurrentRow(0);
        }
        FillFieldList();
    }
}

void TSQLEditForm::FillFieldList() {
    const QList<QListWidgetItem*> tables = TableList->selectedItems();
    if (tables.isEmpty() || !fieldLister)
        return;
    std::vector<std::string> names = entries(FieldList);
    // A listing that fails keeps what it found so far, without the "*".
    bool listed = false;
    try {
        fieldLister(tables.first()->text().toStdString(), names);
        listed = true;
    } catch (...) {
    }
    setEntries(FieldList, names);
    if (listed)
        FieldList->insertItem(0, "*");
}

void TSQLEditForm::InsertAtCaret(const QString& text, bool comma) {
    const QString all = SQLMemo->toPlainText();
    QTextCursor cursor = SQLMemo->textCursor();
    const int caret = cursor.selectionStart();
    QString inserted = text;
    if (!all.isEmpty() && caret > 0 && all[caret - 1] != ' ' && all[caret - 1] != '(' &&
        !text.startsWith(' '))
        inserted.prepend(comma && all[caret - 1] != ',' ? ", " : " ");
    // Inserted before a selection, which stays in the text.
    cursor.setPosition(caret);
    cursor.insertText(inserted);
    SQLMemo->setTextCursor(cursor);
    SQLMemo->repaint();
    DrawInsertMark();
}

void TSQLEditForm::AddTableButtonClick() {
    const QList<QListWidgetItem*> tables = TableList->selectedItems();
    if (tables.isEmpty())
        return;
    const QString table = tables.first()->text();
    const QString text = SQLMemo->toPlainText();
    if (!text.isEmpty() && text.left(6) != QLatin1String("select"))
        InsertAtCaret(table, false);
    else
        InsertAtCaret(QString(" %1 %2").arg("from", table), false);
    if (text.isEmpty()) {
        // Start the statement, with the caret where its fields go.
        QTextCursor cursor = SQLMemo->textCursor();
        cursor.setPosition(0);
        SQLMemo->setTextCursor(cursor);
        SQLMemo->repaint();
        InsertAtCaret("select ", false);
    }
}

void TSQLEditForm::AddFieldButtonClick() {
    QStringList fields;
    for (int i = 0; i < FieldList->count(); ++i)
        if (FieldList->item(i)->isSelected())
            fields << FieldList->item(i)->text();
    if (fields.isEmpty())
        return;
    if (SQLMemo->toPlainText().isEmpty()) {
        SQLMemo->setPlainText("select");
        SQLMemo->moveCursor(QTextCursor::End);
    }
    for (const QString& field : fields)
        InsertAtCaret(field, SQLMemo->toPlainText() != QLatin1String("select") &&
                                 field != QLatin1String("*"));
}

// The caret's line counted from the first line of the text (wrapped lines count), that
// line's text and the number of characters before the caret in it.
void TSQLEditForm::caretLineAndColumn(int& line, QString& lineText, int& column) const {
    const QTextCursor cursor = SQLMemo->textCursor();
    const QTextBlock caretBlock = cursor.block();
    QAbstractTextDocumentLayout* layout = SQLMemo->document()->documentLayout();
    line = 0;
    for (QTextBlock b = SQLMemo->document()->begin(); b.isValid() && b != caretBlock;
         b = b.next()) {
        layout->blockBoundingRect(b); // lays the block out
        line += std::max(1, b.layout()->lineCount());
    }
    layout->blockBoundingRect(caretBlock);
    lineText = caretBlock.text();
    column = cursor.position() - caretBlock.position();
    const QTextLine textLine = caretBlock.layout()->lineForTextPosition(column);
    if (textLine.isValid()) {
        line += textLine.lineNumber();
        lineText = lineText.mid(textLine.textStart(), textLine.textLength());
        column -= textLine.textStart();
    }
}

void TSQLEditForm::DrawInsertMark() {
    int line = 0, column = 0;
    QString lineText;
    caretLineAndColumn(line, lineText, column);
    // Placed from the first line of the text, however far the box is scrolled.
    const int x = SQLMemo->fontMetrics().horizontalAdvance(lineText.left(column)) - 3;
    const int y = (line + 1) * LineHeight;
    InsertMark->move(x, y);
    InsertMark->show();
    InsertMark->raise();
}

void TSQLEditForm::HelpButtonClick() {
    showSqlEditorHelp(this);
}

bool ExecuteSQLEditor(QString& sql, TableLister tableLister, FieldLister fieldLister) {
    TSQLEditForm editor;
    editor.tableLister = std::move(tableLister);
    editor.fieldLister = std::move(fieldLister);
    editor.SQLMemo->setPlainText(sql);
    if (editor.exec() != QDialog::Accepted)
        return false;
    sql = editor.SQLMemo->toPlainText();
    return true;
}

} // namespace rg
