// Drop reception and the icon's hand-off to the job windows.
#include "shell/DropReception.h"
#include "support/Drops.h"
#include "support/FakeDesktop.h"
#include "support/FreezeDriver.h"
#include "support/IconDriver.h"
#include "support/MeltDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

class DropsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { StartFreshProgram(); }
    void cleanup() { ResetProgram(); }

    void aDropOnTheIconIsRecordedAndHandedOnAtTheNextTick()
    {
        IconDriver icon;
        icon.holdTicks(true);  // to look at the state between drop and hand-off
        QVERIFY(icon.drop({"/d/1.txt", "/d/2.txt", "/d/3.txt"}));
        QCOMPARE(session().DroppedCount, qint16(3));
        QCOMPARE(session().DroppedFiles.mid(0, 3), (QStringList{"/d/1.txt", "/d/2.txt", "/d/3.txt"}));
        QCOMPARE(session().IconDropPending, kSet);
        QVERIFY(!ExistingFreezeWindow());

        icon.holdTicks(false);
        QTRY_VERIFY(ExistingFreezeWindow() && ExistingFreezeWindow()->isVisible());
        QCOMPARE(session().IconDropPending, kClear);
        QVERIFY(!IsDropHooked(IconWindow()));
        QVERIFY(IsDropHooked(ExistingFreezeWindow()));
        QVERIFY(FreezeDriver().canFreeze());
        QCOMPARE(FreezeDriver().pending(), QString("1.txt ほか 2 個"));
        QVERIFY(!ExistingMeltWindow());
    }

    // Archives of any kind go to the extraction window as a quoted list, one alone bare; one
    // name that is no archive sends the whole drop to compression.
    void theNamesDecideTheWindow_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("field");  // empty: the compression window
        QTest::newRow("two archives") << QStringList{"/d/a.LZH", "/d/b.Zip"} << "\"/d/a.LZH\" \"/d/b.Zip\"";
        QTest::newRow("one archive") << QStringList{"/d/a b.lzh"} << "/d/a b.lzh";
        QTest::newRow("archive and text") << QStringList{"/d/a.lzh", "/d/notes.txt"} << "";
        QTest::newRow("tar.gz") << QStringList{"/d/archive.tar.gz"} << "/d/archive.tar.gz";
        QTest::newRow("every kind, a set's volumes too")
            << QStringList{"/d/a.7z", "/d/s.part2.rar", "/d/s.part1.rar", "/d/b.zip"}
            << "\"/d/a.7z\" \"/d/s.part2.rar\" \"/d/s.part1.rar\" \"/d/b.zip\"";
        QTest::newRow("archives and text") << QStringList{"/d/a.iso", "/d/b.tar.xz", "/d/notes.txt"} << "";
        QTest::newRow("lzh.bak") << QStringList{"/d/x.lzh.bak"} << "";
    }
    void theNamesDecideTheWindow()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, field);
        QVERIFY(IconDriver().drop(names));
        QTRY_VERIFY(ExistingMeltWindow() || ExistingFreezeWindow());
        QCOMPARE(ExistingMeltWindow() != nullptr, !field.isEmpty());
        if (!field.isEmpty())
            QCOMPARE(MeltDriver().archive(), field);
    }

    void twoDropsWithinOneTickOpenOneWindowForTheSecond()
    {
        IconDriver icon;
        icon.holdTicks(true);
        QVERIFY(icon.drop({"/d/1.txt", "/d/2.txt", "/d/3.txt"}));
        QVERIFY(icon.drop({"/d/only.zip"}));
        QCOMPARE(session().DroppedCount, qint16(1));
        icon.holdTicks(false);
        QTRY_VERIFY(ExistingMeltWindow());
        QCOMPARE(MeltDriver().archive(), QString("/d/only.zip"));
        QTest::qWait(250);
        QVERIFY(!ExistingFreezeWindow());
    }

    // While a job window is up the icon refuses the drag, and shows it; closing the window
    // gives the icon its drops back.
    void theIconRefusesDragsWhileAJobWindowIsUp()
    {
        ScopedFakeDesktop scoped;
        IconDriver icon;
        QVERIFY(icon.drop({"/d/a.txt"}));
        QTRY_VERIFY(ExistingFreezeWindow());
        QVERIFY(!icon.drop({"/d/b.zip"}));
        QCOMPARE(session().DroppedFiles[0], QString("/d/a.txt"));
        QCOMPARE(session().IconDropPending, kClear);
        QVERIFY(scoped.fake.messages.isEmpty());

        FreezeDriver().closeFromTitleBar();
        QVERIFY(IsDropHooked(IconWindow()));
        QVERIFY(icon.drop({"/d/c.zip"}));
        QCOMPARE(session().IconDropPending, kSet);
    }

    void longNamesArriveWhole()
    {
        const QString deep = "/d/" + QString(60, u'表') + "/" + QString(40, u'ソ') + ".txt";
        QVERIFY(deep.toUtf8().size() > 127);
        QVERIFY(IconDriver().drop({deep}));
        QCOMPARE(session().DroppedFiles[0], deep);
    }

    void dropsOnAChildControlReachTheWindow()
    {
        QVERIFY(IconDriver().drop({"/d/x.zip"}));
        QTRY_VERIFY(ExistingMeltWindow());
        MeltDriver melt;
        // The archive field is a text box: it must not take the file drop as text.
        QVERIFY(DropFiles(melt.control("Text1"), {"/e/1.lzh", "/e/notes.txt"}));
        QCOMPARE(melt.archive(), QString("\"/e/1.lzh\" \"/e/notes.txt\""));
        QCOMPARE(session().DroppedCount, qint16(2));
        QVERIFY(DropFiles(melt.control("Check3"), {"/e/2.zip"}));
        QCOMPARE(melt.archive(), QString("/e/2.zip"));
        QCOMPARE(session().DroppedCount, qint16(1));
        QCOMPARE(session().IconDropPending, kClear);
    }

    void hookingTwiceThenUnhookingOnceLeavesTheWindowPlain()
    {
        QWidget window;
        AcceptFileDrops(&window);
        QStringList seen;
        HookDropWindow(&window, [&](const QStringList& names) { seen << names; });
        HookDropWindow(&window, [&](const QStringList&) { seen << "second step"; });
        QVERIFY(DropFiles(&window, {"/d/a.zip"}));
        QCOMPARE(seen, QStringList{"/d/a.zip"});
        UnhookDropWindow(&window);
        QVERIFY(!IsDropHooked(&window));
        QVERIFY(!DropFiles(&window, {"/d/b.zip"}));  // refused, and nothing recorded
        UnhookDropWindow(&window);                   // nothing to remove: nothing changes
        UnhookDropWindow(nullptr);
        QCOMPARE(seen, QStringList{"/d/a.zip"});
    }
};

TEMBREL_TEST_MAIN(DropsTest)
#include "tst_drops.moc"
