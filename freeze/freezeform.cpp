// The compression window: its controls, settings, hints, menu, and the run that packs the
// dropped files.
#include "freeze/freezeform.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "services/ArchiveKind.h"
#include "services/Choosers.h"
#include "services/ComboText.h"
#include "services/Desktop.h"
#include "services/Session.h"
#include "services/Settings.h"
#include "services/Twips.h"

namespace {

const QString kTitle = QStringLiteral("tembrel");

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

// The client area grows by one line below the frame for the files waiting to be packed.
constexpr int kClientHeightTwips = 2295 + 330;

QString historyKey(int entry)
{
    return QStringLiteral("fdir") + QString::number(entry + 1);
}

QString shownName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

}  // namespace

QString PendingFilesText(const QStringList& files)
{
    if (files.isEmpty())
        return QStringLiteral("なし");
    if (files.size() == 1)
        return shownName(files.first());
    return QStringLiteral("%1 ほか %2 個").arg(shownName(files.first())).arg(files.size() - 1);
}

freezeform::freezeform(Session& session) : JobWindow(session)
{
    setObjectName(QStringLiteral("freezeform"));
    setWindowTitle(QStringLiteral("TEMBREL(圧縮)"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);  // a fixed-size window
    createControls();
    createMenus();
    setTabOrderByScreen();
    connectSignals();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &freezeform::onTimer1);
    Timer1->start();
}

void freezeform::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->setFixedSize(TwipsToPixels(6855), TwipsToPixels(kClientHeightTwips));
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Frame3 = Placed(new QGroupBox(QStringLiteral("圧縮"), client), "Frame3", 0, 0, 6855, 2295);
    Label4 = Placed(new QLabel(QStringLiteral("書庫  :"), Frame3), "Label4", 840, 240, 615, 255);
    Text1 = Placed(new QLineEdit(Frame3), "Text1", 1440, 240, 4935, 270);
    Label3 = Placed(new QLabel(QStringLiteral("圧縮先ﾃﾞｨﾚｸﾄﾘ :"), Frame3), "Label3", 120, 600, 1335, 255);
    Text2 = Placed(new QComboBox(Frame3), "Text2", 1440, 600, 4935, 300);
    Text2->setEditable(true);
    Text2->setInsertPolicy(QComboBox::NoInsert);
    KeepTypedText(Text2);
    runOnEnterInPopups(Text2);
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

    Label5 = Placed(new QLabel(QStringLiteral("圧縮するﾌｧｲﾙ :"), client), "Label5", 120, 2340, 1335, 255);
    pendingFiles = Placed(new QLabel(client), "pendingFiles", 1440, 2340, 5295, 255);
    pendingFiles->setTextFormat(Qt::PlainText);

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

void freezeform::setTabOrderByScreen()
{
    // Top to bottom, left to right; 圧縮 still holds the focus on opening when files wait.
    QWidget* const order[] = {Text1, Text2, Command1, Check2, Check1, defbutton, freezebutton, tofreeze, endbutton};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void freezeform::connectSignals()
{
    connect(freezebutton, &QPushButton::clicked, this, &freezeform::startJob);
    connect(mfreeze, &QAction::triggered, this, &freezeform::startJob);
    connect(tofreeze, &QPushButton::clicked, this, &freezeform::switchWindow);
    connect(mmelt, &QAction::triggered, this, &freezeform::switchWindow);
    connect(endbutton, &QPushButton::clicked, this, &freezeform::closeWindow);
    connect(mend, &QAction::triggered, this, &freezeform::closeWindow);
    connect(Command1, &QPushButton::clicked, this, &freezeform::pickDirectory);
    connect(defbutton, &QPushButton::clicked, this, &freezeform::storeDefaultDirectory);
    connect(moption, &QAction::triggered, this, &freezeform::optionsRequested);
}

QList<QWidget*> freezeform::jobInputs() const
{
    return {Text1, Text2, Command1, Frame4};
}

QPushButton* freezeform::mainButton() const
{
    return freezebutton;
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
    showPendingFiles();

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

void freezeform::showPendingFiles()
{
    const QStringList files = session_.DroppedFiles.mid(0, session_.DroppedCount);
    QString text = PendingFilesText(files);
    if (files.size() > 1) {
        // The count must stay in sight: a long first name gives way in its middle.
        const QString rest = text.mid(shownName(files.first()).size());
        const int room = pendingFiles->width() - pendingFiles->fontMetrics().horizontalAdvance(rest);
        text = pendingFiles->fontMetrics().elidedText(shownName(files.first()), Qt::ElideMiddle, room) + rest;
    } else {
        text = pendingFiles->fontMetrics().elidedText(text, Qt::ElideMiddle, pendingFiles->width());
    }
    pendingFiles->setText(text);
    pendingFiles->setToolTip(files.join(QLatin1Char('\n')));
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
    const QString chosen =
        PickFolder(this, QStringLiteral("圧縮先ディレクトリの指定"), session_.options.DefaultBrowseDir);
    if (!chosen.isEmpty())
        Text2->setEditText(chosen);
}

void freezeform::storeDefaultDirectory()
{
    SavePathSetting(QStringLiteral("freezepath"), Text2->currentText());
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
    return JobWindow::eventFilter(watched, event);
}

void freezeform::startJob()
{
    runFreeze(false);
}

void freezeform::onTimer1()
{
    runFreeze(true);
}

void freezeform::runFreeze(bool startedByDrop)
{
    if (startedByDrop) {
        if (session_.FreezeDropPending != kSet)
            return;
        session_.FreezeDropPending = kClear;
        showPendingFiles();
    }
    if (RefusedWhileJobRuns(session_, this))
        return;
    // An empty directory would put the archive at the file-system root; blanks around the
    // text are no part of a folder's name.
    const QString directory = Text2->currentText().trimmed();
    if (directory.isEmpty()) {
        desktop().showMessage(this, QStringLiteral("圧縮先ﾃﾞｨﾚｸﾄﾘが空です。ﾃﾞｨﾚｸﾄﾘを指定してから圧縮してください。"),
                              kTitle);
        return;
    }
    // Everything the job uses is taken now; the fields show it and stay as they are until it ends.
    const QString name = WithArchiveExtension(Text1->text(), session_.options.DefaultArchiveType);
    Text1->setText(name);
    Text2->setEditText(WithTrailingSlash(directory));
    FreezeJob job;
    job.kind = ArchiveKindOf(name);
    job.archivePath = Text2->currentText() + name;
    job.replaceOld = ReplacesOldArchive(job.archivePath, name);
    job.entries = session_.DroppedFiles.mid(0, session_.DroppedCount);
    const QString usedDirectory = Text2->currentText();
    const bool showMessage = Check1->isChecked();
    const bool closeAfter = Check2->isChecked();

    Pack::Archivers& archivers = session_.archivers();
    runJob<FreezeOutcome>(
        QStringLiteral("TEMBREL(圧縮中)"), static_cast<int>(job.entries.size()),
        [job, &archivers](JobContext& context) { return RunFreezeJob(job, archivers, context); },
        [this, job, usedDirectory, showMessage, closeAfter](const FreezeOutcome& outcome) {
            // The old archive that the new one replaced goes to the trash, where it can still
            // be found and put back where it was.
            if (outcome.replacedOld) {
                if (!desktop().moveToTrash(outcome.replacedOld->path, job.archivePath))
                    QFile::remove(outcome.replacedOld->path);
                DropSetAsideDirectory(*outcome.replacedOld);
            }
            if (outcome.usedDirectory && RememberDirectory(FreezeDirHistory, usedDirectory))
                listHistory();
            JobEnding ending;
            if (!outcome.succeeded()) {
                const FreezeReport report = FailureMessage(outcome, job.archivePath);
                ending.report = report.text;
                ending.detail = report.detail;
            } else if (showMessage) {
                ending.finished = QStringLiteral("圧縮が終了しました");
                ending.folder = QFileInfo(job.archivePath).absolutePath();
            }
            ending.close = closeAfter;
            return ending;
        });
}
