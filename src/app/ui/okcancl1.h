#pragma once

#include <QDialog>

class QFrame;
class QPushButton;

namespace rg {

// The generic dialog with a framed bevel and OK / Cancel at the bottom.
class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* parent = nullptr);

    QFrame* Bevel1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    // Escape presses the cancel button, and does nothing while that button is hidden.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

} // namespace rg
