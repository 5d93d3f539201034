#include "app/ui/about.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

namespace rg {

TOKHelpBottomDlg::TOKHelpBottomDlg(QWidget* parent) : TOKBottomDlg(parent) {
    setObjectName(QStringLiteral("OKHelpBottomDlg"));
    setWindowTitle(tr("关于"));
    Bevel1->setGeometry(8, 8, 297, 169);
    OKBtn->move(110, 180);
    OKBtn->setText(tr("关闭"));
    CancelBtn->hide();

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(16, 16, 281, 153);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette pal = Memo1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button)); // the scroll-bar colour
    Memo1->setPalette(pal);
    Memo1->setPlainText(QStringList{
        tr("              请大家多提意见！！！！"),
        QString(),
        QString(),
        tr("作者：报表生成器开发组"),
        QString(),
        QStringLiteral("E-mail：reportgen@example.org"),
        QString(),
        QStringLiteral("QQ：10000"),
        QString(),
        QString(),
        QString(),
    }
                            .join(QLatin1Char('\n')));
}

} // namespace rg
