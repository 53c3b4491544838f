// The icon's popup menu: opening the job windows without a drop, the version box, and exit.
#include <QMenuBar>
#include <QSet>

#include "shell/DropReception.h"
#include "shell/Startup.h"
#include "support/FakeDesktop.h"
#include "support/FreezeDriver.h"
#include "support/IconDriver.h"
#include "support/MeltDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

class MenuTest : public QObject {
    Q_OBJECT

private slots:
    void init() { StartFreshProgram(); }
    void cleanup() { ResetProgram(); }

    void itemsInOrder()
    {
        QCOMPARE(IconDriver().menuItems(),
                 (QStringList{"解凍(&M)", "圧縮(&F)", "-", "設定(&O)", "-", "ﾊﾞｰｼﾞｮﾝ情報(&A)", "-", "終了(&X)"}));
    }

    void meltWithoutAnyDropOpensAnEmptyField()
    {
        IconDriver().chooseFromMenu("mmelt");
        QVERIFY(MeltDriver().isVisible());
        QCOMPARE(MeltDriver().archive(), QString());
        QVERIFY(!IsDropHooked(IconWindow()));
        QVERIFY(IsDropHooked(ExistingMeltWindow()));
    }

    void meltAfterOneDropShowsThatName()
    {
        QVERIFY(IconDriver().drop({"/d/notes.txt"}));
        QTRY_VERIFY(ExistingFreezeWindow());
        FreezeDriver().closeFromTitleBar();
        IconDriver().chooseFromMenu("mmelt");
        QCOMPARE(MeltDriver().archive(), QString("/d/notes.txt"));
    }

    void meltAfterThreeDropsLeavesAFreshFieldEmpty()
    {
        QVERIFY(IconDriver().drop({"/d/1.zip", "/d/2.zip", "/d/3.zip"}));
        QTRY_VERIFY(ExistingMeltWindow());
        MeltDriver().closeFromTitleBar();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        IconDriver().chooseFromMenu("mmelt");
        QCOMPARE(MeltDriver().archive(), QString());
    }

    void freezeOpensWithoutTouchingTheDrop()
    {
        IconDriver().chooseFromMenu("mfreeze");
        QVERIFY(FreezeDriver().isVisible());
        QVERIFY(!FreezeDriver().canFreeze());
        QCOMPARE(session().DroppedCount, qint16(0));
    }

    void versionBox()
    {
        ScopedFakeDesktop scoped;
        IconDriver().chooseFromMenu("mabout");
        QCOMPARE(scoped.fake.messages.size(), 1);
        QCOMPARE(scoped.fake.messages[0].text, QString("Tembrel Ver.2.00"));
        QCOMPARE(scoped.fake.messages[0].title, QString("ﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(VersionText(1, 2, 3), QString("Tembrel Ver.1.23"));
        QCOMPARE(VersionText(10, 0, 12), QString("Tembrel Ver.10.012"));
    }

    void endSavesThePlaceForTheNextStart()
    {
        IconWindow()->move(40, 20);
        IconDriver().chooseFromMenu("mmelt");
        IconDriver().chooseFromMenu("mend");
        QVERIFY(!IconWindow());
        QCOMPARE(StoredText("iconleft"), QString("600"));
        QCOMPARE(StoredText("icontop"), QString("300"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!ExistingMeltWindow());
        StartProgram({});
        QCOMPARE(IconWindow()->pos(), QPoint(40, 20));
    }

    // No two items of one menu, and no two items of one window's menu bar, share a mnemonic.
    void mnemonicsNeverCollide()
    {
        IconDriver().chooseFromMenu("mmelt");
        QList<QList<QAction*>> groups{ExistingMenuForm()->findChild<QMenu*>("omenu")->actions()};
        MeltDriver().pressSwitch();
        for (QWidget* window : {static_cast<QWidget*>(ExistingFreezeWindow())}) {
            groups << window->findChild<QMenuBar*>()->actions() << window->findChild<QMenu*>("mfile")->actions();
        }
        MeltDriver melt = MeltDriver::open();
        groups << melt.control<QMenuBar>("")->actions() << melt.control<QMenu>("mfile")->actions();
        for (const QList<QAction*>& group : groups) {
            QStringList keys;
            for (QAction* action : group) {
                const QString text = action->text();
                const qsizetype at = text.indexOf('&');
                if (at >= 0 && at + 1 < text.size())
                    keys << text.mid(at + 1, 1).toUpper();
            }
            QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
        }
    }
};

TEMBREL_TEST_MAIN(MenuTest)
#include "tst_menu.moc"
