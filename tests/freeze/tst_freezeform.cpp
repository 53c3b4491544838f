// The compression window: layout, settings, chooser, hints, and its close and switch paths.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "melt/meltform.h"
#include "services/Session.h"
#include "services/Twips.h"
#include "shell/DropReception.h"
#include "shell/iconform.h"
#include "support/FakeDesktop.h"
#include "support/FreezeDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

const QString kPressHint = "書庫ﾌｧｲﾙ名、圧縮先ﾃﾞｨﾚｸﾄﾘを指定後、圧縮ボタンを押してください";
const QString kDropHint = "書庫ﾌｧｲﾙ名、圧縮先ﾃﾞｨﾚｸﾄﾘを指定後、ﾌｧｲﾙをﾄﾞﾗｯｸﾞﾄﾞﾛｯﾌﾟすると圧縮します";

void moveOver(QWidget* widget, QPoint at = QPoint(-1, -1))
{
    QTest::mouseMove(widget, at == QPoint(-1, -1) ? widget->rect().center() : at);
}

}  // namespace

class FreezeFormTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        StartFreshProgram();
        desktop_ = std::make_unique<ScopedFakeDesktop>();
    }
    void cleanup()
    {
        ResetProgram();
        desktop_.reset();
    }

    void controlsStandWhereTheTableSays_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("Frame3") << "Frame3"
                                << "client"
                                << "圧縮" << QRect(0, 0, 6855, 2295);
        QTest::newRow("Label4") << "Label4"
                                << "Frame3"
                                << "書庫  :" << QRect(840, 240, 615, 255);
        QTest::newRow("Text1") << "Text1"
                               << "Frame3"
                               << "" << QRect(1440, 240, 4935, 270);
        QTest::newRow("Label3") << "Label3"
                                << "Frame3"
                                << "圧縮先ﾃﾞｨﾚｸﾄﾘ :" << QRect(120, 600, 1335, 255);
        QTest::newRow("Text2") << "Text2"
                               << "Frame3"
                               << "" << QRect(1440, 600, 4935, 300);
        QTest::newRow("Command1") << "Command1"
                                  << "Frame3"
                                  << "..." << QRect(6480, 600, 255, 255);
        QTest::newRow("Frame4") << "Frame4"
                                << "Frame3"
                                << "解凍ｵﾌﾟｼｮﾝ" << QRect(120, 960, 3375, 1215);
        QTest::newRow("Check2") << "Check2"
                                << "Frame4"
                                << "圧縮後にﾌｫｰﾑを閉じる" << QRect(360, 240, 2055, 255);
        QTest::newRow("Check1") << "Check1"
                                << "Frame4"
                                << "解凍後にﾒｯｾｰｼﾞを表示する" << QRect(360, 480, 2415, 255);
        QTest::newRow("defbutton") << "defbutton"
                                   << "Frame4"
                                   << "現在の圧縮先をﾃﾞﾌｫﾙﾄに" << QRect(360, 840, 2655, 255);
        QTest::newRow("omsgbox") << "omsgbox"
                                 << "Frame3" << kDropHint << QRect(3600, 960, 3135, 855);
        QTest::newRow("freezebutton") << "freezebutton"
                                      << "Frame3"
                                      << "圧縮" << QRect(3600, 1920, 975, 255);
        QTest::newRow("tofreeze") << "tofreeze"
                                  << "Frame3"
                                  << "解凍..." << QRect(4680, 1920, 975, 255);
        QTest::newRow("endbutton") << "endbutton"
                                   << "Frame3"
                                   << "閉じる" << QRect(5760, 1920, 975, 255);
        QTest::newRow("Text") << "Text"
                              << "client"
                              << "Text3" << QRect(6600, 2880, 150, 270);
        QTest::newRow("Label5") << "Label5"
                                << "client"
                                << "圧縮するﾌｧｲﾙ :" << QRect(120, 2340, 1335, 255);
        QTest::newRow("pendingFiles") << "pendingFiles"
                                      << "client"
                                      << "なし" << QRect(1440, 2340, 5295, 255);
    }
    void controlsStandWhereTheTableSays()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        auto* control = FreezeDriver::open().control(name);
        QVERIFY(control);
        QCOMPARE(control->parentWidget()->objectName(), container);
        QCOMPARE(control->geometry(), QRect(TwipsToPixels(twips.x()), TwipsToPixels(twips.y()),
                                            TwipsToPixels(twips.width()), TwipsToPixels(twips.height())));
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            text = button->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(control))
            text = frame->title();
        else if (auto* label = qobject_cast<QLabel*>(control))
            text = label->text();
        else if (auto* field = qobject_cast<QLineEdit*>(control))
            text = field->text();
        else if (auto* box = qobject_cast<QComboBox*>(control))
            text = box->currentText();
        QCOMPARE(text, caption);
    }

    void windowCaptionMenusAndHiddenScratchField()
    {
        FreezeDriver window = FreezeDriver::open();
        QCOMPARE(window.window()->windowTitle(), QString("TEMBREL(圧縮)"));
        QCOMPARE(window.control("client")->size(), QSize(457, 175));  // one line more than the frame
        QCOMPARE(window.control("Command1")->toolTip(), QString("参照"));
        QVERIFY(!window.control("client")->rect().intersects(window.control("Text")->geometry()));

        QStringList top;
        for (QAction* action : window.control<QMenuBar>("")->actions())
            top << action->text();
        QCOMPARE(top, (QStringList{"ﾌｧｲﾙ(&F)", "設定(&O)"}));
        QStringList items;
        for (QAction* action : window.control<QMenu>("mfile")->actions())
            items << (action->isSeparator() ? "-" : action->text());
        QCOMPARE(items, (QStringList{"圧縮(&M)", "解凍...(&F)", "-", "閉じる(&C)"}));
    }

    void tabFollowsTheScreenFromTheFreezeButton()
    {
        session().RecordDroppedFiles({"/d/a.txt"});
        FreezeDriver window = FreezeDriver::open();
        QVERIFY(window.activate());
        QCOMPARE(QApplication::focusWidget(), window.control("freezebutton"));
        QStringList visited;
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, (QStringList{"tofreeze", "endbutton", "Text1", "Text2", "Command1", "Check2", "Check1",
                                       "defbutton", "freezebutton"}));  // round again, never the scratch field
    }

    // The line under the frame names what 圧縮 will pack; all of it in its hint.
    void thePendingFilesAreShown_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("line");
        QTest::newRow("nothing") << QStringList() << "なし";
        QTest::newRow("one") << QStringList{"/d/報告書.docx"} << "報告書.docx";
        QTest::newRow("three") << QStringList{"/d/報告書.docx", "/d/b", "/e/c.txt"} << "報告書.docx ほか 2 個";
    }
    void thePendingFilesAreShown()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, line);
        if (!files.isEmpty())
            session().RecordDroppedFiles(files);
        FreezeDriver window = FreezeDriver::open();
        QCOMPARE(window.pending(), line);
        QCOMPARE(window.pendingList(), files.join('\n'));
        QCOMPARE(window.canFreeze(), !files.isEmpty());
        QCOMPARE(window.hint(), files.isEmpty() ? kDropHint : kPressHint);
        QCOMPARE(window.window()->focusWidget(), window.control(files.isEmpty() ? "Text1" : "freezebutton"));
    }

    void aLongFirstNameKeepsTheCountInSight()
    {
        session().RecordDroppedFiles({"/d/" + QString(200, u'長') + ".txt", "/d/b.txt"});
        const QString line = FreezeDriver::open().pending();
        QVERIFY2(line.endsWith(" ほか 1 個") && line.contains(QChar(0x2026)), qPrintable(line));
    }

    void firstUseShowsFiveEmptyRowsAndClearOptions()
    {
        FreezeDriver window = FreezeDriver::open();
        QCOMPARE(window.rows("Text2"), QStringList(5, QString()));
        QCOMPARE(window.directory(), QString());
        QCOMPARE(window.name(), QString());
        QVERIFY(!window.isTicked("Check1"));
        QVERIFY(!window.isTicked("Check2"));
    }

    void settingsLoadAndSaveUnderTheirKeys()
    {
        WriteRaw("foption1", "1");
        WriteRaw("foption2", "not a number");  // reads as the default
        for (int i = 1; i <= 5; ++i)
            WriteRaw("fdir" + QString::number(i), "/dir" + QString::number(i));
        WriteRaw("freezepath", "/default");
        FreezeDriver window = FreezeDriver::open();
        QVERIFY(window.isTicked("Check1"));
        QVERIFY(!window.isTicked("Check2"));
        QCOMPARE(window.rows("Text2"), (QStringList{"/dir1", "/dir2", "/dir3", "/dir4", "/dir5"}));
        QCOMPARE(window.directory(), QString("/default"));

        // Opening again on the open window does not repeat the list.
        FreezeDriver::open();
        QCOMPARE(window.rows("Text2").size(), 5);

        window.messageAtEnd(false);
        window.closeAfterJob(true);
        window.typeDirectory("/typed");
        window.typeName("name");
        window.pressClose();
        QCOMPARE(StoredText("foption1"), QString("0"));
        QCOMPARE(StoredText("foption2"), QString("1"));
        QCOMPARE(StoredText("fdir1"), QString("/dir1"));
        QCOMPARE(StoredText("fdir5"), QString("/dir5"));
        QCOMPARE(StoredText("freezepath"), QString("/default"));  // only defbutton writes it
    }

    void reopeningKeepsOptionsAndOnlyTheStoredDefaultDirectory()
    {
        WriteRaw("freezepath", "/old");
        FreezeDriver window = FreezeDriver::open();
        window.closeAfterJob(true);
        window.typeName("name");
        window.typeDirectory("/new place");
        window.click("defbutton");
        QCOMPARE(StoredText("freezepath"), QString("/new place"));
        window.typeDirectory("/typed, not stored");
        window.pressClose();
        window = FreezeDriver::open();
        QVERIFY(window.isTicked("Check2"));
        QCOMPARE(window.directory(), QString("/new place"));
        QCOMPARE(window.name(), QString());

        window.typeDirectory("");  // an empty default is stored as it is
        window.click("defbutton");
        window.pressClose();
        QCOMPARE(FreezeDriver::open().directory(), QString());
        QVERIFY(desktop_->fake.messages.isEmpty());
    }

    void browsingFillsTheDirectoryUnlessCancelled()
    {
        FreezeDriver window = FreezeDriver::open();
        window.typeDirectory("/before");
        desktop_->fake.nextFolder = "";
        window.click("Command1");
        QCOMPARE(window.directory(), QString("/before"));
        desktop_->fake.nextFolder = "/chosen/深い ﾃﾞｨﾚｸﾄﾘ";
        window.click("Command1");
        QCOMPARE(window.directory(), QString("/chosen/深い ﾃﾞｨﾚｸﾄﾘ"));
        QCOMPARE(desktop_->fake.folderRequests, (QStringList{"圧縮先ディレクトリの指定", "圧縮先ディレクトリの指定"}));
    }

    void hintsFollowTheMouseAndTheFocus_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("hint");
        QTest::newRow("freezebutton") << "freezebutton"
                                      << "ﾌｧｲﾙを圧縮します。終了時には、Beep音とﾎﾟｯﾌﾟｱｯﾌﾟﾒｯｾｰｼﾞでお知らせします。";
        QTest::newRow("defbutton") << "defbutton"
                                   << "現在入力されているﾃﾞｨﾚｸﾄﾘをﾃﾞﾌｫﾙﾄに設定します。設定すると、次回から設定した"
                                      "ﾃﾞｨﾚｸﾄﾘがあらかじめ表示されます。";
        QTest::newRow("Text1") << "Text1"
                               << "作成する書庫ﾌｧｲﾙ名を入力してください。\r\n拡張子は省略できます。";
        QTest::newRow("background") << "Frame3" << kPressHint + "。";
        QTest::newRow("Text2 focused") << "Text2"
                                       << "書庫ﾌｧｲﾙを作成するﾃﾞｨﾚｸﾄﾘを、ﾘｽﾄから選択してください。";
    }
    void hintsFollowTheMouseAndTheFocus()
    {
        QFETCH(QString, control);
        QFETCH(QString, hint);
        session().RecordDroppedFiles({"/d/a.txt"});
        FreezeDriver window = FreezeDriver::open();
        QVERIFY(QTest::qWaitForWindowExposed(window.window()));
        if (control == "Text2") {
            QVERIFY(window.activate());
            window.control(control)->setFocus(Qt::TabFocusReason);
        } else {
            moveOver(window.control(control), control == "Frame3" ? QPoint(3, 100) : QPoint(-1, -1));
        }
        QCOMPARE(window.hint(), hint);
    }

    void otherControlsLeaveTheHintAlone()
    {
        FreezeDriver window = FreezeDriver::open();
        QVERIFY(QTest::qWaitForWindowExposed(window.window()));
        moveOver(window.control("defbutton"));
        const QString before = window.hint();
        for (const char* other : {"Check1", "Label3", "endbutton", "pendingFiles"})
            moveOver(window.control(other));
        QCOMPARE(window.hint(), before);

        // With nothing dropped the background asks for a drop; the disabled button is background.
        moveOver(window.control("freezebutton"));
        QCOMPARE(window.hint(), kDropHint + "。");
    }

    void everyClosePathSavesAndHandsDropsToTheIcon_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("endbutton") << "endbutton";
        QTest::newRow("mend") << "mend";
        QTest::newRow("title bar") << "title bar";
        QTest::newRow("Esc in the directory") << "Esc";
    }
    void everyClosePathSavesAndHandsDropsToTheIcon()
    {
        QFETCH(QString, how);
        FreezeDriver window = FreezeDriver::open();
        QVERIFY(IsDropHooked(window.window()));
        QVERIFY(!IsDropHooked(IconWindow()));
        window.messageAtEnd(true);
        if (how == "endbutton")
            window.pressClose();
        else if (how == "mend")
            window.choose("mend");
        else if (how == "Esc")
            window.key("Text2", Qt::Key_Escape);
        else
            window.closeFromTitleBar();
        QVERIFY(!ExistingFreezeWindow());
        QCOMPARE(StoredText("foption1"), QString("1"));
        QCOMPARE(StoredText("fdir3"), QString(""));
        QVERIFY(IsDropHooked(IconWindow()));
    }

    void switchingOpensTheExtractionWindowInItsPlace_data()
    {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("tofreeze") << false;
        QTest::newRow("mmelt") << true;
    }
    void switchingOpensTheExtractionWindowInItsPlace()
    {
        QFETCH(bool, byMenu);
        FreezeDriver window = FreezeDriver::open();
        window.closeAfterJob(true);
        if (byMenu)
            window.choose("mmelt");
        else
            window.pressSwitch();
        QVERIFY(!ExistingFreezeWindow());
        QCOMPARE(StoredText("foption2"), QString("1"));
        QVERIFY(ExistingMeltWindow() && ExistingMeltWindow()->isVisible());
        QVERIFY(IsDropHooked(ExistingMeltWindow()));
        QVERIFY(!IsDropHooked(IconWindow()));
    }

private:
    std::unique_ptr<ScopedFakeDesktop> desktop_;
};

TEMBREL_TEST_MAIN(FreezeFormTest)
#include "tst_freezeform.moc"
