#include "app/ui/okcancl1.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace rg {

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OKBottomDlg"));
    setWindowTitle(tr("Dialog"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(313, 214);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 297, 161);

    OKBtn = new QPushButton(tr("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(79, 180, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(tr("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(159, 180, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TOKBottomDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (CancelBtn->isVisibleTo(this) && CancelBtn->isEnabled())
            CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TOKBottomDlg::showEvent(QShowEvent* event) {
    if (!parentWidget() && screen())
        move(screen()->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace rg
