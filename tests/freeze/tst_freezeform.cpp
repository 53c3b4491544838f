// The compression window: layout, settings, chooser, hints, and its close and switch paths.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include "FreezeKit.h"
#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "services/Session.h"
#include "services/Twips.h"
#include "shell/DropReception.h"
#include "shell/Startup.h"
#include "support/FakeDesktop.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

const QString kPressHint = "書庫ﾌｧｲﾙ名、圧縮先ﾃﾞｨﾚｸﾄﾘを指定後、圧縮ボタンを押してください";
const QString kDropHint = "書庫ﾌｧｲﾙ名、圧縮先ﾃﾞｨﾚｸﾄﾘを指定後、ﾌｧｲﾙをﾄﾞﾗｯｸﾞﾄﾞﾛｯﾌﾟすると圧縮します";

QStringList listed(const QComboBox* box)
{
    QStringList rows;
    for (int i = 0; i < box->count(); ++i)
        rows << box->itemText(i);
    return rows;
}

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
                                 << "Frame3"
                                 << "" << QRect(3600, 960, 3135, 855);
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
    }
    void controlsStandWhereTheTableSays()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        freezeform* window = FreezeWindow();
        auto* control = window->findChild<QWidget*>(name);
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
        freezeform* window = OpenFreezeWindow();
        QCOMPARE(window->windowTitle(), QString("TEMBREL(圧縮)"));
        QCOMPARE(window->centralWidget()->size(), QSize(457, 153));
        QCOMPARE(window->Command1->toolTip(), QString("参照"));
        QVERIFY(!window->centralWidget()->rect().intersects(window->Text->geometry()));
        QCOMPARE(window->Timer1->interval(), 100);
        QVERIFY(window->Timer1->isActive());

        QStringList top;
        for (QAction* action : window->menuBar()->actions())
            top << action->text();
        QCOMPARE(top, (QStringList{"ﾌｧｲﾙ(&F)", "設定(&O)"}));
        QStringList items;
        for (QAction* action : window->menuBar()->actions().first()->menu()->actions())
            items << (action->isSeparator() ? "-" : action->text());
        QCOMPARE(items, (QStringList{"圧縮(&M)", "解凍...(&F)", "-", "閉じる(&C)"}));
    }

    void tabOrderStartsAtTheFreezeButton()
    {
        session().RecordDroppedFiles({"/d/a.txt"});
        freezeform* window = OpenFreezeWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(QApplication::focusWidget(), window->freezebutton);
        QStringList visited;
        for (int i = 0; i < 9; ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, (QStringList{"freezebutton", "Text1", "endbutton", "Check2", "tofreeze", "Text2", "defbutton",
                                       "Command1", "Check1"}));
        QCOMPARE(QApplication::focusWidget(), window->freezebutton);  // round again, never the scratch field
    }

    void theButtonAndTheHintFollowTheLatestDrop_data()
    {
        QTest::addColumn<QStringList>("earlier");
        QTest::newRow("nothing dropped yet") << QStringList();
        QTest::newRow("an earlier drop anywhere") << QStringList{"/d/a.zip", "/d/b.txt"};
    }
    void theButtonAndTheHintFollowTheLatestDrop()
    {
        QFETCH(QStringList, earlier);
        if (!earlier.isEmpty())
            session().RecordDroppedFiles(earlier);
        freezeform* window = OpenFreezeWindow();
        QCOMPARE(window->freezebutton->isEnabled(), !earlier.isEmpty());
        QCOMPARE(window->mfreeze->isEnabled(), !earlier.isEmpty());
        QCOMPARE(window->omsgbox->text(), earlier.isEmpty() ? kDropHint : kPressHint);
        QCOMPARE(window->focusWidget(),
                 earlier.isEmpty() ? static_cast<QWidget*>(window->Text1) : window->freezebutton);
    }

    void firstUseShowsFiveEmptyRowsAndClearOptions()
    {
        freezeform* window = OpenFreezeWindow();
        QCOMPARE(listed(window->Text2), QStringList(5, QString()));
        QCOMPARE(window->Text2->currentText(), QString());
        QCOMPARE(window->Text1->text(), QString());
        QVERIFY(!window->Check1->isChecked());
        QVERIFY(!window->Check2->isChecked());
    }

    void settingsLoadAndSaveUnderTheirKeys()
    {
        WriteRaw("foption1", "1");
        WriteRaw("foption2", "not a number");  // reads as the default
        for (int i = 1; i <= 5; ++i)
            WriteRaw("fdir" + QString::number(i), "/dir" + QString::number(i));
        WriteRaw("freezepath", "/default");
        freezeform* window = OpenFreezeWindow();
        QVERIFY(window->Check1->isChecked());
        QVERIFY(!window->Check2->isChecked());
        QCOMPARE(listed(window->Text2), (QStringList{"/dir1", "/dir2", "/dir3", "/dir4", "/dir5"}));
        QCOMPARE(window->Text2->currentText(), QString("/default"));

        // Loading again on the open window does not repeat the list.
        window->loaddata();
        QCOMPARE(window->Text2->count(), 5);

        window->Check1->setChecked(false);
        window->Check2->setChecked(true);
        window->Text2->setEditText("/typed");
        window->Text1->setText("name");
        window->savedata();
        QCOMPARE(StoredText("foption1"), QString("0"));
        QCOMPARE(StoredText("foption2"), QString("1"));
        QCOMPARE(StoredText("fdir1"), QString("/dir1"));
        QCOMPARE(StoredText("fdir5"), QString("/dir5"));
        QCOMPARE(StoredText("freezepath"), QString("/default"));  // only defbutton writes it
    }

    void reopeningKeepsOptionsAndOnlyTheStoredDefaultDirectory()
    {
        WriteRaw("freezepath", "/old");
        freezeform* window = OpenFreezeWindow();
        window->Check2->setChecked(true);
        window->Text1->setText("name");
        window->Text2->setEditText("/new place");
        window->defbutton->click();
        QCOMPARE(StoredText("freezepath"), QString("/new place"));
        window->Text2->setEditText("/typed, not stored");
        window->endbutton->click();
        window = OpenFreezeWindow();
        QVERIFY(window->Check2->isChecked());
        QCOMPARE(window->Text2->currentText(), QString("/new place"));
        QCOMPARE(window->Text1->text(), QString());

        window->Text2->setEditText("");  // an empty default is stored as it is
        window->defbutton->click();
        window->endbutton->click();
        QCOMPARE(OpenFreezeWindow()->Text2->currentText(), QString());
        QVERIFY(desktop_->fake.messages.isEmpty());
    }

    void browsingFillsTheDirectoryUnlessCancelled()
    {
        freezeform* window = OpenFreezeWindow();
        window->Text2->setEditText("/before");
        desktop_->fake.nextFolder = "";
        window->Command1->click();
        QCOMPARE(window->Text2->currentText(), QString("/before"));
        desktop_->fake.nextFolder = "/chosen/深い ﾃﾞｨﾚｸﾄﾘ";
        window->Command1->click();
        QCOMPARE(window->Text2->currentText(), QString("/chosen/深い ﾃﾞｨﾚｸﾄﾘ"));
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
        freezeform* window = OpenFreezeWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto* widget = window->findChild<QWidget*>(control);
        if (control == "Text2") {
            QVERIFY(QTest::qWaitForWindowActive(window));
            widget->setFocus(Qt::TabFocusReason);
        } else {
            moveOver(widget, control == "Frame3" ? QPoint(3, 100) : QPoint(-1, -1));
        }
        QCOMPARE(window->omsgbox->text(), hint);
    }

    void otherControlsLeaveTheHintAlone()
    {
        freezeform* window = OpenFreezeWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        moveOver(window->defbutton);
        const QString before = window->omsgbox->text();
        moveOver(window->Check1);
        moveOver(window->Label3);
        moveOver(window->endbutton);
        QCOMPARE(window->omsgbox->text(), before);

        // With nothing dropped the background asks for a drop; the disabled button is background.
        moveOver(window->freezebutton);
        QCOMPARE(window->omsgbox->text(), kDropHint + "。");
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
        freezeform* window = OpenFreezeWindow();
        QVERIFY(IsDropHooked(window));
        QVERIFY(!IsDropHooked(IconWindow()));
        window->Check1->setChecked(true);
        if (how == "endbutton")
            window->endbutton->click();
        else if (how == "mend")
            window->mend->trigger();
        else if (how == "Esc")
            QTest::keyClick(window->Text2, Qt::Key_Escape);
        else
            window->close();
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
        freezeform* window = OpenFreezeWindow();
        window->Check2->setChecked(true);
        if (byMenu)
            window->mmelt->trigger();
        else
            window->tofreeze->click();
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
