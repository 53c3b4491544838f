// The compression window: its controls, settings, hints, menu, close and switch paths, and the
// run that packs the dropped files.
#include "freeze/freezeform.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "freeze/FreezeRun.h"
#include "services/Choosers.h"
#include "services/ComboText.h"
#include "services/Desktop.h"
#include "services/JobRunner.h"
#include "services/Session.h"
#include "services/Settings.h"
#include "services/Twips.h"

namespace {

const QString kTitle = QStringLiteral("tembrel");
const QString kOneJobAtATime =
    QStringLiteral("ほかの処理が実行中です。一度に一つの処理しかできません。終わるまでお待ちください。");

// Shown on opening; the hover forms end in "。".
const QString kPressHint = QStringLiteral("書庫ﾌｧｲﾙ名、圧縮先ﾃﾞｨﾚｸﾄﾘを指定後、圧縮ボタンを押してください");
const QString kDropHint = QStringLiteral("書庫ﾌｧｲﾙ名、圧縮先ﾃﾞｨﾚｸﾄﾘを指定後、ﾌｧｲﾙをﾄﾞﾗｯｸﾞﾄﾞﾛｯﾌﾟすると圧縮します");
const QString kPressHoverHint = QStringLiteral("書庫ﾌｧｲﾙ名、圧縮先ﾃﾞｨﾚｸﾄﾘを指定後、圧縮ボタンを押してください。");
const QString kDropHoverHint =
    QStringLiteral("書庫ﾌｧｲﾙ名、圧縮先ﾃﾞｨﾚｸﾄﾘを指定後、ﾌｧｲﾙをﾄﾞﾗｯｸﾞﾄﾞﾛｯﾌﾟすると圧縮します。");
const QString kFreezeButtonHint =
    QStringLiteral("ﾌｧｲﾙを圧縮します。終了時には、Beep音とﾎﾟｯﾌﾟｱｯﾌﾟﾒｯｾｰｼﾞでお知らせします。");
const QString kDefButtonHint = QStringLiteral(
    "現在入力されているﾃﾞｨﾚｸﾄﾘをﾃﾞﾌｫﾙﾄに設定します。設定すると、次回から設定したﾃﾞｨﾚｸﾄﾘがあらかじめ表示されます。");
const QString kNameHint = QStringLiteral("作成する書庫ﾌｧｲﾙ名を入力してください。\r\n拡張子は省略できます。");
const QString kDirectoryHint = QStringLiteral("書庫ﾌｧｲﾙを作成するﾃﾞｨﾚｸﾄﾘを、ﾘｽﾄから選択してください。");

QString historyKey(int entry)
{
    return QStringLiteral("fdir") + QString::number(entry + 1);
}

}  // namespace

freezeform::freezeform(Session& session) : session_(session)
{
    setObjectName(QStringLiteral("freezeform"));
    setWindowTitle(QStringLiteral("TEMBREL(圧縮)"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);  // a fixed-size window
    createControls();
    createMenus();
    setTabOrderByIndex();
    connectSignals();
    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &freezeform::onTimer1);
    Timer1->start();
}

void freezeform::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->setFixedSize(TwipsToPixels(6855), TwipsToPixels(2295));
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Frame3 = Placed(new QGroupBox(QStringLiteral("圧縮"), client), "Frame3", 0, 0, 6855, 2295);
    Label4 = Placed(new QLabel(QStringLiteral("書庫  :"), Frame3), "Label4", 840, 240, 615, 255);
    Text1 = Placed(new QLineEdit(Frame3), "Text1", 1440, 240, 4935, 270);
    Label3 = Placed(new QLabel(QStringLiteral("圧縮先ﾃﾞｨﾚｸﾄﾘ :"), Frame3), "Label3", 120, 600, 1335, 255);
    Text2 = Placed(new QComboBox(Frame3), "Text2", 1440, 600, 4935, 300);
    Text2->setEditable(true);
    Text2->setInsertPolicy(QComboBox::NoInsert);
    KeepTypedText(Text2);
    Command1 = Placed(new QPushButton(QStringLiteral("..."), Frame3), "Command1", 6480, 600, 255, 255);
    Command1->setToolTip(QStringLiteral("参照"));

    Frame4 = Placed(new QGroupBox(QStringLiteral("解凍ｵﾌﾟｼｮﾝ"), Frame3), "Frame4", 120, 960, 3375, 1215);
    Check2 = Placed(new QCheckBox(QStringLiteral("圧縮後にﾌｫｰﾑを閉じる"), Frame4), "Check2", 360, 240, 2055, 255);
    Check1 = Placed(new QCheckBox(QStringLiteral("解凍後にﾒｯｾｰｼﾞを表示する"), Frame4), "Check1", 360, 480, 2415, 255);
    defbutton =
        Placed(new QPushButton(QStringLiteral("現在の圧縮先をﾃﾞﾌｫﾙﾄに"), Frame4), "defbutton", 360, 840, 2655, 255);

    omsgbox = Placed(new QLabel(Frame3), "omsgbox", 3600, 960, 3135, 855);
    omsgbox->setWordWrap(true);
    omsgbox->setTextFormat(Qt::PlainText);
    omsgbox->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    freezebutton = Placed(new QPushButton(QStringLiteral("圧縮"), Frame3), "freezebutton", 3600, 1920, 975, 255);
    tofreeze = Placed(new QPushButton(QStringLiteral("解凍..."), Frame3), "tofreeze", 4680, 1920, 975, 255);
    endbutton = Placed(new QPushButton(QStringLiteral("閉じる"), Frame3), "endbutton", 5760, 1920, 975, 255);
    for (QPushButton* button : Frame3->findChildren<QPushButton*>())
        button->setAutoDefault(true);
    freezebutton->setDefault(true);

    // Below the client area, out of sight; it takes no focus, so Tab never lands on it.
    Text = Placed(new QLineEdit(QStringLiteral("Text3"), client), "Text", 6600, 2880, 150, 270);
    Text->setFocusPolicy(Qt::NoFocus);

    for (QWidget* tracked : {client, static_cast<QWidget*>(Frame3), static_cast<QWidget*>(freezebutton),
                             static_cast<QWidget*>(defbutton), static_cast<QWidget*>(Text1)}) {
        tracked->setMouseTracking(true);
        tracked->installEventFilter(this);
    }
    Text2->installEventFilter(this);
}

void freezeform::createMenus()
{
    QMenu* mfile = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mfile->setObjectName(QStringLiteral("mfile"));
    mfreeze = mfile->addAction(QStringLiteral("圧縮(&M)"));
    mfreeze->setObjectName(QStringLiteral("mfreeze"));
    mmelt = mfile->addAction(QStringLiteral("解凍...(&F)"));
    mmelt->setObjectName(QStringLiteral("mmelt"));
    mfile->addSeparator()->setObjectName(QStringLiteral("sep"));
    mend = mfile->addAction(QStringLiteral("閉じる(&C)"));
    mend->setObjectName(QStringLiteral("mend"));
    moption = menuBar()->addAction(QStringLiteral("設定(&O)"));
    moption->setObjectName(QStringLiteral("moption"));
}

void freezeform::setTabOrderByIndex()
{
    // Tab indexes 1, 3, 7, 9, 10, 11, 12, 13, 14; the frames and labels take no focus.
    QWidget* const order[] = {freezebutton, Text1, endbutton, Check2, tofreeze, Text2, defbutton, Command1, Check1};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void freezeform::connectSignals()
{
    connect(freezebutton, &QPushButton::clicked, this, &freezeform::freezeFiles);
    connect(mfreeze, &QAction::triggered, this, &freezeform::freezeFiles);
    connect(tofreeze, &QPushButton::clicked, this, &freezeform::switchToMelt);
    connect(mmelt, &QAction::triggered, this, &freezeform::switchToMelt);
    connect(endbutton, &QPushButton::clicked, this, &freezeform::closeWindow);
    connect(mend, &QAction::triggered, this, &freezeform::closeWindow);
    connect(Command1, &QPushButton::clicked, this, &freezeform::pickDirectory);
    connect(defbutton, &QPushButton::clicked, this, &freezeform::storeDefaultDirectory);
    connect(moption, &QAction::triggered, this, &freezeform::openOptions);
}

QString freezeform::backgroundHint() const
{
    return session_.DroppedCount != 0 ? kPressHoverHint : kDropHoverHint;
}

void freezeform::loaddata()
{
    const bool filesWaiting = session_.DroppedCount != 0;
    omsgbox->setText(filesWaiting ? kPressHint : kDropHint);
    freezebutton->setEnabled(filesWaiting);
    mfreeze->setEnabled(filesWaiting);

    Check1->setChecked(GetNumberSetting(QStringLiteral("foption1"), 0) == 1);
    Check2->setChecked(GetNumberSetting(QStringLiteral("foption2"), 0) == 1);
    FreezeDirHistory.clear();
    for (int i = 0; i < kHistorySize; ++i)
        FreezeDirHistory << GetPathSetting(historyKey(i));
    // Loading again on an open window starts the list afresh rather than repeating it.
    Text2->clear();
    listHistory();
    Text2->setEditText(GetPathSetting(QStringLiteral("freezepath")));

    (filesWaiting ? static_cast<QWidget*>(freezebutton) : static_cast<QWidget*>(Text1))->setFocus();
}

void freezeform::listHistory()
{
    const QString text = Text2->currentText();
    for (int i = kHistorySize - 1; i >= 0; --i)
        Text2->insertItem(0, FreezeDirHistory.value(i));
    Text2->setEditText(text);
}

void freezeform::savedata()
{
    SaveNumberSetting(QStringLiteral("foption1"), Check1->isChecked() ? 1 : 0);
    SaveNumberSetting(QStringLiteral("foption2"), Check2->isChecked() ? 1 : 0);
    for (int i = 0; i < kHistorySize; ++i)
        SavePathSetting(historyKey(i), FreezeDirHistory.value(i));
}

void freezeform::pickDirectory()
{
    const QString chosen = PickFolder(QStringLiteral("圧縮先ディレクトリの指定"), session_.options.DefaultBrowseDir);
    if (!chosen.isEmpty())
        Text2->setEditText(chosen);
}

void freezeform::storeDefaultDirectory()
{
    SavePathSetting(QStringLiteral("freezepath"), Text2->currentText());
}

void freezeform::openOptions()
{
    emit optionsRequested();
}

void freezeform::closeWindow()
{
    if (jobRunning()) {
        // Asked once: a second close while the job stops changes nothing.
        if (!closeAfterJob_ && desktop().askYesNo(this, QStringLiteral("処理を中止しますか"), kTitle))
            stopJob(true);
        return;
    }
    if (running_)
        return;  // the run's own message box is up
    savedata();
    emit closed();
}

void freezeform::switchToMelt()
{
    if (running_) {
        desktop().showMessage(this, kOneJobAtATime, kTitle);
        return;
    }
    savedata();
    emit switchRequested();
}

bool freezeform::jobRunning() const
{
    return runner_ && runner_->running();
}

void freezeform::stopJob(bool thenClose)
{
    if (!jobRunning())
        return;
    quietEnding_ = true;
    closeAfterJob_ = closeAfterJob_ || thenClose;
    runner_->cancel();
}

void freezeform::closeEvent(QCloseEvent* event)
{
    // The title bar's close takes the close button's path, so the settings are saved and the
    // icon gets its drop reception back.
    event->ignore();
    closeWindow();
}

bool freezeform::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && watched == Text2) {
        omsgbox->setText(kDirectoryHint);
    } else if (event->type() == QEvent::MouseMove) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (watched == freezebutton) {
            // A disabled button takes no mouse input of its own: the move is the frame's.
            omsgbox->setText(freezebutton->isEnabled() ? kFreezeButtonHint : backgroundHint());
        } else if (watched == defbutton) {
            omsgbox->setText(kDefButtonHint);
        } else if (watched == Text1) {
            omsgbox->setText(kNameHint);
        } else if (watched == Frame3 || watched == centralWidget()) {
            // Moves a button leaves unused reach the frame too; only the bare background counts.
            if (!static_cast<QWidget*>(watched)->childAt(at))
                omsgbox->setText(backgroundHint());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void freezeform::freezeFiles()
{
    runFreeze(false);
}

void freezeform::onTimer1()
{
    runFreeze(true);
}

void freezeform::runFreeze(bool startedByDrop)
{
    if (startedByDrop && session_.FreezeDropPending != kSet)
        return;
    if (running_ || session_.jobRunning) {
        // One job at a time: a drop while a job runs is not kept for later.
        if (startedByDrop)
            session_.FreezeDropPending = kClear;
        desktop().showMessage(this, kOneJobAtATime, kTitle);
        return;
    }
    if (startedByDrop) {
        session_.FreezeDropPending = kClear;
        emit dropReceptionWanted(false);
    }
    // An empty directory would put the archive at the file-system root.
    if (Text2->currentText().trimmed().isEmpty()) {
        desktop().showMessage(this, QStringLiteral("圧縮先ﾃﾞｨﾚｸﾄﾘが空です。ﾃﾞｨﾚｸﾄﾘを指定してから圧縮してください。"),
                              kTitle);
        if (startedByDrop)
            emit dropReceptionWanted(true);
        return;
    }
    running_ = true;
    session_.jobRunning = true;
    quietEnding_ = false;
    closeAfterJob_ = false;
    Text1->setText(WithArchiveExtension(Text1->text(), session_.options.DefaultArchiveType));
    Text2->setEditText(WithTrailingSlash(Text2->currentText()));
    const QString name = Text1->text();
    FreezeJob job;
    job.kind = KindOfArchive(name);
    job.archivePath = Text2->currentText() + name;
    job.replaceOld = ReplacesOldArchive(job.archivePath, name);
    job.entries = session_.DroppedFiles.mid(0, session_.DroppedCount);

    runner_ = new JobRunner(this, QStringLiteral("TEMBREL(圧縮中)"), static_cast<int>(job.entries.size()));
    connect(runner_, &JobRunner::cancelAsked, this, [this] {
        if (desktop().askYesNo(runner_->progressWindow(), QStringLiteral("処理を中止しますか"), kTitle))
            runner_->cancel();
    });
    // The progress window takes the job window's place, then the job window gets out of the way.
    setWindowState(windowState() | Qt::WindowMinimized);
    Pack::Archivers& archivers = session_.archivers();
    const QString archivePath = job.archivePath;
    runner_->start<FreezeOutcome>(
        [job, &archivers](JobContext& context) { return RunFreezeJob(job, archivers, context); },
        [this, archivePath](const FreezeOutcome& outcome) { applyOutcome(outcome, archivePath); });
}

void freezeform::applyOutcome(const FreezeOutcome& outcome, const QString& archivePath)
{
    session_.jobRunning = false;
    runner_->deleteLater();
    // The old archive that the new one replaced goes to the trash, where it can still be found.
    if (outcome.replacedOld) {
        if (!desktop().moveToTrash(outcome.replacedOld->path))
            QFile::remove(outcome.replacedOld->path);
        DropSetAsideDirectory(*outcome.replacedOld);
    }
    if (RememberDirectory(FreezeDirHistory, Text2->currentText()))
        listHistory();
    hide();
    if (session_.options.NotifyMode == 0)
        desktop().beep();
    else
        desktop().playSound(session_.options.SoundFile);
    const QPointer<freezeform> self(this);
    if (!quietEnding_) {
        if (!outcome.succeeded()) {
            const FreezeReport report = FailureMessage(outcome, archivePath);
            desktop().showMessage(this, report.text, kTitle, report.detail);
        } else if (Check1->isChecked()) {
            desktop().showFinished(this, QStringLiteral("圧縮が終了しました"), kTitle,
                                   QFileInfo(archivePath).absolutePath());
        }
    }
    if (!self)
        return;  // the program was ended while the message was up
    running_ = false;
    if (quietEnding_ && !closeAfterJob_) {
        emit jobFinished();  // stopped for the program's end
        return;
    }

    if (closeAfterJob_ || Check2->isChecked()) {
        closeWindow();
        emit jobFinished();
        return;
    }
    // Shown again, normal, and receiving drops once more.
    showNormal();
    raise();
    activateWindow();
    emit dropReceptionWanted(true);
    emit jobFinished();
}

void freezeform::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // A focused button is pressed by its own auto-default handling before the key gets here.
        if (freezebutton->isEnabled())
            freezebutton->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closeWindow();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
