// The extraction job apart from its window, over a scripted engine: what it runs, where it
// stops when cancelled, and how the window applies each outcome (questions, cancel, close).
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>

#include "melt/MeltRun.h"
#include "melt/meltform.h"
#include "services/JobRunner.h"
#include "services/ProgressWindow.h"
#include "services/Session.h"
#include "shell/DropReception.h"
#include "shell/iconform.h"
#include "support/FakeArchivers.h"
#include "support/FakeDesktop.h"
#include "support/Run.h"
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

    meltform* openWith(const QStringList& archives, int followUp = 0)
    {
        // The window extracts only archives that are there; the scripted engine never reads them.
        for (const QString& archive : archives) {
            if (!QFile::exists(archive))
                writeFile(archive, {});
        }
        session().RecordDroppedFiles(archives);
        UnhookDropWindow(IconWindow());
        meltform* melt = MeltWindow();
        melt->Text1->setText(QuotedList(archives));
        melt->loaddata();
        melt->Text2->setEditText(out());
        melt->Option1[followUp]->setChecked(true);
        ShowJobWindow(melt);
        return melt;
    }
    QString out() const { return dir_.path() + "/out"; }

private slots:
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

    // Each archive is one command in order; other names are passed over; the destination
    // gains its "/" from the first archive whose plug-in answers.
    void theJobRunsOneCommandPerArchive()
    {
        engine_->missing = {Pack::Plugin::Unlha};
        ScriptedContext context;
        const MeltJob job{{"/in/notes.txt", "/in/a.LZH", "/in/b.zip", "/in/c.zip"}, "/out", true};
        engine_->script = [](Pack::Plugin, const QString& command, Pack::Listener&) {
            return command.contains("c.zip") ? FailedWith(Pack::CrcMismatch, "x.txt") : Pack::CommandResult{};
        };
        const MeltOutcome outcome = RunMeltJob(job, *engine_, context);
        QCOMPARE(statesOf(outcome), (QList<int>{int(State::NotArchive), int(State::PluginMissing),
                                                int(State::Extracted), int(State::Failed)}));
        QCOMPARE(engine_->commands(),
                 (QStringList{"-xv --i \"/in/b.zip\" \"/out/b/\"", "-xv --i \"/in/c.zip\" \"/out/c/\""}));
        QCOMPARE(outcome.destination, QString("/out/"));
        QCOMPARE(outcome.slashFrom, 2);
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
        RunMeltJob({{archive}, "/out", true}, *engine_, context);
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
        meltform* melt = openWith({dir_.path() + "/in/a.zip"});
        QTest::keyClick(melt->findChild<QWidget*>(focus), Qt::Key(key));
        WAIT_FOR_JOB();
        QCOMPARE(engine_->commands().size(), runs ? 1 : 0);
        QCOMPARE(ExistingMeltWindow() != nullptr, runs);
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
        meltform* melt = openWith({dir_.path() + "/in/a.zip"});
        melt->Text2->clearEditText();
        QTest::keyClicks(melt->Text2, typed);
        QCOMPARE(melt->Text2->currentText(), typed);
        QTest::keyClick(melt->Text2, Qt::Key_Return);
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
        meltform* melt = openWith({dir_.path() + "/in/first.zip"});
        melt->meltbutton->click();
        auto letGo = qScopeGuard([release] { release->release(); });
        QVERIFY(session().jobRunning);
        QTRY_VERIFY(shownProgressWindow());
        ProgressWindow* progress = shownProgressWindow();
        QTRY_COMPARE(progress->percent(), 25);
        QVERIFY(progress->archiveText().startsWith("first.zip"));
        QCOMPARE(progress->entryText(), QString("docs/readme.txt"));
        QVERIFY(melt->isMinimized());
        // A second job is refused while this one runs.
        melt->meltbutton->click();
        QCOMPARE(desktop_->fake.messages.size(), 1);
        QVERIFY(desktop_->fake.messages[0].text.contains("一度に一つの処理"));
        letGo.dismiss();
        release->release();
        WAIT_FOR_JOB();
        QVERIFY(!shownProgressWindow());
        QCOMPARE(desktop_->fake.messages.last().text, QString("解凍が終了しました"));
        QVERIFY(melt->isVisible() && !melt->isMinimized());
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
        openWith({dir_.path() + "/in/secret.zip"})->meltbutton->click();
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
        meltform* melt = openWith({secret, plain}, 1);
        melt->Check2->setChecked(false);
        melt->meltbutton->click();
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
        openWith({dir_.path() + "/in/a.zip"})->meltbutton->click();
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
        meltform* melt = openWith({first, second}, 1);
        melt->meltbutton->click();
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
        QVERIFY(melt->isVisible());
    }

    // Closing the window while the job runs asks once, stops the job, then closes without a
    // message; saying no lets the job go on.
    void closingDuringAJobAsksAndClosesAfterIt()
    {
        engine_->script = [](Pack::Plugin, const QString&, Pack::Listener& listener) {
            return RunUntilCancelled(listener);
        };
        meltform* melt = openWith({dir_.path() + "/in/a.zip"});
        melt->meltbutton->click();
        desktop_->fake.answerYes = false;
        melt->close();
        QCOMPARE(desktop_->fake.questions.size(), 1);
        QVERIFY(session().jobRunning);
        desktop_->fake.answerYes = true;
        melt->endbutton->click();
        melt->close();  // asked once only
        WAIT_FOR_JOB();
        QCOMPARE(desktop_->fake.questions.size(), 2);
        QVERIFY(!ExistingMeltWindow());
        QVERIFY(desktop_->fake.messages.isEmpty());
        QVERIFY(IsDropHooked(IconWindow()));
    }

    // 終了 from the icon's menu during a job asks once, stops it and ends the program.
    void endingTheProgramDuringAJob()
    {
        engine_->script = [](Pack::Plugin, const QString&, Pack::Listener& listener) {
            return RunUntilCancelled(listener);
        };
        openWith({dir_.path() + "/in/a.zip"})->meltbutton->click();
        PopupIconMenu(IconWindow()->mapToGlobal(QPoint(30, 40)));
        ExistingMenuForm()->mmelt->trigger();  // a second job window is refused
        QVERIFY(desktop_->fake.messages.last().text.contains("一度に一つの処理"));
        ExistingMenuForm()->mend->trigger();
        QVERIFY(IconWindow());  // still there until the job stopped
        WAIT_FOR_JOB();
        QTRY_VERIFY(!IconWindow());
        QCOMPARE(desktop_->fake.questions, QStringList{"処理を中止しますか"});
        QCOMPARE(desktop_->fake.messages.size(), 1);
    }
};

TEMBREL_TEST_MAIN(MeltJobTest)
#include "tst_meltjob.moc"
