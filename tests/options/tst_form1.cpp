// The options window: what it shows, what OK and CANCEL keep, its choosers and re-association.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>

#include "options/Form1.h"
#include "services/Session.h"
#include "shell/Startup.h"
#include "shell/Windows.h"
#include "shell/iconform.h"
#include "support/FakeDesktop.h"
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
        std::unique_ptr<Form1> windowOwner(CreateOptionsWindow(nullptr));
        Form1& window = *windowOwner;
        QCOMPARE(window.windowTitle(), QString("設定"));
        QCOMPARE(window.size(), QSize(314, 230));
        QCOMPARE(window.Frame3->title(), QString("参照ﾎﾞﾀﾝで最初に開くﾃﾞｨﾚｸﾄﾘ"));
        QCOMPARE(window.Command4->geometry(), QRect(8, 208, 297, 17));
        QCOMPARE(window.Option1[1]->parentWidget(), window.Frame1);
        QCOMPARE(window.Command5->toolTip(), QString("参照"));
        // Tab order starts at 最前面表示, then OK and CANCEL.
        QCOMPARE(window.Check1->nextInFocusChain(), static_cast<QWidget*>(window.Command2));
        QCOMPARE(window.Command2->nextInFocusChain(), static_cast<QWidget*>(window.Command3));
    }

    void openingShowsTheGlobals()
    {
        std::unique_ptr<Form1> windowOwner(CreateOptionsWindow(nullptr));
        Form1& window = *windowOwner;
        window.Intoform();
        QCOMPARE(window.Text1->text(), QString("/srv/ding.wav"));
        QCOMPARE(window.Text3->text(), QString("/srv/start"));
        QVERIFY(window.Check1->isChecked());
        QVERIFY(window.Option1[1]->isChecked());
        QVERIFY(window.Option2[1]->isChecked());
        setGlobals("", "", 0, 0, 0);
        std::unique_ptr<Form1> againOwner(CreateOptionsWindow(nullptr));
        Form1& again = *againOwner;
        again.Intoform();
        QVERIFY(!again.Check1->isChecked());
        QVERIFY(again.Option1[0]->isChecked());
        QVERIFY(again.Option2[0]->isChecked());
    }

    void cancelAndTitleBarCloseChangeNothing()
    {
        for (bool titleBar : {false, true}) {
            std::unique_ptr<Form1> windowOwner(CreateOptionsWindow(nullptr));
            Form1& window = *windowOwner;
            window.Intoform();
            window.Check1->setChecked(false);
            window.Option2[0]->setChecked(true);
            window.Text3->setText("/elsewhere");
            if (titleBar)
                window.close();
            else
                window.Command3->click();
            QCOMPARE(session().options.AlwaysOnTop, qint16(1));
            QCOMPARE(session().options.DefaultArchiveType, qint16(1));
            QCOMPARE(session().options.DefaultBrowseDir, QString("/srv/start"));
            for (const QString& key : kGlobalKeys)
                QVERIFY2(StoredText(key).isNull(), qPrintable(key));
        }
        std::unique_ptr<Form1> reopenedOwner(CreateOptionsWindow(nullptr));
        Form1& reopened = *reopenedOwner;
        reopened.Intoform();
        QCOMPARE(reopened.Text3->text(), QString("/srv/start"));
    }

    void okWithNothingChangedWritesAllFiveKeys()
    {
        std::unique_ptr<Form1> windowOwner(CreateOptionsWindow(nullptr));
        Form1& window = *windowOwner;
        window.Intoform();
        window.Command2->click();
        QCOMPARE(StoredText("Snddir"), QString("/srv/ding.wav"));
        QCOMPARE(StoredText("Defdir"), QString("/srv/start"));
        QCOMPARE(StoredText("Check1"), QString("1"));
        QCOMPARE(StoredText("Option1"), QString("1"));
        QCOMPARE(StoredText("Option2"), QString("1"));
    }

    void aSoundFileOptionWithAnEmptyPathIsStored()
    {
        setGlobals("/srv", "", 0, 0, 0);
        std::unique_ptr<Form1> windowOwner(CreateOptionsWindow(nullptr));
        Form1& window = *windowOwner;
        window.Intoform();
        window.Option1[1]->setChecked(true);
        window.Command2->click();
        QCOMPARE(session().options.NotifyMode, qint16(1));
        QCOMPARE(session().options.SoundFile, QString());
        QCOMPARE(StoredText("Option1"), QString("1"));
        QCOMPARE(StoredText("Snddir"), QString(""));
    }

    void okRestacksTheIcon()
    {
        WriteRaw("flg_First", "True");
        StartProgram({}, TEMBREL_BIN_DIR);
        std::unique_ptr<Form1> windowOwner(CreateOptionsWindow(nullptr));
        Form1& window = *windowOwner;
        window.Intoform();
        window.Check1->setChecked(false);
        window.Command2->click();
        QVERIFY(IconWindow()->windowFlags() & Qt::WindowStaysOnBottomHint);
        QVERIFY(!(IconWindow()->windowFlags() & Qt::WindowStaysOnTopHint));
        std::unique_ptr<Form1> secondOwner(CreateOptionsWindow(nullptr));
        Form1& second = *secondOwner;
        second.Intoform();
        second.Check1->setChecked(true);
        second.Command2->click();
        QVERIFY(IconWindow()->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(IconWindow()->pos(), QPoint(0, 0));
    }

    void theSoundChooserStartsInTheDirectoryOfTheOpening()
    {
        ScopedFakeDesktop scoped;
        std::unique_ptr<Form1> windowOwner(CreateOptionsWindow(nullptr));
        Form1& window = *windowOwner;
        window.Intoform();
        scoped.fake.nextFolder = "/picked/elsewhere";
        window.Command5->click();
        QCOMPARE(window.Text3->text(), QString("/picked/elsewhere"));
        QCOMPARE(scoped.fake.folderRequests, QStringList{"参照ﾎﾞﾀﾝで最初に開くﾃﾞｨﾚｸﾄﾘ"});
        window.Text3->setText("/typed");
        scoped.fake.nextFile = "/music/end.wav";
        window.Option1[0]->setChecked(true);
        window.Command1->click();
        QCOMPARE(scoped.fake.fileRequests.size(), 1);
        QCOMPARE(scoped.fake.fileRequests[0].initialDirectory, QDir::homePath());  // "/srv/start" is not there
        QCOMPARE(scoped.fake.fileRequests[0].description, QString("WAVﾌｧｲﾙ"));
        QCOMPARE(scoped.fake.fileRequests[0].patterns, QString("*.wav"));
        QCOMPARE(scoped.fake.fileRequests[0].title, QString("Wavﾌｧｲﾙの選択"));
        QCOMPARE(window.Text1->text(), QString("/music/end.wav"));
        QVERIFY2(window.Option1[0]->isChecked(), "choosing a file does not change the notification choice");
        // A cancelled chooser leaves the field alone.
        scoped.fake.nextFile.clear();
        window.Command1->click();
        QCOMPARE(window.Text1->text(), QString("/music/end.wav"));
    }

    void reassociatingTwiceWritesTwiceAndSaysSoTwice()
    {
        ScopedFakeDesktop scoped;
        const QString entry =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/applications/pellum-file.desktop";
        QFile::remove(entry);
        std::unique_ptr<Form1> windowOwner(CreateOptionsWindow(nullptr));
        Form1& window = *windowOwner;
        window.Intoform();
        window.Command4->click();
        QVERIFY(QFile::exists(entry));
        QFile::remove(entry);
        window.Command4->click();
        QVERIFY(QFile::exists(entry));
        QCOMPARE(scoped.fake.messages.size(), 2);
        QCOMPARE(scoped.fake.messages[1].text, QString("LZH、ZIPファイルに、再度関連付けをおこないました"));
        QVERIFY(window.isVisible() || !window.result());  // still open: no accept or reject
        for (const QString& key : kGlobalKeys)
            QVERIFY(StoredText(key).isNull());
    }
};

TEMBREL_TEST_MAIN(Form1Test)
#include "tst_form1.moc"
