// The icon's popup menu: opening the job windows without a drop, the version box, and exit.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "shell/DropReception.h"
#include "shell/Startup.h"
#include "shell/iconform.h"
#include "support/Drops.h"
#include "support/FakeDesktop.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

menuform* openedMenu()
{
    PopupIconMenu(IconWindow()->mapToGlobal(QPoint(30, 40)));
    ExistingMenuForm()->omenu->close();
    return ExistingMenuForm();
}

}  // namespace

class MenuTest : public QObject {
    Q_OBJECT

private slots:
    void init() { StartFreshProgram(); }
    void cleanup() { ResetProgram(); }

    void itemsInOrder()
    {
        QStringList captions;
        for (QAction* action : openedMenu()->omenu->actions())
            captions << (action->isSeparator() ? "-" : action->text());
        QCOMPARE(captions,
                 (QStringList{"解凍(&M)", "圧縮(&F)", "-", "設定(&O)", "-", "ﾊﾞｰｼﾞｮﾝ情報(&A)", "-", "終了(&X)"}));
    }

    void meltWithoutAnyDropOpensAnEmptyField()
    {
        openedMenu()->mmelt->trigger();
        QVERIFY(ExistingMeltWindow()->isVisible());
        QCOMPARE(ExistingMeltWindow()->Text1->text(), QString());
        QVERIFY(!IsDropHooked(IconWindow()));
        QVERIFY(IsDropHooked(ExistingMeltWindow()));
    }

    void meltAfterOneDropShowsThatName()
    {
        QVERIFY(DropFiles(IconWindow(), {"/d/notes.txt"}, QPoint(30, 40)));
        QTRY_VERIFY(ExistingFreezeWindow());
        ExistingFreezeWindow()->close();
        openedMenu()->mmelt->trigger();
        QCOMPARE(ExistingMeltWindow()->Text1->text(), QString("/d/notes.txt"));
    }

    void meltAfterThreeDropsLeavesAFreshFieldEmpty()
    {
        QVERIFY(DropFiles(IconWindow(), {"/d/1.zip", "/d/2.zip", "/d/3.zip"}, QPoint(30, 40)));
        QTRY_VERIFY(ExistingMeltWindow());
        ExistingMeltWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        openedMenu()->mmelt->trigger();
        QCOMPARE(ExistingMeltWindow()->Text1->text(), QString());
    }

    void freezeOpensWithoutTouchingTheDrop()
    {
        openedMenu()->mfreeze->trigger();
        QVERIFY(ExistingFreezeWindow()->isVisible());
        QVERIFY(!ExistingFreezeWindow()->freezebutton->isEnabled());
        QCOMPARE(session().DroppedCount, qint16(0));
    }

    void versionBox()
    {
        ScopedFakeDesktop scoped;
        openedMenu()->mabout->trigger();
        QCOMPARE(scoped.fake.messages.size(), 1);
        QCOMPARE(scoped.fake.messages[0].text, QString("Tembrel Ver.2.00"));
        QCOMPARE(scoped.fake.messages[0].title, QString("ﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(VersionText(1, 2, 3), QString("Tembrel Ver.1.23"));
        QCOMPARE(VersionText(10, 0, 12), QString("Tembrel Ver.10.012"));
    }

    void endSavesThePlaceForTheNextStart()
    {
        IconWindow()->move(40, 20);
        openedMenu()->mmelt->trigger();
        ExistingMenuForm()->mend->trigger();
        QVERIFY(!IconWindow());
        QCOMPARE(StoredText("iconleft"), QString("600"));
        QCOMPARE(StoredText("icontop"), QString("300"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!ExistingMeltWindow());
        StartProgram({});
        QCOMPARE(IconWindow()->pos(), QPoint(40, 20));
    }
};

TEMBREL_TEST_MAIN(MenuTest)
#include "tst_menu.moc"
