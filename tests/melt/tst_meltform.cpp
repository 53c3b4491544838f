// The extraction window: its layout, its settings, choosers, hints, and the close and switch paths.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "services/ArchiveKind.h"
#include "services/Session.h"
#include "services/Twips.h"
#include "shell/DropReception.h"
#include "shell/Startup.h"
#include "shell/iconform.h"
#include "support/Drops.h"
#include "support/FakeDesktop.h"
#include "support/FreezeDriver.h"
#include "support/MeltDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

MeltDriver reopenMelt()
{
    MeltDriver().pressClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return MeltDriver::open();
}

QRect twips(int left, int top, int width, int height)
{
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace

class MeltFormTest : public QObject {
    Q_OBJECT

private slots:
    void init() { StartFreshProgram(); }
    void cleanup() { ResetProgram(); }

    void controlsStandWhereTheLayoutPutsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("place");
        QTest::newRow("Label2") << "Label2"
                                << "Frame2"
                                << "書庫  :" << twips(840, 240, 615, 255);
        QTest::newRow("Text1") << "Text1"
                               << "Frame2"
                               << "" << twips(1440, 240, 4935, 270);
        QTest::newRow("refbutton") << "refbutton"
                                   << "Frame2"
                                   << "..." << twips(6480, 240, 255, 255);
        QTest::newRow("Label1") << "Label1"
                                << "Frame2"
                                << "解凍先ﾃﾞｨﾚｸﾄﾘ :" << twips(120, 600, 1335, 255);
        QTest::newRow("Text2") << "Text2"
                               << "Frame2"
                               << "" << twips(1440, 600, 4935, 300);
        QTest::newRow("Command1") << "Command1"
                                  << "Frame2"
                                  << "..." << twips(6480, 600, 255, 255);
        QTest::newRow("Frame3") << "Frame3"
                                << "Frame2"
                                << "解凍後の書庫ﾌｧｲﾙ" << twips(120, 960, 6615, 855);
        QTest::newRow("Option1(0)") << "Option1(0)"
                                    << "Frame3"
                                    << "そのまま" << twips(240, 240, 975, 255);
        QTest::newRow("Option1(1)") << "Option1(1)"
                                    << "Frame3"
                                    << "削除" << twips(1560, 240, 735, 255);
        QTest::newRow("Option1(2)") << "Option1(2)"
                                    << "Frame3"
                                    << "ごみ箱へ" << twips(2640, 240, 1095, 255);
        QTest::newRow("Option1(3)") << "Option1(3)"
                                    << "Frame3"
                                    << "指定したﾃﾞｨﾚｸﾄﾘへ" << twips(240, 480, 1815, 255);
        QTest::newRow("Text3") << "Text3"
                               << "Frame3"
                               << "" << twips(2040, 480, 4095, 270);
        QTest::newRow("Command2") << "Command2"
                                  << "Frame3"
                                  << "..." << twips(6240, 480, 255, 255);
        QTest::newRow("Frame1") << "Frame1"
                                << "Frame2"
                                << "解凍ｵﾌﾟｼｮﾝ" << twips(120, 1810, 3375, 1455);
        QTest::newRow("Check1") << "Check1"
                                << "Frame1"
                                << "書庫名でﾃﾞｨﾚｸﾄﾘ作成" << twips(240, 240, 2055, 255);
        QTest::newRow("Check3") << "Check3"
                                << "Frame1"
                                << "解凍後にﾌｫｰﾑを閉じる" << twips(240, 480, 2055, 255);
        QTest::newRow("Check2") << "Check2"
                                << "Frame1"
                                << "解凍後にﾒｯｾｰｼﾞを表示する" << twips(240, 720, 2415, 255);
        QTest::newRow("defbutton") << "defbutton"
                                   << "Frame1"
                                   << "現在の解凍先をﾃﾞﾌｫﾙﾄに" << twips(240, 1080, 2895, 255);
        QTest::newRow("omsgbox") << "omsgbox"
                                 << "Frame2"
                                 << "" << twips(3600, 1920, 3135, 975);
        QTest::newRow("meltbutton") << "meltbutton"
                                    << "Frame2"
                                    << "解凍" << twips(3600, 3000, 975, 255);
        QTest::newRow("tomelt") << "tomelt"
                                << "Frame2"
                                << "圧縮..." << twips(4680, 3000, 975, 255);
        QTest::newRow("endbutton") << "endbutton"
                                   << "Frame2"
                                   << "閉じる" << twips(5760, 3000, 975, 255);
    }
    void controlsStandWhereTheLayoutPutsThem()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        QFETCH(QRect, place);
        MeltDriver melt = MeltDriver::open();
        QWidget* widget = melt.control(name);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->geometry(), place);
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            text = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            text = label->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(widget))
            text = frame->title();
        QCOMPARE(text, caption);
        if (caption == "...")
            QCOMPARE(widget->toolTip(), QString("参照"));
    }

    void windowFrameMenusAndTabOrder()
    {
        MeltDriver melt = MeltDriver::open();
        QCOMPARE(melt.window()->windowTitle(), QString("TEMBREL(解凍)"));
        QCOMPARE(melt.control<QGroupBox>("Frame2")->title(), QString("解凍"));
        QCOMPARE(melt.control("Frame2")->size(), QSize(TwipsToPixels(6855), TwipsToPixels(3375)));

        QStringList bar;
        for (QAction* action : melt.control<QMenuBar>("")->actions())
            bar << action->text();
        QCOMPARE(bar, (QStringList{"ﾌｧｲﾙ(&F)", "設定(&O)"}));
        QStringList items;
        for (QAction* action : melt.control<QMenu>("mfile")->actions())
            items << (action->isSeparator() ? "-" : action->text());
        QCOMPARE(items, (QStringList{"解凍(&F)", "圧縮...(&M)", "-", "閉じる(&C)"}));
    }

    // Tab goes by the screen, meeting the follow-up group once, at its choice; the arrow keys
    // move the choice within the group.
    void tabFollowsTheScreenAndTheGroupIsOneStop()
    {
        WriteRaw("moption5", "2");
        MeltDriver melt = MeltDriver::open();
        QVERIFY(melt.activate());
        melt.control("Text1")->setFocus(Qt::TabFocusReason);
        QStringList chain;
        for (int i = 0; i < 15; ++i) {
            chain << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(chain,
                 (QStringList{"Text1", "refbutton", "Text2", "Command1", "Option1(2)", "Text3", "Command2", "Check1",
                              "Check3", "Check2", "defbutton", "meltbutton", "tomelt", "endbutton", "Text1"}));
        melt.control("Option1(2)")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(melt.followUp(), 3);
        QCOMPARE(QApplication::focusWidget(), melt.control("Option1(3)"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(melt.followUp(), 3);  // round the group and back
    }

    void firstStartDefaults()
    {
        MeltDriver melt = MeltDriver::open();
        QVERIFY(!melt.isTicked("Check1"));
        QVERIFY(!melt.isTicked("Check3"));
        QVERIFY(melt.isTicked("Check2"));
        QCOMPARE(melt.followUp(), 0);
        QCOMPARE(melt.text("Text3"), QString());
        QCOMPARE(melt.destination(), QString());
        QCOMPARE(melt.rows("Text2"), QStringList(5));
        QCOMPARE(melt.hint(), QString());
    }

    void settingsRoundTrip()
    {
        MeltDriver melt = MeltDriver::open();
        melt.intoStemFolder(true);
        melt.closeAfterJob(true);
        melt.messageAtEnd(false);
        melt.chooseFollowUp(3);
        melt.typeMoveDirectory("/kept/archives");
        melt.typeDestination("/typed/but/not/default");
        melt = reopenMelt();
        QCOMPARE(StoredText("moption5"), QString("3"));
        QCOMPARE(StoredText("moption1"), QString("1"));
        QCOMPARE(StoredText("moption4"), QString("0"));
        QCOMPARE(StoredText("meltpath"), QString());
        QVERIFY(melt.isTicked("Check1"));
        QVERIFY(melt.isTicked("Check3"));
        QVERIFY(!melt.isTicked("Check2"));
        QCOMPARE(melt.followUp(), 3);
        QCOMPARE(melt.text("Text3"), QString("/kept/archives"));
        QCOMPARE(melt.destination(), QString());
    }

    void aStoredIndexOutsideTheGroupSelectsTheFirst()
    {
        WriteRaw("moption5", "7");
        QCOMPARE(MeltDriver::open().followUp(), 0);
        WriteRaw("moption5", "two");
        QCOMPARE(reopenMelt().followUp(), 0);
    }

    void aPartialHistoryLeavesEmptyRows()
    {
        WriteRaw("mdir1", "/d/a/");
        WriteRaw("mdir2", "/d/b/");
        MeltDriver melt = MeltDriver::open();
        QCOMPARE(melt.rows("Text2"), (QStringList{"/d/a/", "/d/b/", "", "", ""}));
        QCOMPARE(session().MeltDirHistory.size(), 6);
        QCOMPARE(melt.destination(), QString());
    }

    void defbuttonStoresTheDestinationAtOnce()
    {
        MeltDriver melt = MeltDriver::open();
        melt.typeDestination("/srv/unpacked");
        melt.click("defbutton");
        QCOMPARE(StoredText("meltpath"), QString("/srv/unpacked"));
        melt.typeDestination("/elsewhere");
        melt = reopenMelt();
        QCOMPARE(StoredText("meltpath"), QString("/srv/unpacked"));
        QCOMPARE(melt.destination(), QString("/srv/unpacked"));
    }

    void choosersFillTheirFieldsAndCancelLeavesThem()
    {
        ScopedFakeDesktop scoped;
        session().options.DefaultBrowseDir = "/home/u/dl";
        MeltDriver melt = MeltDriver::open();
        melt.typeArchive("/old.lzh");
        melt.click("refbutton");
        QCOMPARE(scoped.fake.fileRequests.size(), 1);
        QCOMPARE(scoped.fake.fileRequests[0].filters,
                 (QStringList{"書庫ﾌｧｲﾙ (" + ArchivePatterns().replace(';', ' ') + ")",
                              "LZH,ZIPﾌｧｲﾙ(.LZH;.ZIP) (*.lzh *.zip)"}));
        QCOMPARE(scoped.fake.fileRequests[0].initialDirectory, QDir::homePath());  // "/home/u/dl" is not there
        QCOMPARE(scoped.fake.fileRequests[0].title, QString("解凍する書庫の指定"));
        QCOMPARE(melt.archive(), QString("/old.lzh"));
        scoped.fake.nextFile = "/home/u/dl/new.zip";
        melt.click("refbutton");
        QCOMPARE(melt.archive(), QString("/home/u/dl/new.zip"));

        scoped.fake.nextFolder = "/srv/out";
        melt.click("Command1");
        QCOMPARE(melt.destination(), QString("/srv/out"));
        scoped.fake.nextFolder = "/srv/keep";
        melt.click("Command2");
        QCOMPARE(melt.text("Text3"), QString("/srv/keep"));
        scoped.fake.nextFolder.clear();
        melt.click("Command1");
        melt.click("Command2");
        QCOMPARE(melt.destination(), QString("/srv/out"));
        QCOMPARE(melt.text("Text3"), QString("/srv/keep"));
        QCOMPARE(scoped.fake.folderRequests, (QStringList{"解凍先ディレクトリの指定", "移動先ﾃﾞｨﾚｸﾄﾘの指定",
                                                          "解凍先ディレクトリの指定", "移動先ﾃﾞｨﾚｸﾄﾘの指定"}));
    }

    void hintsFollowTheMouseAndStay()
    {
        MeltDriver melt = MeltDriver::open();
        QTest::mouseMove(melt.control("Text1"));
        QCOMPARE(melt.hint(), QString("解凍する書庫ﾌｧｲﾙ名を入力してください。\nLZH、ZIPﾌｧｲﾙに対応しています。"));
        QTest::mouseMove(melt.control("Check1"));
        QCOMPARE(melt.hint(), QString("解凍先ﾃﾞｨﾚｸﾄﾘの下に書庫名でﾃﾞｨﾚｸﾄﾘを作成し、ﾌｧｲﾙを解凍します"));
        QTest::mouseMove(melt.control("defbutton"));
        QVERIFY(melt.hint().startsWith("現在入力されているﾃﾞｨﾚｸﾄﾘをﾃﾞﾌｫﾙﾄに設定します。設定すると"));
        QTest::mouseMove(melt.control("meltbutton"));
        QCOMPARE(melt.hint(), QString("書庫を解凍します。終了時には、Beep音とﾎﾟｯﾌﾟｱｯﾌﾟﾒｯｾｰｼﾞでお知らせします。"));
        QTest::mouseMove(melt.control("Check2"));
        QCOMPARE(melt.hint(), QString("書庫を解凍します。終了時には、Beep音とﾎﾟｯﾌﾟｱｯﾌﾟﾒｯｾｰｼﾞでお知らせします。"));
        QVERIFY(melt.activate());
        melt.control("Text2")->setFocus(Qt::MouseFocusReason);
        QCOMPARE(melt.hint(), QString("解凍したﾌｧｲﾙを置くﾃﾞｨﾚｸﾄﾘを指定してください。"));
    }

    void aDropOnTheWindowFillsTheFieldAndRunsNothing()
    {
        ScopedFakeDesktop scoped;
        MeltDriver melt = MeltDriver::open();
        QVERIFY(DropFiles(melt.control("omsgbox"), {"/d/one.lzh", "/d/two zip.zip"}));
        QCOMPARE(melt.archive(), QString("\"/d/one.lzh\" \"/d/two zip.zip\""));
        QCOMPARE(session().DroppedCount, qint16(2));
        QVERIFY(scoped.fake.messages.isEmpty());
        QCOMPARE(scoped.fake.beeps, 0);
    }

    // The button, the menu item and the title bar all close the same way.
    void everyClosePathSavesAndGivesTheIconItsDropsBack_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("endbutton") << 0;
        QTest::newRow("mend") << 1;
        QTest::newRow("title bar") << 2;
        QTest::newRow("Esc in the archive field") << 3;
    }
    void everyClosePathSavesAndGivesTheIconItsDropsBack()
    {
        QFETCH(int, way);
        MeltDriver melt = MeltDriver::open();
        melt.chooseFollowUp(2);
        QVERIFY(!IsDropHooked(IconWindow()));
        if (way == 0)
            melt.pressClose();
        else if (way == 1)
            melt.choose("mend");
        else if (way == 3)
            melt.key("Text1", Qt::Key_Escape);
        else
            melt.closeFromTitleBar();
        QVERIFY(!ExistingMeltWindow());
        QCOMPARE(StoredText("moption5"), QString("2"));
        QVERIFY(IsDropHooked(IconWindow()));
        QVERIFY(IconWindow()->isVisible());
    }

    void startedWithFilesTheTitleBarCloseEndsTheProgram()
    {
        ResetProgram();
        StartProgram({QCoreApplication::applicationFilePath()});
        MeltDriver melt;
        QVERIFY(!melt.isEnabled("Check3"));
        QVERIFY(!melt.isEnabled("tomelt"));
        QVERIFY(!melt.canChoose("mfreeze"));
        melt.intoStemFolder(true);
        melt.closeFromTitleBar();
        QVERIFY(!IconWindow());
        QVERIFY(!ExistingMeltWindow());
        QCOMPARE(StoredText("moption1"), QString("1"));
    }

    void theOptionsOpenModallyOverTheWindow()
    {
        MeltDriver melt = MeltDriver::open();
        QString seen;
        QWidget* owner = nullptr;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                seen = dialog->objectName();
                owner = dialog->parentWidget();
                dialog->reject();
            }
        });
        melt.choose("moption");
        QCOMPARE(seen, QString("Form1"));
        QCOMPARE(owner, melt.window());
        QVERIFY(melt.isVisible());
    }

    void switchingOpensTheCompressionWindowAndKeepsTheIconDeaf()
    {
        MeltDriver melt = MeltDriver::open();
        melt.intoStemFolder(true);
        melt.pressSwitch();
        QVERIFY(!ExistingMeltWindow());
        QCOMPARE(StoredText("moption1"), QString("1"));
        QVERIFY(ExistingFreezeWindow() && ExistingFreezeWindow()->isVisible());
        QVERIFY(IsDropHooked(ExistingFreezeWindow()));
        QVERIFY(!IsDropHooked(IconWindow()));

        FreezeDriver().pressClose();
        MeltDriver::open().choose("mfreeze");
        QVERIFY(!ExistingMeltWindow());
        QVERIFY(ExistingFreezeWindow());
    }
};

TEMBREL_TEST_MAIN(MeltFormTest)
#include "tst_meltform.moc"
