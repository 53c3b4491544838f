// The extraction window's layout, its settings, its choosers and its close and switch paths.
#include "melt/meltform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include "melt/MeltEnding.h"
#include "melt/MeltRun.h"
#include "services/ArchiveKind.h"
#include "services/Choosers.h"
#include "services/ComboText.h"
#include "services/Desktop.h"
#include "services/RadioGroup.h"
#include "services/Session.h"
#include "services/Settings.h"
#include "services/Twips.h"

namespace {

const QString kTitle = QStringLiteral("tembrel");

QPushButton* browseButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(QStringLiteral("参照"));
    return button;
}

}  // namespace

meltform::meltform(Session& session) : JobWindow(session)
{
    setObjectName(QStringLiteral("meltform"));
    setWindowTitle(QStringLiteral("TEMBREL(解凍)"));
    createControls();
    createMenus();
    setTabOrderByTable();
    connectSignals();
    watchForHints();
}

void meltform::createControls()
{
    // Every control sits inside Frame2, which is the whole client area; the window keeps the
    // frame's size.
    Frame2 = new QGroupBox(QStringLiteral("解凍"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setFixedSize(TwipsToPixels(6855), TwipsToPixels(3375));
    setCentralWidget(Frame2);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Label2 = Placed(new QLabel(QStringLiteral("書庫  :"), Frame2), "Label2", 840, 240, 615, 255);
    Text1 = Placed(new QLineEdit(Frame2), "Text1", 1440, 240, 4935, 270);
    // The hint area has room for the two lines on LZH and ZIP only.
    Text1->setToolTip(
        QStringLiteral("LZH、ZIPのほか、7z、RAR、tar (.tar.gz、.tar.xz など)、CAB、ISO、cpio、xar の書庫と"
                       "分割された書庫 (.001、.part1.rar) も解凍できます。"));
    refbutton = browseButton(Frame2, "refbutton");
    PlaceInTwips(refbutton, 6480, 240, 255, 255);

    Label1 = Placed(new QLabel(QStringLiteral("解凍先ﾃﾞｨﾚｸﾄﾘ :"), Frame2), "Label1", 120, 600, 1335, 255);
    Text2 = new QComboBox(Frame2);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setEditable(true);
    // The list is the history alone: typing a directory and pressing Enter adds no row.
    Text2->setInsertPolicy(QComboBox::NoInsert);
    KeepTypedText(Text2);
    runOnEnterInPopups(Text2);
    PlaceInTwips(Text2, 1440, 600, 4935, 300);
    Command1 = browseButton(Frame2, "Command1");
    PlaceInTwips(Command1, 6480, 600, 255, 255);

    createFollowUpFrame();
    createOptionsFrame();

    omsgbox = new QLabel(Frame2);
    omsgbox->setObjectName(QStringLiteral("omsgbox"));
    omsgbox->setWordWrap(true);
    omsgbox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceInTwips(omsgbox, 3600, 1920, 3135, 975);

    meltbutton = Placed(new QPushButton(QStringLiteral("解凍"), Frame2), "meltbutton", 3600, 3000, 975, 255);
    tomelt = Placed(new QPushButton(QStringLiteral("圧縮..."), Frame2), "tomelt", 4680, 3000, 975, 255);
    endbutton = Placed(new QPushButton(QStringLiteral("閉じる"), Frame2), "endbutton", 5760, 3000, 975, 255);
    for (QPushButton* button : Frame2->findChildren<QPushButton*>())
        button->setAutoDefault(true);
    meltbutton->setDefault(true);
}

void meltform::createFollowUpFrame()
{
    Frame3 = Placed(new QGroupBox(QStringLiteral("解凍後の書庫ﾌｧｲﾙ"), Frame2), "Frame3", 120, 960, 6615, 855);
    const char* const captions[4] = {"そのまま", "削除", "ごみ箱へ", "指定したﾃﾞｨﾚｸﾄﾘへ"};
    const int places[4][4] = {
        {240, 240, 975, 255}, {1560, 240, 735, 255}, {2640, 240, 1095, 255}, {240, 480, 1815, 255}};
    option1Group_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        Option1[i] = new QRadioButton(QString::fromUtf8(captions[i]), Frame3);
        Option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        PlaceInTwips(Option1[i], places[i][0], places[i][1], places[i][2], places[i][3]);
        option1Group_->addButton(Option1[i], i);
    }
    Option1[0]->setChecked(true);
    MakeOneTabStop(option1Group_);
    Text3 = Placed(new QLineEdit(Frame3), "Text3", 2040, 480, 4095, 270);
    Command2 = browseButton(Frame3, "Command2");
    PlaceInTwips(Command2, 6240, 480, 255, 255);
}

void meltform::createOptionsFrame()
{
    Frame1 = Placed(new QGroupBox(QStringLiteral("解凍ｵﾌﾟｼｮﾝ"), Frame2), "Frame1", 120, 1810, 3375, 1455);
    Check1 = Placed(new QCheckBox(QStringLiteral("書庫名でﾃﾞｨﾚｸﾄﾘ作成"), Frame1), "Check1", 240, 240, 2055, 255);
    Check3 = Placed(new QCheckBox(QStringLiteral("解凍後にﾌｫｰﾑを閉じる"), Frame1), "Check3", 240, 480, 2055, 255);
    Check2 = new QCheckBox(QStringLiteral("解凍後にﾒｯｾｰｼﾞを表示する"), Frame1);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setChecked(true);
    PlaceInTwips(Check2, 240, 720, 2415, 255);
    defbutton =
        Placed(new QPushButton(QStringLiteral("現在の解凍先をﾃﾞﾌｫﾙﾄに"), Frame1), "defbutton", 240, 1080, 2895, 255);
}

void meltform::createMenus()
{
    mfile = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mfile->setObjectName(QStringLiteral("mfile"));
    mmelt = mfile->addAction(QStringLiteral("解凍(&F)"));
    mmelt->setObjectName(QStringLiteral("mmelt"));
    mfreeze = mfile->addAction(QStringLiteral("圧縮...(&M)"));
    mfreeze->setObjectName(QStringLiteral("mfreeze"));
    sep = mfile->addSeparator();
    sep->setObjectName(QStringLiteral("sep"));
    mend = mfile->addAction(QStringLiteral("閉じる(&C)"));
    mend->setObjectName(QStringLiteral("mend"));
    moption = menuBar()->addAction(QStringLiteral("設定(&O)"));
    moption->setObjectName(QStringLiteral("moption"));
}

void meltform::setTabOrderByTable()
{
    // Frames and labels take no focus; the rest follow the order of the window's layout.
    QWidget* const order[] = {Text1,      refbutton,  Text2,      Command1, Option1[0], Option1[1],
                              Option1[2], Option1[3], Text3,      Command2, Check1,     Check3,
                              Check2,     defbutton,  meltbutton, tomelt,   endbutton};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void meltform::connectSignals()
{
    connect(meltbutton, &QPushButton::clicked, this, &meltform::startJob);
    connect(mmelt, &QAction::triggered, this, &meltform::startJob);
    connect(endbutton, &QPushButton::clicked, this, &meltform::closeWindow);
    connect(mend, &QAction::triggered, this, &meltform::closeWindow);
    connect(tomelt, &QPushButton::clicked, this, &meltform::switchWindow);
    connect(mfreeze, &QAction::triggered, this, &meltform::switchWindow);
    connect(moption, &QAction::triggered, this, &meltform::optionsRequested);
    connect(refbutton, &QPushButton::clicked, this, &meltform::pickArchive);
    connect(Command1, &QPushButton::clicked, this, &meltform::pickDestination);
    connect(Command2, &QPushButton::clicked, this, &meltform::pickMoveDirectory);
    connect(defbutton, &QPushButton::clicked, this, &meltform::saveDefaultDestination);
}

void meltform::watchForHints()
{
    for (QWidget* widget : {static_cast<QWidget*>(Text1), static_cast<QWidget*>(Check1),
                            static_cast<QWidget*>(defbutton), static_cast<QWidget*>(meltbutton)}) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    }
    Text2->installEventFilter(this);
}

bool meltform::eventFilter(QObject* watched, QEvent* event)
{
    QString hint;
    if (event->type() == QEvent::MouseMove) {
        if (watched == Text1)
            hint = QStringLiteral("解凍する書庫ﾌｧｲﾙ名を入力してください。") + QLatin1Char('\n') +
                   QStringLiteral("LZH、ZIPﾌｧｲﾙに対応しています。");
        else if (watched == Check1)
            hint = QStringLiteral("解凍先ﾃﾞｨﾚｸﾄﾘの下に書庫名でﾃﾞｨﾚｸﾄﾘを作成し、ﾌｧｲﾙを解凍します");
        else if (watched == defbutton)
            hint = QStringLiteral("現在入力されているﾃﾞｨﾚｸﾄﾘをﾃﾞﾌｫﾙﾄに設定します。"
                                  "設定すると、次回から設定したﾃﾞｨﾚｸﾄﾘがあらかじめ表示されます。");
        else if (watched == meltbutton)
            hint = QStringLiteral("書庫を解凍します。終了時には、Beep音とﾎﾟｯﾌﾟｱｯﾌﾟﾒｯｾｰｼﾞでお知らせします。");
    } else if (event->type() == QEvent::FocusIn && watched == Text2) {
        hint = QStringLiteral("解凍したﾌｧｲﾙを置くﾃﾞｨﾚｸﾄﾘを指定してください。");
    }
    // A hint stays until another replaces it.
    if (!hint.isEmpty() && omsgbox->text() != hint)
        omsgbox->setText(hint);
    return JobWindow::eventFilter(watched, event);
}

QList<QWidget*> meltform::jobInputs() const
{
    return {Text1, refbutton, Text2, Command1, Frame3, Frame1};
}

QPushButton* meltform::mainButton() const
{
    return meltbutton;
}

void meltform::setArchive(const QString& archives)
{
    Text1->setText(archives);
}

void meltform::restrictToExtraction()
{
    Check3->setEnabled(false);
    tomelt->setEnabled(false);
    mfreeze->setEnabled(false);
}

void meltform::loaddata()
{
    Check1->setChecked(GetNumberSetting(QStringLiteral("moption1"), 0) == 1);
    Check3->setChecked(GetNumberSetting(QStringLiteral("moption3"), 0) == 1);
    Check2->setChecked(GetNumberSetting(QStringLiteral("moption4"), 1) == 1);
    // An index that is not one of the four buttons (edited by hand) reads as the first.
    const int index = GetNumberSetting(QStringLiteral("moption5"), 0);
    Option1[index >= 0 && index < 4 ? index : 0]->setChecked(true);
    Text3->setText(GetPathSetting(QStringLiteral("mopt5dir")));
    for (int i = 0; i < 5; ++i)
        session_.MeltDirHistory[i] = GetPathSetting(QStringLiteral("mdir%1").arg(i + 1));
    showDirHistory();
    Text2->setEditText(GetPathSetting(QStringLiteral("meltpath")));
}

void meltform::savedata()
{
    SaveNumberSetting(QStringLiteral("moption1"), Check1->isChecked() ? 1 : 0);
    SaveNumberSetting(QStringLiteral("moption3"), Check3->isChecked() ? 1 : 0);
    SaveNumberSetting(QStringLiteral("moption4"), Check2->isChecked() ? 1 : 0);
    SaveNumberSetting(QStringLiteral("moption5"), followUpIndex());
    SavePathSetting(QStringLiteral("mopt5dir"), Text3->text());
    for (int i = 0; i < 5; ++i)
        SavePathSetting(QStringLiteral("mdir%1").arg(i + 1), session_.MeltDirHistory[i]);
}

int meltform::followUpIndex() const
{
    for (int i = 0; i < 4; ++i) {
        if (Option1[i]->isChecked())
            return i;
    }
    return 0;
}

void meltform::showDirHistory()
{
    // Inserting into an empty list selects its first row, which would replace the text.
    const QString text = Text2->currentText();
    for (int i = 4; i >= 0; --i)
        Text2->insertItem(0, session_.MeltDirHistory[i]);
    Text2->setEditText(text);
}

void meltform::startJob()
{
    if (RefusedWhileJobRuns(session_, this))
        return;
    // Everything the job uses is taken now and checked here: a job with nothing to extract
    // would end as "finished", an empty destination would mean the file-system root, and an
    // empty move directory would put the archives who knows where. Blanks around a folder's
    // text are no part of its name.
    const bool oneOrNone = session_.DroppedCount <= 1;
    const QStringList entries =
        oneOrNone ? QStringList{Text1->text()} : session_.DroppedFiles.mid(0, session_.DroppedCount);
    const QString nothing = NothingToExtract(entries);
    if (!nothing.isEmpty()) {
        desktop().showMessage(this, nothing, kTitle);
        return;
    }
    const QString destination = Text2->currentText().trimmed();
    if (destination.isEmpty()) {
        desktop().showMessage(this, QStringLiteral("解凍先ディレクトリを指定してください。"), kTitle);
        return;
    }
    const int followUp = followUpIndex();
    const QString moveDirectory = Text3->text().trimmed();
    if (followUp == 3 && moveDirectory.isEmpty()) {
        desktop().showMessage(this, QStringLiteral("書庫の移動先ディレクトリを指定してください。"), kTitle);
        return;
    }

    if (oneOrNone) {
        if (session_.DroppedFiles.isEmpty())
            session_.DroppedFiles.append(QString());
        session_.DroppedFiles[0] = entries.first();
    }
    const MeltJob job{entries, destination.endsWith(QLatin1Char('/')) ? destination : destination + QLatin1Char('/'),
                      Check1->isChecked()};
    Text2->setEditText(job.destination);
    const bool showMessage = Check2->isChecked();
    const bool closeAfter = Check3->isChecked() || session_.StartedWithFiles == kSet;
    const int archives = ArchivesIn(job.entries);

    Pack::Archivers& archivers = session_.archivers();
    runJob<MeltOutcome>(
        QStringLiteral("TEMBREL(解凍中)"), archives,
        [job, &archivers](JobContext& context) { return RunMeltJob(job, archivers, context); },
        [this, job, followUp, moveDirectory, showMessage, closeAfter](const MeltOutcome& outcome) {
            QList<ArchiveProblem> problems;
            for (const EntryOutcome& entry : outcome.entries) {
                // An archive is dealt with only once all of it was extracted.
                if (entry.state == EntryOutcome::State::Extracted) {
                    const QString failure = FollowUpArchive(followUp, entry.entry, moveDirectory);
                    if (!failure.isEmpty())
                        problems.append({entry.entry, failure, {}});
                } else if (const std::optional<ArchiveProblem> problem = ProblemOf(entry)) {
                    problems.append(*problem);
                }
            }
            if (outcome.usedDestination() && RememberDirectory(session_.MeltDirHistory, job.destination))
                showDirHistory();
            JobEnding ending;
            if (outcome.cancelled || !problems.isEmpty()) {
                const Report report = ReportOf(problems, outcome.cancelled);
                ending.report = report.text;
                ending.detail = report.detail;
            } else if (showMessage) {
                ending.finished = QStringLiteral("解凍が終了しました");
                ending.folder = QDir(job.destination).absolutePath();
            }
            ending.close = closeAfter;
            return ending;
        });
}

void meltform::pickArchive()
{
    const QString chosen =
        PickFile(this,
                 QStringLiteral("書庫ﾌｧｲﾙ") + QChar(u'\0') + ArchivePatterns() + QChar(u'\0') +
                     QStringLiteral("LZH,ZIPﾌｧｲﾙ(.LZH;.ZIP)") + QChar(u'\0') + QStringLiteral("*.lzh;*.zip"),
                 session_.options.DefaultBrowseDir, QStringLiteral("解凍する書庫の指定"));
    if (!chosen.isEmpty())
        Text1->setText(chosen);
}

void meltform::pickDestination()
{
    const QString chosen =
        PickFolder(this, QStringLiteral("解凍先ディレクトリの指定"), session_.options.DefaultBrowseDir);
    if (!chosen.isEmpty())
        Text2->setEditText(chosen);
}

void meltform::pickMoveDirectory()
{
    const QString chosen = PickFolder(this, QStringLiteral("移動先ﾃﾞｨﾚｸﾄﾘの指定"), session_.options.DefaultBrowseDir);
    if (!chosen.isEmpty())
        Text3->setText(chosen);
}

void meltform::saveDefaultDestination()
{
    SavePathSetting(QStringLiteral("meltpath"), Text2->currentText());
}
