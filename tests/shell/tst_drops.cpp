// Drop reception and the icon's hand-off to the job windows.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "shell/DropReception.h"
#include "shell/Startup.h"
#include "shell/iconform.h"
#include "support/Drops.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

// A point on an opaque pixel of the icon, where the shape takes drops.
const QPoint kOnIcon(30, 40);

}  // namespace

class DropsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { StartFreshProgram(); }
    void cleanup() { ResetProgram(); }

    void aDropOnTheIconIsRecordedAndHandedOnAtTheNextTick()
    {
        iconform* icon = IconWindow();
        icon->Timer2->stop();  // hold the tick to look at the state between drop and hand-off
        QVERIFY(DropFiles(icon, {"/d/1.txt", "/d/2.txt", "/d/3.txt"}, kOnIcon));
        QCOMPARE(session().DroppedCount, qint16(3));
        QCOMPARE(session().DroppedFiles.mid(0, 3), (QStringList{"/d/1.txt", "/d/2.txt", "/d/3.txt"}));
        QCOMPARE(session().IconDropPending, kSet);
        QVERIFY(!ExistingFreezeWindow());

        icon->Timer2->start();
        QTRY_VERIFY(ExistingFreezeWindow() && ExistingFreezeWindow()->isVisible());
        QCOMPARE(session().IconDropPending, kClear);
        QVERIFY(!IsDropHooked(icon));
        QVERIFY(IsDropHooked(ExistingFreezeWindow()));
        QVERIFY(ExistingFreezeWindow()->freezebutton->isEnabled());
        QVERIFY(!ExistingMeltWindow());
    }

    void archivesGoToTheExtractionWindowAsAQuotedList()
    {
        QVERIFY(DropFiles(IconWindow(), {"/d/a.LZH", "/d/b.Zip"}, kOnIcon));
        QTRY_VERIFY(ExistingMeltWindow());
        QCOMPARE(ExistingMeltWindow()->Text1->text(), QString("\"/d/a.LZH\" \"/d/b.Zip\""));
        QVERIFY(!ExistingFreezeWindow());
    }

    void oneArchiveStandsBare()
    {
        QVERIFY(DropFiles(IconWindow(), {"/d/a b.lzh"}, kOnIcon));
        QTRY_VERIFY(ExistingMeltWindow());
        QCOMPARE(ExistingMeltWindow()->Text1->text(), QString("/d/a b.lzh"));
    }

    void oneOtherNameSendsTheWholeDropToCompression_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("archive and text") << QStringList{"/d/a.lzh", "/d/notes.txt"};
        QTest::newRow("tar.gz") << QStringList{"/d/archive.tar.gz"};
        QTest::newRow("lzh.bak") << QStringList{"/d/x.lzh.bak"};
    }
    void oneOtherNameSendsTheWholeDropToCompression()
    {
        QFETCH(QStringList, names);
        QVERIFY(DropFiles(IconWindow(), names, kOnIcon));
        QTRY_VERIFY(ExistingFreezeWindow());
        QVERIFY(!ExistingMeltWindow());
    }

    void twoDropsWithinOneTickOpenOneWindowForTheSecond()
    {
        IconWindow()->Timer2->stop();
        QVERIFY(DropFiles(IconWindow(), {"/d/1.txt", "/d/2.txt", "/d/3.txt"}, kOnIcon));
        QVERIFY(DropFiles(IconWindow(), {"/d/only.zip"}, kOnIcon));
        QCOMPARE(session().DroppedCount, qint16(1));
        IconWindow()->Timer2->start();
        QTRY_VERIFY(ExistingMeltWindow());
        QCOMPARE(ExistingMeltWindow()->Text1->text(), QString("/d/only.zip"));
        QTest::qWait(250);
        QVERIFY(!ExistingFreezeWindow());
    }

    void dropsOnTheIconWhileAJobWindowIsUpHaveNoEffect()
    {
        QVERIFY(DropFiles(IconWindow(), {"/d/a.txt"}, kOnIcon));
        QTRY_VERIFY(ExistingFreezeWindow());
        QVERIFY(DropFiles(IconWindow(), {"/d/b.zip"}, kOnIcon));  // still accepted by the window
        QCOMPARE(session().DroppedFiles[0], QString("/d/a.txt"));
        QCOMPARE(session().IconDropPending, kClear);

        // Closing the job window gives the icon its drop reception back.
        ExistingFreezeWindow()->close();
        QVERIFY(IsDropHooked(IconWindow()));
        QVERIFY(DropFiles(IconWindow(), {"/d/c.zip"}, kOnIcon));
        QCOMPARE(session().IconDropPending, kSet);
    }

    void longNamesArriveWhole()
    {
        const QString deep = "/d/" + QString(60, u'表') + "/" + QString(40, u'ソ') + ".txt";
        QVERIFY(deep.toUtf8().size() > 127);
        QVERIFY(DropFiles(IconWindow(), {deep}, kOnIcon));
        QCOMPARE(session().DroppedFiles[0], deep);
    }

    void dropsOnAChildControlReachTheWindow()
    {
        QVERIFY(DropFiles(IconWindow(), {"/d/x.zip"}, kOnIcon));
        QTRY_VERIFY(ExistingMeltWindow());
        meltform* melt = ExistingMeltWindow();
        // The archive field is a text box: it must not take the file drop as text.
        QVERIFY(DropFiles(melt->Text1, {"/e/1.lzh", "/e/notes.txt"}));
        QCOMPARE(melt->Text1->text(), QString("\"/e/1.lzh\" \"/e/notes.txt\""));
        QCOMPARE(session().DroppedCount, qint16(2));
        QVERIFY(DropFiles(melt->Check3, {"/e/2.zip"}));
        QCOMPARE(melt->Text1->text(), QString("/e/2.zip"));
        QCOMPARE(session().DroppedCount, qint16(1));
        QCOMPARE(session().IconDropPending, kClear);
    }

    void hookingTwiceThenUnhookingOnceLeavesTheWindowPlain()
    {
        iconform* icon = IconWindow();
        HookDropWindow(icon);
        HookDropWindow(icon);
        QVERIFY(IsDropHooked(icon));
        UnhookDropWindow(icon);
        QVERIFY(!IsDropHooked(icon));
        QVERIFY(DropFiles(icon, {"/d/a.zip"}, kOnIcon));  // the window still takes drags
        QCOMPARE(session().IconDropPending, kClear);
        UnhookDropWindow(icon);  // nothing to remove: nothing changes
        QVERIFY(!IsDropHooked(icon));
        HookDropWindow(icon);
        QVERIFY(DropFiles(icon, {"/d/a.zip"}, kOnIcon));
        QCOMPARE(session().IconDropPending, kSet);
    }

    void otherWindowsAreNotHooked()
    {
        QWidget stranger;
        HookDropWindow(&stranger);
        QVERIFY(!IsDropHooked(&stranger));
        UnhookDropWindow(nullptr);
    }
};

TEMBREL_TEST_MAIN(DropsTest)
#include "tst_drops.moc"
