// The extraction job apart from its window, over a scripted engine: what it runs, where it
// stops when cancelled, and how the window applies each outcome (questions, cancel, close).
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>

#include "melt/MeltRun.h"
#include "services/JobRunner.h"
#include "services/ProgressWindow.h"
#include "services/Session.h"
#include "shell/DropReception.h"
#include "shell/TerminationSignals.h"
#include "shell/iconform.h"
#include "support/Drops.h"
#include "support/FakeArchivers.h"
#include "support/FakeDesktop.h"
#include "support/IconDriver.h"
#include "support/MeltDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

// A context of the job's own thread: cancelled after a number of progress reports.
struct ScriptedContext final : JobContext {
    int cancelAfterReports = -1;  // -1: never
    bool startCancelled = false;
    int reports = 0;
    QStringList archives;
    bool cancelled() const override
    {
        return startCancelled || (cancelAfterReports >= 0 && reports >= cancelAfterReports);
    }
    void beginArchive(const QString& archive, const QString&) override { archives << archive; }
    void beginStep(const QString&, int) override {}
    bool archiveDeclined() const override { return false; }
    QStringList filesCreated() const override { return {}; }
    QStringList foldersCreated() const override { return {}; }
    void cancelJob() override { startCancelled = true; }
    bool goOnWithoutRoom(std::uint64_t, std::uint64_t) override { return true; }
    bool progress(const Pack::Progress&) override
    {
        ++reports;
        return !cancelled();
    }
};

using State = EntryOutcome::State;

QList<int> statesOf(const MeltOutcome& outcome)
{
    QList<int> states;
    for (const EntryOutcome& entry : outcome.entries)
        states << int(entry.state);
    return states;
}

ProgressWindow* shownProgressWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<ProgressWindow*>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class MeltJobTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<FakeArchivers> engine_;
    std::unique_ptr<ScopedFakeDesktop> desktop_;

    MeltDriver openWith(const QStringList& archives, int followUp = 0)
    {
        // The window extracts only archives that are there; the scripted engine never reads them.
        for (const QString& archive : archives) {
            if (!QFile::exists(archive))
                writeFile(archive, {});
        }
        session().RecordDroppedFiles(archives);
        MeltDriver melt = MeltDriver::open(QuotedList(archives));
        melt.typeDestination(out());
        melt.chooseFollowUp(followUp);
        return melt;
    }
    QString out() const { return dir_.path() + "/out"; }

private slots:
    void initTestCase()
    {
        WatchTerminationSignals([] { RequestEndProgram(true, false); });
    }
    void init()
    {
        StartFreshProgram();
        engine_ = std::make_unique<FakeArchivers>();
        session().engine = engine_.get();
        desktop_ = std::make_unique<ScopedFakeDesktop>();
    }
    void cleanup()
    {
        ResetProgram();
        desktop_.reset();
    }

    // Each archive is one command in order, a set once at its first volume whichever volume
    // came first; other names are passed over; the destination gains its "/" from the first
    // archive whose plug-in answers.
    void theJobRunsOneCommandPerArchive()
    {
        engine_->missing = {Pack::Plugin::Unlha};
        ScriptedContext context;
        const MeltJob job{{"/in/notes.txt", "/in/a.LZH", "/in/b.zip", "/in/c.zip", "/in/d.Tar.Gz", "/in/e.part2.rar",
                           "/in/e.part1.rar"},
                          "/out/",
                          true};
        QList<Pack::Plugin> plugins;
        engine_->script = [&](Pack::Plugin plugin, const QString& command, Pack::Listener&) {
            plugins << plugin;
            return command.contains("c.zip") ? FailedWith(Pack::CrcMismatch, "x.txt") : Pack::CommandResult{};
        };
        const MeltOutcome outcome = RunMeltJob(job, *engine_, context);
        QCOMPARE(statesOf(outcome),
                 (QList<int>{int(State::NotArchive), int(State::PluginMissing), int(State::Extracted),
                             int(State::Failed), int(State::Extracted), int(State::Extracted), int(State::SameSet)}));
        QCOMPARE(engine_->commands(),
                 (QStringList{"-xv --i \"/in/b.zip\" \"/out/b/\"", "-xv --i \"/in/c.zip\" \"/out/c/\"",
                              "x -n \"/in/d.Tar.Gz\" \"/out/d/\"", "x -n \"/in/e.part1.rar\" \"/out/e/\""}));
        QCOMPARE(plugins, (QList<Pack::Plugin>{Pack::Plugin::UnZip, Pack::Plugin::UnZip, Pack::Plugin::UnArc,
                                               Pack::Plugin::UnArc}));
        QCOMPARE(ArchivesIn(job.entries), 5);
        QVERIFY(outcome.usedDestination());
        QVERIFY(!outcome.cancelled);
    }

    // The folder named after the archive is left out only when the whole list sits inside it.
    void anArchiveOfItsOwnFolderIsNotDoubled_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("listing");
        QTest::addColumn<bool>("doubled");
        QTest::newRow("all inside") << "/in/b.zip" << 0 << "/b/x\n./b/y/z\nb/\n" << false;
        QTest::newRow("zip backslash") << "/in/b.zip" << 0 << "b\\x\n" << false;
        QTest::newRow("lzh backslash") << "/in/b.lzh" << 0 << "b\\x\n" << true;
        QTest::newRow("lzh inside") << "/in/b.lzh" << 0 << "b/\nb/x\n" << false;
        QTest::newRow("one outside") << "/in/b.zip" << 0 << "b/x\nc\n" << true;
        QTest::newRow("a file of the name") << "/in/b.zip" << 0 << "b\n" << true;
        QTest::newRow("another case") << "/in/b.zip" << 0 << "B/x\n" << true;
        QTest::newRow("cut short") << "/in/b.zip" << 0 << "b/x\nc" << true;
        QTest::newRow("empty") << "/in/b.zip" << 0 << "" << true;
        QTest::newRow("not listed") << "/in/b.zip" << int(Pack::ArchiveCorrupt) << "b/x\n" << true;
    }
    void anArchiveOfItsOwnFolderIsNotDoubled()
    {
        QFETCH(QString, archive);
        QFETCH(int, code);
        QFETCH(QString, listing);
        QFETCH(bool, doubled);
        QStringList lists;
        engine_->lister = [&](Pack::Plugin, const QString& command) {
            lists << command;
            return Pack::CommandResult{code, listing, {}};
        };
        ScriptedContext context;
        RunMeltJob({{archive}, "/out/", true}, *engine_, context);
        QCOMPARE(lists, QStringList{(archive.endsWith("zip") ? "-l \"" : "l \"") + archive + "\""});
        QCOMPARE(engine_->commands().size(), 1);
        QVERIFY(engine_->commands()[0].endsWith(doubled ? "\"/out/b/\"" : "\"/out/\""));
    }

    // Enter presses the focused button, else 解凍; Esc closes from any field.
    void theKeyboardRunsAndCloses_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("runs");
        QTest::newRow("Enter in the archive") << "Text1" << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter in the destination") << "Text2" << int(Qt::Key_Enter) << true;
        QTest::newRow("Enter on a tick") << "Check1" << int(Qt::Key_Return) << true;
        QTest::newRow("Enter on 閉じる") << "endbutton" << int(Qt::Key_Return) << false;
        QTest::newRow("Esc in the destination") << "Text2" << int(Qt::Key_Escape) << false;
    }
    void theKeyboardRunsAndCloses()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, runs);
        openWith({dir_.path() + "/in/a.zip"}).key(focus, Qt::Key(key));
        WAIT_FOR_JOB();
        QCOMPARE(engine_->commands().size(), runs ? 1 : 0);
        QCOMPARE(ExistingMeltWindow() != nullptr, runs);
    }

    // One Enter with the history list or the completion open picks the row and runs the job,
    // once.
    void oneEnterFromAPopupRunsTheJob_data()
    {
        QTest::addColumn<bool>("completion");
        QTest::newRow("history list") << false;
        QTest::newRow("completion") << true;
    }
    void oneEnterFromAPopupRunsTheJob()
    {
        QFETCH(bool, completion);
        WriteRaw("mdir1", out() + "/h1/");
        MeltDriver melt = openWith({dir_.path() + "/in/a.zip"});
        auto* combo = melt.control<QComboBox>("Text2");
        QAbstractItemView* popup = completion ? combo->completer()->popup() : combo->view();
        if (completion) {
            melt.typeDestination("");
            QTest::keyClicks(combo->lineEdit(), out() + "/h");
        } else {
            combo->showPopup();
        }
        QTRY_VERIFY(popup->isVisible());
        popup->setCurrentIndex(popup->model()->index(0, 0));
        QTest::keyClick(popup, Qt::Key_Return);
        QTRY_COMPARE(desktop_->fake.messages.size(), 1);
        QCOMPARE(desktop_->fake.messages[0].text, QString("解凍が終了しました"));
        QCOMPARE(engine_->commands().size(), 1);
        QVERIFY2(engine_->commands()[0].endsWith("\"" + out() + "/h1/\""), qPrintable(engine_->commands()[0]));
    }

    // What is typed into the destination is what the job gets, whatever the history holds.
    void theDestinationIsTakenAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("another case") << "/OUT/h1";
        QTest::newRow("the start of a row") << "/out/h";
        QTest::newRow("a row with more") << "/out/h1/more";
    }
    void theDestinationIsTakenAsTyped()
    {
        QFETCH(QString, typed);
        WriteRaw("mdir1", "/out/h1/");
        WriteRaw("mdir2", "/out/h2/");
        MeltDriver melt = openWith({dir_.path() + "/in/a.zip"});
        melt.typeDestination(typed);
        QCOMPARE(melt.destination(), typed);
        melt.key("Text2", Qt::Key_Return);
        WAIT_FOR_JOB();
        QCOMPARE(engine_->commands().size(), 1);
        QVERIFY2(engine_->commands()[0].endsWith("\"" + typed + "/\""), qPrintable(engine_->commands()[0]));
    }

    void cancellingStopsAtThatPoint_data()
    {
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<int>("afterReports");
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<int>("commands");
        QTest::newRow("before the first archive")
            << true << -1 << QList<int>{int(State::NotReached), int(State::NotReached), int(State::NotReached)} << 0;
        QTest::newRow("inside the first")
            << false << 1 << QList<int>{int(State::Cancelled), int(State::NotReached), int(State::NotReached)} << 1;
        QTest::newRow("inside the second")
            << false << 3 << QList<int>{int(State::Extracted), int(State::Cancelled), int(State::NotReached)} << 2;
    }
    void cancellingStopsAtThatPoint()
    {
        QFETCH(bool, atStart);
        QFETCH(int, afterReports);
        QFETCH(QList<int>, states);
        QFETCH(int, commands);
        ScriptedContext context;
        context.startCancelled = atStart;
        context.cancelAfterReports = afterReports;
        // Each command reports twice, or stops when told.
        engine_->script = [](Pack::Plugin, const QString&, Pack::Listener& listener) {
            for (int i = 0; i < 2; ++i) {
                if (!listener.progress({}))
                    return FailedWith(Pack::Cancelled, {});
            }
            return Pack::CommandResult{};
        };
        const MeltOutcome outcome =
            RunMeltJob({{"/in/1.zip", "/in/2.zip", "/in/3.zip"}, "/out/", false}, *engine_, context);
        QCOMPARE(statesOf(outcome), states);
        QCOMPARE(engine_->commands().size(), commands);
        QVERIFY(outcome.cancelled);
    }

    // The worker's progress reaches the progress window while the job waits.
    void progressShowsInTheProgressWindow()
    {
        // Shared with the job, which may outlive this function when a check fails.
        const auto release = std::make_shared<QSemaphore>();
        engine_->script = [release](Pack::Plugin, const QString&, Pack::Listener& listener) {
            Pack::Progress progress;
            progress.entryName = "docs/readme.txt";
            progress.jobBytesDone = 250;
            progress.jobBytesTotal = 1000;
            listener.progress(progress);
            release->acquire();
            return Pack::CommandResult{};
        };
        MeltDriver melt = openWith({dir_.path() + "/in/first.zip"});
        melt.pressMelt();
        auto letGo = qScopeGuard([release] { release->release(); });
        QVERIFY(session().jobRunning);
        QTRY_VERIFY(shownProgressWindow());
        ProgressWindow* progress = shownProgressWindow();
        QTRY_COMPARE(progress->percent(), 25);
        QVERIFY(progress->archiveText().startsWith("first.zip"));
        QCOMPARE(progress->entryText(), QString("docs/readme.txt"));
        QVERIFY(melt.isVisible() && !melt.window()->isMinimized());
        // A second job is refused while this one runs.
        melt.pressMelt();
        QCOMPARE(desktop_->fake.messages.size(), 1);
        QVERIFY(desktop_->fake.messages[0].text.contains("一度に一つの処理"));
        letGo.dismiss();
        release->release();
        WAIT_FOR_JOB();
        QVERIFY(!shownProgressWindow());
        QCOMPARE(desktop_->fake.messages.last().text, QString("解凍が終了しました"));
        QVERIFY(melt.isVisible() && !melt.window()->isMinimized());
    }

    // A wrong password asks again; the right one goes on; nothing of it is kept afterwards.
    void aWrongPasswordAsksAgain()
    {
        QStringList given;
        engine_->script = [&](Pack::Plugin, const QString&, Pack::Listener& listener) {
            for (unsigned attempt = 1;; ++attempt) {
                const std::optional<QString> answer = listener.passphrase("/in/secret.zip", "a.txt", attempt);
                if (!answer)
                    return FailedWith(Pack::PasswordRequired, "a.txt");
                given << *answer;
                if (*answer == "right")
                    return Pack::CommandResult{};
            }
        };
        desktop_->fake.passwords = {QString("wrong"), QString("right")};
        openWith({dir_.path() + "/in/secret.zip"}).pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(given, (QStringList{"wrong", "right"}));
        QCOMPARE(desktop_->fake.passwordPrompts, (QList<bool>{false, true}));
        QCOMPARE(desktop_->fake.passwordArchives.first(), QString("secret.zip"));
        QCOMPARE(desktop_->fake.messages.last().text, QString("解凍が終了しました"));
    }

    // キャンセル at the password skips that archive with a message, removes what it wrote,
    // and the job goes on with the next archive.
    void aDeclinedPasswordSkipsTheArchive()
    {
        const QString secret = dir_.path() + "/in/secret.zip", plain = dir_.path() + "/in/plain.zip";
        writeFile(secret, "s");
        writeFile(plain, "p");
        engine_->script = [&](Pack::Plugin, const QString& command, Pack::Listener& listener) {
            Pack::Progress progress;
            progress.entryName = "open.txt";
            listener.progress(progress);
            writeFile(out() + "/open.txt", "written before the encrypted entry");
            if (command.contains("secret.zip")) {
                progress.entryName = "locked.txt";
                if (!listener.progress(progress) || !listener.passphrase(secret, "locked.txt", 1))
                    return FailedWith(Pack::PasswordRequired, "locked.txt");
            }
            return Pack::CommandResult{};
        };
        MeltDriver melt = openWith({secret, plain}, 1);
        melt.messageAtEnd(false);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(engine_->commands().size(), 2);
        QVERIFY(QFile::exists(secret));  // not deleted: it was not extracted
        QVERIFY(!QFile::exists(plain));  // extracted, then deleted as asked
        QCOMPARE(desktop_->fake.messages.size(), 1);
        const QString text = desktop_->fake.messages[0].text;
        QVERIFY2(text.contains(secret) && text.contains("パスワード") && !text.contains(plain), qPrintable(text));
    }

    // Answers to the overwrite question reach the engine; an "all" answer is asked once.
    void overwriteAnswersReachTheEngine()
    {
        QList<Pack::Overwrite> seen;
        engine_->script = [&](Pack::Plugin, const QString&, Pack::Listener& listener) {
            for (int i = 0; i < 3; ++i) {
                Pack::ExistingFile file;
                file.path = QString("f%1.txt").arg(i);
                file.existingSize = 10;
                file.newSize = 20;
                seen << listener.exists(file);
            }
            return Pack::CommandResult{};
        };
        desktop_->fake.overwriteAnswers = {Pack::Overwrite::Skip, Pack::Overwrite::OverwriteAll};
        openWith({dir_.path() + "/in/a.zip"}).pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(seen, (QList<Pack::Overwrite>{Pack::Overwrite::Skip, Pack::Overwrite::OverwriteAll,
                                               Pack::Overwrite::Overwrite}));
        QCOMPARE(desktop_->fake.overwritePrompts.size(), 2);
        QCOMPARE(desktop_->fake.overwritePrompts[1].path, QString("f1.txt"));
    }

    // キャンセル in the progress window (or in the overwrite question) stops the job: "中止しました",
    // no completion message, no follow-up, the window back.
    void cancelStopsTheJob_data()
    {
        QTest::addColumn<bool>("fromQuestion");
        QTest::newRow("progress window") << false;
        QTest::newRow("overwrite question") << true;
    }
    void cancelStopsTheJob()
    {
        QFETCH(bool, fromQuestion);
        const QString first = dir_.path() + "/in/first.zip", second = dir_.path() + "/in/second.zip";
        writeFile(first, "1");
        writeFile(second, "2");
        engine_->script = [&](Pack::Plugin, const QString&, Pack::Listener& listener) {
            if (fromQuestion && listener.exists({"x", 1, {}, 2, {}}) == Pack::Overwrite::Cancel)
                return FailedWith(Pack::Cancelled, {});
            return RunUntilCancelled(listener);
        };
        MeltDriver melt = openWith({first, second}, 1);
        melt.pressMelt();
        if (!fromQuestion) {
            QTRY_COMPARE(engine_->commands().size(), 1);  // the first archive is under way
            QVERIFY(shownProgressWindow());
            shownProgressWindow()->findChild<QPushButton*>("cancel")->click();
            QCOMPARE(desktop_->fake.questions, QStringList{"処理を中止しますか"});
        }
        WAIT_FOR_JOB();
        QCOMPARE(engine_->commands().size(), 1);
        QVERIFY(QFile::exists(first) && QFile::exists(second));
        QCOMPARE(desktop_->fake.messages.size(), 1);
        QCOMPARE(desktop_->fake.messages[0].text, QString("中止しました"));
        QCOMPARE(desktop_->fake.beeps, 1);
        QVERIFY(melt.isVisible());
    }

    // The question that closing or 終了 asks while a job runs: はい stops the job quietly and
    // then closes or ends; いいえ lets it go on; when the job ends first the question is taken
    // away and the close or the end happens after the job's own ending.
    void stoppingForACloseOrTheEnd_data()
    {
        QTest::addColumn<bool>("theEnd");
        QTest::addColumn<QString>("answer");
        for (bool theEnd : {false, true}) {
            const char* what = theEnd ? "終了, " : "close, ";
            QTest::addRow("%sはい", what) << theEnd << "yes";
            QTest::addRow("%sいいえ", what) << theEnd << "no";
            QTest::addRow("%sthe job ends first", what) << theEnd << "none";
        }
    }
    void stoppingForACloseOrTheEnd()
    {
        QFETCH(bool, theEnd);
        QFETCH(QString, answer);
        const auto finish = std::make_shared<std::atomic<bool>>(false);
        engine_->script = [finish](Pack::Plugin, const QString&, Pack::Listener& listener) {
            while (!finish->load()) {
                if (!listener.progress({}))
                    return FailedWith(Pack::Cancelled, {});
                QThread::msleep(1);
            }
            return Pack::CommandResult{};
        };
        auto letGo = qScopeGuard([finish] { finish->store(true); });
        desktop_->fake.answerYes = std::nullopt;
        MeltDriver melt = openWith({dir_.path() + "/in/a.zip"});
        melt.pressMelt();
        QTRY_VERIFY(shownProgressWindow());
        if (theEnd)
            IconDriver().chooseFromMenu("mend");
        else
            melt.closeFromTitleBar();
        QVERIFY(desktop_->fake.questionUp());
        melt.pressClose();  // asked once only
        QCOMPARE(desktop_->fake.questions, QStringList{"処理を中止しますか"});
        if (answer == "none")
            finish->store(true);
        else
            desktop_->fake.answer(answer == "yes");
        if (answer == "no") {
            QVERIFY(session().jobRunning);
            finish->store(true);
        }
        WAIT_FOR_JOB();
        const bool stays = answer == "no";
        QCOMPARE(desktop_->fake.withdrawn, answer == "none" ? 1 : 0);
        QVERIFY(!desktop_->fake.questionUp());
        // A stopped job says nothing; one that ended on its own ends as usual.
        QCOMPARE(desktop_->fake.messages.size(), answer == "yes" ? 0 : 1);
        QTRY_COMPARE(ExistingMeltWindow() != nullptr, stays);
        QCOMPARE(IconWindow() != nullptr, stays || !theEnd);
        if (!stays && !theEnd)
            QVERIFY(IsDropHooked(IconWindow()));
        // Nothing is left waiting to end the program after a later job.
        if (stays) {
            melt.pressMelt();
            WAIT_FOR_JOB();
            QVERIFY(IconWindow() && ExistingMeltWindow());
        }
    }

    // SIGTERM stops a running job as キャンセル does, without a question, and the program ends
    // as 終了 ends it, keeping the icon's place.
    void aTerminationSignalStopsTheJobAndEnds()
    {
        engine_->script = [](Pack::Plugin, const QString&, Pack::Listener& listener) {
            return RunUntilCancelled(listener);
        };
        IconWindow()->move(40, 20);
        openWith({dir_.path() + "/in/a.zip"}).pressMelt();
        QTRY_VERIFY(shownProgressWindow());
        ::raise(SIGTERM);
        WAIT_FOR_JOB();
        QTRY_VERIFY(!IconWindow());
        QVERIFY(desktop_->fake.questions.isEmpty());
        QVERIFY(desktop_->fake.messages.isEmpty());
        QCOMPARE(StoredText("iconleft"), QString("600"));
    }

    // What 解凍 was pressed with is what the job and its follow-up use: the fields are shut while
    // it runs, a drop changes nothing, and the history takes the destination once, as used.
    void theJobKeepsWhatWasAsked()
    {
        const QString archive = dir_.path() + "/in/kept.zip";
        const auto finish = std::make_shared<QSemaphore>();
        engine_->script = [finish](Pack::Plugin, const QString&, Pack::Listener&) {
            finish->acquire();
            return Pack::CommandResult{};
        };
        auto letGo = qScopeGuard([finish] { finish->release(); });
        QDir().mkpath(dir_.path() + "/moved");
        MeltDriver melt = openWith({archive}, 3);
        melt.typeMoveDirectory(dir_.path() + "/moved ");
        melt.typeDestination(out() + " ");
        melt.pressMelt();
        QTRY_VERIFY(shownProgressWindow());
        for (const char* input : {"Text1", "refbutton", "Text2", "Command1", "Option1(0)", "Text3", "Command2",
                                  "Check1", "Check2", "Check3"})
            QVERIFY2(!melt.isEnabled(input), input);
        melt.chooseFollowUp(0);
        melt.typeMoveDirectory("");
        melt.typeDestination("/elsewhere");
        melt.closeAfterJob(true);
        QVERIFY(DropFiles(melt.window(), {dir_.path() + "/in/other.zip"}));  // taken, then refused
        QTRY_COMPARE(desktop_->fake.messages.size(), 1);
        QVERIFY(desktop_->fake.messages[0].text.contains("一度に一つの処理"));
        QCOMPARE(melt.archive(), archive);
        letGo.dismiss();
        finish->release();
        WAIT_FOR_JOB();
        QVERIFY(QFile::exists(dir_.path() + "/moved/kept.zip"));
        QVERIFY(!QFile::exists(archive));
        QCOMPARE(engine_->commands(), QStringList{"-xv --i \"" + archive + "\" \"" + out() + "/\""});
        QCOMPARE(melt.destination(), out() + "/");
        QCOMPARE(melt.rows("Text2").mid(0, 2), (QStringList{out() + "/", ""}));
        QVERIFY(melt.isVisible());
    }

    // Before anything is written, an archive declared larger than the room left asks whether
    // to go on; キャンセル stops the job there.
    void anArchiveThatDoesNotFitAsks_data()
    {
        QTest::addColumn<bool>("huge");
        QTest::addColumn<bool>("goOn");
        QTest::newRow("fits") << false << true;
        QTest::newRow("too big, 続ける") << true << true;
        QTest::newRow("too big, キャンセル") << true << false;
    }
    void anArchiveThatDoesNotFitAsks()
    {
        QFETCH(bool, huge);
        QFETCH(bool, goOn);
        engine_->script = [&](Pack::Plugin, const QString&, Pack::Listener& listener) {
            Pack::Progress declared;
            declared.jobBytesTotal = huge ? (std::uint64_t(1) << 62) : 1;
            if (!listener.progress(declared))
                return FailedWith(Pack::Cancelled, {});
            writeFile(out() + "/a/written.txt", "x");
            return Pack::CommandResult{};
        };
        desktop_->fake.continueAnswer = goOn;
        QDir(out()).removeRecursively();
        openWith({dir_.path() + "/in/a.zip", dir_.path() + "/in/b.zip"}).pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(desktop_->fake.continueQuestions.size(), huge ? (goOn ? 2 : 1) : 0);
        if (huge)
            QVERIFY2(desktop_->fake.continueQuestions[0].contains("空き容量が足りない") &&
                         desktop_->fake.continueQuestions[0].contains("a.zip"),
                     qPrintable(desktop_->fake.continueQuestions[0]));
        QCOMPARE(engine_->commands().size(), goOn ? 2 : 1);
        QCOMPARE(QFile::exists(out() + "/a/written.txt"), goOn);
        QCOMPARE(desktop_->fake.messages.last().text, QString(goOn ? "解凍が終了しました" : "中止しました"));
    }

    // An archive that fails or is stopped takes away the empty folders it made, and only those.
    void foldersAFailedArchiveMadeGo()
    {
        QDir().mkpath(out() + "/b/there before");
        engine_->script = [&](Pack::Plugin, const QString& command, Pack::Listener& listener) {
            for (const char* entry : {"a/b/c.txt", "there before/d.txt", "e/"}) {
                Pack::Progress progress;
                progress.entryName = entry;
                listener.progress(progress);
            }
            const QString output = command.section('"', 3, 3);
            QDir().mkpath(output + "a/b");
            QDir().mkpath(output + "e");
            return FailedWith(Pack::CrcMismatch, "a/b/c.txt");
        };
        MeltDriver melt = openWith({dir_.path() + "/in/b.zip"});
        melt.intoStemFolder(true);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(QDir(out() + "/b").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"there before"});
        melt.intoStemFolder(false);
        QDir(out()).removeRecursively();
        melt.pressMelt();  // the destination itself was made by the failed archive
        WAIT_FOR_JOB();
        QVERIFY(!QFileInfo::exists(out()));
    }
};

TEMBREL_TEST_MAIN(MeltJobTest)
#include "tst_meltjob.moc"
