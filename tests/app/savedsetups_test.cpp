#include "app/commandguard.h"
#include "app/navbar.h"
#include "app/quorvel.h"
#include "app/savedsetups.h"
#include "qtapp.h"

#include <QEvent>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

namespace {

QStringList captions(const Tfrmquorvel& w) {
    QStringList list;
    for (int i = 0; i < w.nvbar->ItemCount(); ++i)
        list << w.nvbar->Item(i)->Caption();
    return list;
}

} // namespace

TEST(SavedSetups, ListedFromTheSetupFolder) {
    qtApp();
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    for (const char* name : {"b.ini", "a.ini", ".ini", ".h.ini", "B.ini", "报表.ini", "c.txt",
                             "d.INI", "e.ini.bak"})
        touch(folder + QString::fromUtf8(name));
    QDir(folder).mkdir("x.ini");
    QDir(folder).mkdir("folder");

    // Byte order: upper case before lower case, multi-byte UTF-8 after ASCII.
    const QStringList expected{"B", "a", "b", "x", "报表"};
    EXPECT_EQ(savedSetupCaptions(folder), expected);

    Tfrmquorvel w(nullptr, folder);
    EXPECT_EQ(captions(w), expected);
    EXPECT_EQ(w.nvbar->Group()->LinkCount(), 5);
    EXPECT_EQ(w.nvbar->Group()->Link(4), w.nvbar->Item(4));

    // The list shows the folder as it was; a rebuild picks up changes without duplicates.
    touch(folder + "c.ini");
    EXPECT_EQ(captions(w), expected);
    QPointer<TdxNavBarItem> old = w.nvbar->Item(0);
    w.ClearSavedSetups();
    EXPECT_EQ(w.nvbar->ItemCount(), 0);
    EXPECT_EQ(w.nvbar->Group()->LinkCount(), 0);
    EXPECT_TRUE(old.isNull());
    w.ListSavedSetups();
    w.ClearSavedSetups();
    w.ListSavedSetups();
    EXPECT_EQ(captions(w), QStringList({"B", "a", "b", "c", "x", "报表"}));
    EXPECT_EQ(w.nvbar->Group()->LinkCount(), 6);

    // A missing folder gives an empty list.
    EXPECT_TRUE(savedSetupCaptions(folder + "missing/").isEmpty());
    Tfrmquorvel empty(nullptr, folder + "missing/");
    EXPECT_EQ(empty.nvbar->ItemCount(), 0);
    EXPECT_EQ(Tfrmquorvel::defaultSetupFolder(), QCoreApplication::applicationDirPath() + "/setup/");
}

TEST(SavedSetups, ItemsLookAndClick) {
    qtApp();
    QTemporaryDir dir;
    touch(dir.path() + "/a.ini");
    Tfrmquorvel w(nullptr, dir.path() + "/");
    w.show();
    auto link = qobject_cast<QLabel*>(w.nvbar->Item(0)->linkWidget());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->text(), "a");
    EXPECT_TRUE(link->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(w.nvbar->palette().color(QPalette::Window),
              w.palette().color(QPalette::Highlight));
    EXPECT_TRUE(w.nvbar->findChild<QWidget*>("nvbarGroupCaption")->font().bold());

    // Underlined under the pointer only.
    EXPECT_FALSE(link->font().underline());
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(link, &enter);
    EXPECT_TRUE(link->font().underline());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_FALSE(link->font().underline());

    TdxNavBarItem* clicked = nullptr;
    QObject::connect(w.nvbar->Item(0), &TdxNavBarItem::clicked,
                     [&](TdxNavBarItem* item) { clicked = item; });
    // The click loads a.ini; being empty, its open fails and the error box gets the message.
    QStringList shown;
    ErrorSink previous = setErrorSink([&](const QString& m) { shown << m; });
    QTest::mouseClick(link, Qt::LeftButton);
    setErrorSink(previous);
    EXPECT_EQ(clicked, w.nvbar->Item(0));
    EXPECT_EQ(shown.size(), 1);
}
