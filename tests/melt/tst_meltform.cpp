// The extraction window: its layout, its settings, choosers, hints, and the close and switch paths.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "services/Session.h"
#include "services/Twips.h"
#include "shell/DropReception.h"
#include "shell/Startup.h"
#include "shell/iconform.h"
#include "support/Drops.h"
#include "support/FakeDesktop.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

// Opens the window the way the popup menu does, from a running icon.
meltform* openMelt()
{
    UnhookDropWindow(IconWindow());
    meltform* melt = MeltWindow();
    melt->loaddata();
    ShowJobWindow(melt);
    return melt;
}

meltform* reopenMelt()
{
    ExistingMeltWindow()->closeWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return openMelt();
}

QStringList rows(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
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
        meltform* melt = openMelt();
        auto* widget = melt->findChild<QWidget*>(name);
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
        meltform* melt = openMelt();
        QCOMPARE(melt->windowTitle(), QString("TEMBREL(解凍)"));
        QCOMPARE(melt->Frame2->title(), QString("解凍"));
        QCOMPARE(melt->centralWidget(), melt->Frame2);
        QCOMPARE(melt->Frame2->size(), QSize(TwipsToPixels(6855), TwipsToPixels(3375)));

        QStringList bar;
        for (QAction* action : melt->menuBar()->actions())
            bar << action->text();
        QCOMPARE(bar, (QStringList{"ﾌｧｲﾙ(&F)", "設定(&O)"}));
        QStringList items;
        for (QAction* action : melt->mfile->actions())
            items << (action->isSeparator() ? "-" : action->text());
        QCOMPARE(items, (QStringList{"解凍(&F)", "圧縮...(&M)", "-", "閉じる(&C)"}));

        QStringList chain;
        QWidget* widget = melt->Text1;
        do {
            chain << widget->objectName();
            widget = widget->nextInFocusChain();
            while (widget->focusPolicy() == Qt::NoFocus || !widget->parentWidget() || widget->objectName().isEmpty())
                widget = widget->nextInFocusChain();
        } while (widget != melt->Text1 && chain.size() < 30);
        QCOMPARE(chain, (QStringList{"Text1", "refbutton", "Text2", "Command1", "Option1(0)", "Option1(1)",
                                     "Option1(2)", "Option1(3)", "Text3", "Command2", "Check1", "Check3", "Check2",
                                     "defbutton", "meltbutton", "tomelt", "endbutton"}));
    }

    void firstStartDefaults()
    {
        meltform* melt = openMelt();
        QVERIFY(!melt->Check1->isChecked());
        QVERIFY(!melt->Check3->isChecked());
        QVERIFY(melt->Check2->isChecked());
        QVERIFY(melt->Option1[0]->isChecked());
        QCOMPARE(melt->Text3->text(), QString());
        QCOMPARE(melt->Text2->currentText(), QString());
        QCOMPARE(rows(melt->Text2), QStringList(5));
        QCOMPARE(melt->omsgbox->text(), QString());
    }

    void settingsRoundTrip()
    {
        meltform* melt = openMelt();
        melt->Check1->setChecked(true);
        melt->Check3->setChecked(true);
        melt->Check2->setChecked(false);
        melt->Option1[3]->setChecked(true);
        melt->Text3->setText("/kept/archives");
        melt->Text2->setEditText("/typed/but/not/default");
        melt = reopenMelt();
        QCOMPARE(StoredText("moption5"), QString("3"));
        QCOMPARE(StoredText("moption1"), QString("1"));
        QCOMPARE(StoredText("moption4"), QString("0"));
        QCOMPARE(StoredText("meltpath"), QString());
        QVERIFY(melt->Check1->isChecked());
        QVERIFY(melt->Check3->isChecked());
        QVERIFY(!melt->Check2->isChecked());
        QVERIFY(melt->Option1[3]->isChecked());
        QCOMPARE(melt->Text3->text(), QString("/kept/archives"));
        QCOMPARE(melt->Text2->currentText(), QString());
    }

    void aStoredIndexOutsideTheGroupSelectsTheFirst()
    {
        WriteRaw("moption5", "7");
        QVERIFY(openMelt()->Option1[0]->isChecked());
        WriteRaw("moption5", "two");
        QVERIFY(reopenMelt()->Option1[0]->isChecked());
    }

    void aPartialHistoryLeavesEmptyRows()
    {
        WriteRaw("mdir1", "/d/a/");
        WriteRaw("mdir2", "/d/b/");
        meltform* melt = openMelt();
        QCOMPARE(rows(melt->Text2), (QStringList{"/d/a/", "/d/b/", "", "", ""}));
        QCOMPARE(session().MeltDirHistory.size(), 6);
        QCOMPARE(melt->Text2->currentText(), QString());
    }

    void defbuttonStoresTheDestinationAtOnce()
    {
        meltform* melt = openMelt();
        melt->Text2->setEditText("/srv/unpacked");
        melt->defbutton->click();
        QCOMPARE(StoredText("meltpath"), QString("/srv/unpacked"));
        melt->Text2->setEditText("/elsewhere");
        melt = reopenMelt();
        QCOMPARE(StoredText("meltpath"), QString("/srv/unpacked"));
        QCOMPARE(melt->Text2->currentText(), QString("/srv/unpacked"));
    }

    void choosersFillTheirFieldsAndCancelLeavesThem()
    {
        ScopedFakeDesktop scoped;
        session().options.DefaultBrowseDir = "/home/u/dl";
        meltform* melt = openMelt();
        melt->Text1->setText("/old.lzh");
        melt->refbutton->click();
        QCOMPARE(scoped.fake.fileRequests.size(), 1);
        QCOMPARE(scoped.fake.fileRequests[0].description, QString("LZH,ZIPﾌｧｲﾙ(.LZH;.ZIP)"));
        QCOMPARE(scoped.fake.fileRequests[0].patterns, QString("*.lzh;*.zip"));
        QCOMPARE(scoped.fake.fileRequests[0].initialDirectory, QDir::homePath());  // "/home/u/dl" is not there
        QCOMPARE(scoped.fake.fileRequests[0].title, QString("解凍する書庫の指定"));
        QCOMPARE(melt->Text1->text(), QString("/old.lzh"));
        scoped.fake.nextFile = "/home/u/dl/new.zip";
        melt->refbutton->click();
        QCOMPARE(melt->Text1->text(), QString("/home/u/dl/new.zip"));

        scoped.fake.nextFolder = "/srv/out";
        melt->Command1->click();
        QCOMPARE(melt->Text2->currentText(), QString("/srv/out"));
        scoped.fake.nextFolder = "/srv/keep";
        melt->Command2->click();
        QCOMPARE(melt->Text3->text(), QString("/srv/keep"));
        scoped.fake.nextFolder.clear();
        melt->Command1->click();
        melt->Command2->click();
        QCOMPARE(melt->Text2->currentText(), QString("/srv/out"));
        QCOMPARE(melt->Text3->text(), QString("/srv/keep"));
        QCOMPARE(scoped.fake.folderRequests, (QStringList{"解凍先ディレクトリの指定", "移動先ﾃﾞｨﾚｸﾄﾘの指定",
                                                          "解凍先ディレクトリの指定", "移動先ﾃﾞｨﾚｸﾄﾘの指定"}));
    }

    void hintsFollowTheMouseAndStay()
    {
        meltform* melt = openMelt();
        QTest::mouseMove(melt->Text1);
        QCOMPARE(melt->omsgbox->text(),
                 QString("解凍する書庫ﾌｧｲﾙ名を入力してください。\nLZH、ZIPﾌｧｲﾙに対応しています。"));
        QTest::mouseMove(melt->Check1);
        QCOMPARE(melt->omsgbox->text(), QString("解凍先ﾃﾞｨﾚｸﾄﾘの下に書庫名でﾃﾞｨﾚｸﾄﾘを作成し、ﾌｧｲﾙを解凍します"));
        QTest::mouseMove(melt->defbutton);
        QVERIFY(melt->omsgbox->text().startsWith("現在入力されているﾃﾞｨﾚｸﾄﾘをﾃﾞﾌｫﾙﾄに設定します。設定すると"));
        QTest::mouseMove(melt->meltbutton);
        QCOMPARE(melt->omsgbox->text(),
                 QString("書庫を解凍します。終了時には、Beep音とﾎﾟｯﾌﾟｱｯﾌﾟﾒｯｾｰｼﾞでお知らせします。"));
        QTest::mouseMove(melt->Check2);
        QCOMPARE(melt->omsgbox->text(),
                 QString("書庫を解凍します。終了時には、Beep音とﾎﾟｯﾌﾟｱｯﾌﾟﾒｯｾｰｼﾞでお知らせします。"));
        melt->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(melt));
        melt->Text2->setFocus(Qt::MouseFocusReason);
        QCOMPARE(melt->omsgbox->text(), QString("解凍したﾌｧｲﾙを置くﾃﾞｨﾚｸﾄﾘを指定してください。"));
    }

    void aDropOnTheWindowFillsTheFieldAndRunsNothing()
    {
        ScopedFakeDesktop scoped;
        meltform* melt = openMelt();
        QVERIFY(DropFiles(melt->omsgbox, {"/d/one.lzh", "/d/two zip.zip"}));
        QCOMPARE(melt->Text1->text(), QString("\"/d/one.lzh\" \"/d/two zip.zip\""));
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
        meltform* melt = openMelt();
        melt->Option1[2]->setChecked(true);
        QVERIFY(!IsDropHooked(IconWindow()));
        if (way == 0)
            melt->endbutton->click();
        else if (way == 1)
            melt->mend->trigger();
        else if (way == 3)
            QTest::keyClick(melt->Text1, Qt::Key_Escape);
        else
            melt->close();
        QVERIFY(!ExistingMeltWindow());
        QCOMPARE(StoredText("moption5"), QString("2"));
        QVERIFY(IsDropHooked(IconWindow()));
        QVERIFY(IconWindow()->isVisible());
    }

    void startedWithFilesTheTitleBarCloseEndsTheProgram()
    {
        ResetProgram();
        StartProgram({QCoreApplication::applicationFilePath()});
        meltform* melt = ExistingMeltWindow();
        QVERIFY(!melt->Check3->isEnabled());
        QVERIFY(!melt->tomelt->isEnabled());
        QVERIFY(!melt->mfreeze->isEnabled());
        melt->Check1->setChecked(true);
        melt->close();
        QVERIFY(!IconWindow());
        QVERIFY(!ExistingMeltWindow());
        QCOMPARE(StoredText("moption1"), QString("1"));
    }

    void theOptionsOpenModallyOverTheWindow()
    {
        meltform* melt = openMelt();
        QString seen;
        QWidget* owner = nullptr;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                seen = dialog->objectName();
                owner = dialog->parentWidget();
                dialog->reject();
            }
        });
        melt->moption->trigger();
        QCOMPARE(seen, QString("Form1"));
        QCOMPARE(owner, melt);
        QVERIFY(melt->isVisible());
    }

    void switchingOpensTheCompressionWindowAndKeepsTheIconDeaf()
    {
        meltform* melt = openMelt();
        melt->Check1->setChecked(true);
        melt->tomelt->click();
        QVERIFY(!ExistingMeltWindow());
        QCOMPARE(StoredText("moption1"), QString("1"));
        QVERIFY(ExistingFreezeWindow() && ExistingFreezeWindow()->isVisible());
        QVERIFY(IsDropHooked(ExistingFreezeWindow()));
        QVERIFY(!IsDropHooked(IconWindow()));

        ExistingFreezeWindow()->closeWindow();
        openMelt()->mfreeze->trigger();
        QVERIFY(!ExistingMeltWindow());
        QVERIFY(ExistingFreezeWindow());
    }
};

TEMBREL_TEST_MAIN(MeltFormTest)
#include "tst_meltform.moc"
