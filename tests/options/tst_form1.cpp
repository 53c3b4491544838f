// The options window: what it shows, what OK and CANCEL keep, its choosers and re-association.
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QStandardPaths>

#include "services/Session.h"
#include "shell/Startup.h"
#include "shell/iconform.h"
#include "support/FakeDesktop.h"
#include "support/OptionsDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

void setGlobals(const QString& browse, const QString& sound, qint16 top, qint16 notify, qint16 type)
{
    GlobalOptions& options = session().options;
    options.DefaultBrowseDir = browse;
    options.SoundFile = sound;
    options.AlwaysOnTop = top;
    options.NotifyMode = notify;
    options.DefaultArchiveType = type;
}

const QStringList kGlobalKeys = {"Snddir", "Defdir", "Check1", "Option1", "Option2"};

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ResetProgram();
        ClearStore();
        setGlobals("/srv/start", "/srv/ding.wav", 1, 1, 1);
    }
    void cleanup() { ResetProgram(); }

    void layout()
    {
        OptionsDriver window;
        QCOMPARE(window.window()->windowTitle(), QString("設定"));
        QCOMPARE(window.window()->size(), QSize(314, 230));
        QCOMPARE(window.control<QGroupBox>("Frame3")->title(), QString("参照ﾎﾞﾀﾝで最初に開くﾃﾞｨﾚｸﾄﾘ"));
        QCOMPARE(window.control("Command4")->geometry(), QRect(8, 208, 297, 17));
        QCOMPARE(window.control("Option1(1)")->parentWidget(), window.control("Frame1"));
        QCOMPARE(window.control("Command5")->toolTip(), QString("参照"));
    }

    // Tab goes by the screen; each group of option buttons is one stop, at its choice.
    void tabFollowsTheScreen()
    {
        OptionsDriver window;
        window.window()->show();
        QVERIFY(window.activate());
        window.control("Check1")->setFocus(Qt::TabFocusReason);
        QStringList chain;
        for (int i = 0; i < 11; ++i) {
            chain << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(chain, (QStringList{"Check1", "Command2", "Command3", "Option2(1)", "Option1(1)", "Text1", "Command1",
                                     "Text3", "Command5", "Command4", "Check1"}));
        window.key("Option2(1)", Qt::Key_Left);
        QVERIFY(window.isTicked("Option2(0)"));
    }

    void openingShowsTheGlobals()
    {
        {
            OptionsDriver window;
            QCOMPARE(window.soundFile(), QString("/srv/ding.wav"));
            QCOMPARE(window.browseDirectory(), QString("/srv/start"));
            QVERIFY(window.isTicked("Check1"));
            QVERIFY(window.isTicked("Option1(1)"));
            QVERIFY(window.isTicked("Option2(1)"));
        }
        setGlobals("", "", 0, 0, 0);
        OptionsDriver again;
        QVERIFY(!again.isTicked("Check1"));
        QVERIFY(again.isTicked("Option1(0)"));
        QVERIFY(again.isTicked("Option2(0)"));
    }

    void cancelAndTitleBarCloseChangeNothing()
    {
        for (bool titleBar : {false, true}) {
            OptionsDriver window;
            window.tick("Check1", false);
            window.tick("Option2(0)");
            window.type("Text3", "/elsewhere");
            if (titleBar)
                window.closeFromTitleBar();
            else
                window.pressCancel();
            QCOMPARE(session().options.AlwaysOnTop, qint16(1));
            QCOMPARE(session().options.DefaultArchiveType, qint16(1));
            QCOMPARE(session().options.DefaultBrowseDir, QString("/srv/start"));
            for (const QString& key : kGlobalKeys)
                QVERIFY2(StoredText(key).isNull(), qPrintable(key));
        }
        QCOMPARE(OptionsDriver().browseDirectory(), QString("/srv/start"));
    }

    void okWithNothingChangedWritesAllFiveKeys()
    {
        OptionsDriver().pressOk();
        QCOMPARE(StoredText("Snddir"), QString("/srv/ding.wav"));
        QCOMPARE(StoredText("Defdir"), QString("/srv/start"));
        QCOMPARE(StoredText("Check1"), QString("1"));
        QCOMPARE(StoredText("Option1"), QString("1"));
        QCOMPARE(StoredText("Option2"), QString("1"));
    }

    void aSoundFileOptionWithAnEmptyPathIsStored()
    {
        setGlobals("/srv", "", 0, 0, 0);
        OptionsDriver window;
        window.tick("Option1(1)");
        window.pressOk();
        QCOMPARE(session().options.NotifyMode, qint16(1));
        QCOMPARE(session().options.SoundFile, QString());
        QCOMPARE(StoredText("Option1"), QString("1"));
        QCOMPARE(StoredText("Snddir"), QString(""));
    }

    void okRestacksTheIcon()
    {
        WriteRaw("flg_First", "True");
        StartProgram({}, TEMBREL_BIN_DIR);
        {
            OptionsDriver window;
            window.tick("Check1", false);
            window.pressOk();
        }
        QVERIFY(IconWindow()->windowFlags() & Qt::WindowStaysOnBottomHint);
        QVERIFY(!(IconWindow()->windowFlags() & Qt::WindowStaysOnTopHint));
        OptionsDriver second;
        second.tick("Check1", true);
        second.pressOk();
        QVERIFY(IconWindow()->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(IconWindow()->pos(), QPoint(0, 0));
    }

    void theSoundChooserStartsInTheDirectoryOfTheOpening()
    {
        ScopedFakeDesktop scoped;
        OptionsDriver window;
        scoped.fake.nextFolder = "/picked/elsewhere";
        window.pickDirectory();
        QCOMPARE(window.browseDirectory(), QString("/picked/elsewhere"));
        QCOMPARE(scoped.fake.folderRequests, QStringList{"参照ﾎﾞﾀﾝで最初に開くﾃﾞｨﾚｸﾄﾘ"});
        window.type("Text3", "/typed");
        scoped.fake.nextFile = "/music/end.wav";
        window.tick("Option1(0)");
        window.pickSound();
        QCOMPARE(scoped.fake.fileRequests.size(), 1);
        QCOMPARE(scoped.fake.fileRequests[0].initialDirectory, QDir::homePath());  // "/srv/start" is not there
        QCOMPARE(scoped.fake.fileRequests[0].filters, QStringList{"WAVﾌｧｲﾙ (*.wav)"});
        QCOMPARE(scoped.fake.fileRequests[0].title, QString("Wavﾌｧｲﾙの選択"));
        QCOMPARE(window.soundFile(), QString("/music/end.wav"));
        QVERIFY2(window.isTicked("Option1(0)"), "choosing a file does not change the notification choice");
        // A cancelled chooser leaves the field alone.
        scoped.fake.nextFile.clear();
        window.pickSound();
        QCOMPARE(window.soundFile(), QString("/music/end.wav"));
    }

    void reassociatingTwiceWritesTwiceAndSaysSoTwice()
    {
        ScopedFakeDesktop scoped;
        const QString entry =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/applications/pellum-file.desktop";
        QFile::remove(entry);
        OptionsDriver window;
        window.pressReassociate();
        QVERIFY(QFile::exists(entry));
        QFile::remove(entry);
        window.pressReassociate();
        QVERIFY(QFile::exists(entry));
        QCOMPARE(scoped.fake.messages.size(), 2);
        QCOMPARE(scoped.fake.messages[1].text, QString("LZH、ZIPファイルに、再度関連付けをおこないました"));
        QCOMPARE(static_cast<QDialog*>(window.window())->result(), 0);  // still open: no accept or reject
        for (const QString& key : kGlobalKeys)
            QVERIFY(StoredText(key).isNull());
    }
};

TEMBREL_TEST_MAIN(Form1Test)
#include "tst_form1.moc"
