// Start-up: the first-run association, the saved place and band, and the command-line path.
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "shell/DropReception.h"
#include "shell/Startup.h"
#include "shell/iconform.h"
#include "support/MeltDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/applications/pellum-file.desktop";
}

QString touch(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    return path;
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ResetProgram();
        ClearStore();
        QFile::remove(entryPath());
    }
    void cleanup() { ResetProgram(); }

    void firstStartAssociatesOnceAndPlacesTheIconTopLeft()
    {
        StartProgram({});
        QVERIFY(QFile::exists(entryPath()));
        QCOMPARE(StoredText("flg_First"), QString("True"));
        QVERIFY(IconWindow()->isVisible());
        QCOMPARE(IconWindow()->pos(), QPoint(0, 0));
        QVERIFY(IsDropHooked(IconWindow()));

        ResetProgram();
        QFile::remove(entryPath());
        StartProgram({});
        QVERIFY2(!QFile::exists(entryPath()), "the second start must not associate again");
    }

    void theIconStandsAtItsSavedPlace()
    {
        WriteRaw("iconleft", "1500");
        WriteRaw("icontop", "750");
        StartProgram({});
        QCOMPARE(IconWindow()->pos(), QPoint(100, 50));
        QVERIFY(!IconWindow()->mask().contains(QPoint(0, 0)));
        QVERIFY(IconWindow()->mask().contains(QPoint(30, 40)));
    }

    void closingTheIconEndsTheProgram()
    {
        WriteRaw("iconleft", "1500");
        StartProgram({});
        QWidget* icon = IconWindow();
        QVERIFY(icon);
        icon->close();
        QVERIFY(!IconWindow());
        // Only 終了 saves the place; any other end keeps the saved one.
        QCOMPARE(StoredText("iconleft"), QString("1500"));
    }

    void theStackingBandFollowsTheOption()
    {
        WriteRaw("Check1", "1");
        StartProgram({});
        QVERIFY(IconWindow()->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(IconWindow()->windowFlags() & Qt::WindowStaysOnBottomHint));
        ResetProgram();
        WriteRaw("Check1", "0");
        StartProgram({});
        QVERIFY(IconWindow()->windowFlags() & Qt::WindowStaysOnBottomHint);
        QVERIFY(!(IconWindow()->windowFlags() & Qt::WindowStaysOnTopHint));
    }

    void namesOnTheCommandLineOpenOnlyTheExtractionWindow()
    {
        QTemporaryDir dir;
        const QString archive = touch(dir.path() + "/My Files 表.lzh");
        StartProgram({archive});
        QVERIFY(!IconWindow()->isVisible());
        QCOMPARE(session().StartedWithFiles, kSet);
        MeltDriver melt;
        QVERIFY(melt.isVisible());
        QCOMPARE(melt.archive(), archive);
        QVERIFY(!melt.isEnabled("Check3"));
        QVERIFY(!melt.isEnabled("tomelt"));
        QVERIFY(!melt.canChoose("mfreeze"));
        QVERIFY(IsDropHooked(melt.window()));
        QVERIFY(!IsDropHooked(IconWindow()));
        QCOMPARE(session().DroppedCount, qint16(1));
        QCOMPARE(session().DroppedFiles.size(), 2);

        // Closing that window, from its title bar too, ends the program.
        melt.closeFromTitleBar();
        QVERIFY(!IconWindow());
    }

    void commandLineNamesBecomeLongPaths()
    {
        QTemporaryDir dir;
        const QString text = touch(dir.path() + "/notes.txt");
        StartProgram({dir.path() + "/./notes.txt", dir.path() + "/missing.zip"});
        QCOMPARE(MeltDriver().archive(), "\"" + text + "\" \"\"");
        QCOMPARE(session().DroppedFiles[0], text);
        QCOMPARE(session().DroppedFiles[1], QString());
    }

    void aMissingFileAloneLeavesTheFieldEmpty()
    {
        StartProgram({"/nonexistent/a.lzh"});
        QCOMPARE(MeltDriver().archive(), QString());
    }

    void onlyTheFirstTenNamesCount()
    {
        QTemporaryDir dir;
        QStringList names;
        for (int i = 0; i < 12; ++i)
            names << touch(dir.path() + QString("/%1.zip").arg(i));
        StartProgram(names);
        QCOMPARE(session().DroppedCount, qint16(10));
        QVERIFY(!MeltDriver().archive().contains("10.zip"));
        // --extract-to takes them all, as a drop would.
        ResetProgram();
        StartWithArchives(names);
        QCOMPARE(session().DroppedCount, qint16(12));
        QVERIFY(MeltDriver().archive().contains("11.zip"));
    }
};

TEMBREL_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
