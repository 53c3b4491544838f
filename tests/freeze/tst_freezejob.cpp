// The compression job over a scripted engine: a cancelled job leaves no partial archive and an
// old archive it was replacing back in place; a completed replacement sends the old one to the
// trash; the job keeps what was asked when 圧縮 was pressed.
#include <QApplication>
#include <QScopeGuard>
#include <QSemaphore>
#include <cerrno>

#include "FreezeKit.h"
#include "freeze/FreezeRun.h"
#include "services/ProgressWindow.h"
#include "services/Session.h"
#include "support/Drops.h"
#include "support/FakeArchivers.h"
#include "support/FakeDesktop.h"
#include "support/FreezeDriver.h"
#include "support/Run.h"
#include "support/TestMain.h"

namespace {

// Writes the archive named in the command (its first quoted word) as the plug-in would.
void writeArchiveOf(const QString& command, const QByteArray& bytes)
{
    WriteFile(command.section('"', 1, 1), bytes);
}

ProgressWindow* shownProgressWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<ProgressWindow*>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

}  // namespace

class FreezeJobTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<FakeArchivers> engine_;
    std::unique_ptr<ScopedFakeDesktop> desktop_;

    FreezeDriver openWith(const QStringList& entries, const QString& name)
    {
        session().RecordDroppedFiles(entries);
        FreezeDriver window = FreezeDriver::open();
        window.typeName(name);
        window.typeDirectory(dir_.path() + "/out");
        return window;
    }
    QStringList outEntries() const
    {
        return QDir(dir_.path() + "/out").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private slots:
    void init()
    {
        StartFreshProgram();
        engine_ = std::make_unique<FakeArchivers>();
        session().engine = engine_.get();
        desktop_ = std::make_unique<ScopedFakeDesktop>();
        QDir(dir_.path()).removeRecursively();
        WriteFile(dir_.path() + "/src/a.txt", "a");
        WriteFile(dir_.path() + "/src/b.txt", "b");
        QDir().mkpath(dir_.path() + "/out");
    }
    void cleanup()
    {
        ResetProgram();
        desktop_.reset();
    }

    void cancellingLeavesTheFolderAsItWas_data()
    {
        QTest::addColumn<bool>("oldArchive");
        QTest::newRow("new archive") << false;
        QTest::newRow("replacing an old one") << true;
    }
    void cancellingLeavesTheFolderAsItWas()
    {
        QFETCH(bool, oldArchive);
        const QString archive = dir_.path() + "/out/pack.zip";
        if (oldArchive)
            WriteFile(archive, "the old archive");
        engine_->script = [](Pack::Plugin, const QString& command, Pack::Listener& listener) {
            if (command.contains("a.txt")) {
                writeArchiveOf(command, "first member in");
                return Pack::CommandResult{};
            }
            return RunUntilCancelled(listener, "b.txt");
        };
        FreezeDriver window = openWith({dir_.path() + "/src/a.txt", dir_.path() + "/src/b.txt"}, "pack.zip");
        window.messageAtEnd(true);
        window.pressFreeze();
        QTRY_VERIFY(engine_->commands().size() == 2);
        window.closeFromTitleBar();  // asks, then stops the job and closes once it stopped
        WAIT_FOR_JOB();
        QCOMPARE(desktop_->fake.questions, QStringList{"処理を中止しますか"});
        QCOMPARE(outEntries(), oldArchive ? QStringList{"pack.zip"} : QStringList{});
        if (oldArchive)
            QCOMPARE(FileBytes(archive), QByteArray("the old archive"));
        QVERIFY(desktop_->fake.messages.isEmpty());  // closed quietly
        QVERIFY(desktop_->fake.trashed.isEmpty());
        QVERIFY(!ExistingFreezeWindow());
    }

    // A target directory the job made goes again when the job made nothing in it.
    void aCancelledJobLeavesNoFolderItMade()
    {
        engine_->script = [](Pack::Plugin, const QString&, Pack::Listener& listener) {
            return RunUntilCancelled(listener);
        };
        FreezeDriver window = openWith({dir_.path() + "/src/a.txt"}, "c");
        window.typeDirectory(dir_.path() + "/out/new/deeper");
        window.pressFreeze();
        ProgressWindow* progress = nullptr;
        QTRY_VERIFY((progress = shownProgressWindow()));
        progress->close();  // the title bar's close asks like キャンセル
        WAIT_FOR_JOB();
        QCOMPARE(desktop_->fake.messages.size(), 1);
        QCOMPARE(desktop_->fake.messages[0].text, QString("中止しました"));
        QCOMPARE(outEntries(), QStringList{});
        QVERIFY(window.isVisible());
    }

    // Enter in the name field packs, as 圧縮 does; with nothing dropped it does nothing.
    void enterPacksWhenTheButtonCan_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("files waiting") << true;
        QTest::newRow("nothing dropped") << false;
    }
    void enterPacksWhenTheButtonCan()
    {
        QFETCH(bool, dropped);
        FreezeDriver window = openWith(dropped ? QStringList{dir_.path() + "/src/a.txt"} : QStringList{}, "k.zip");
        QCOMPARE(window.canFreeze(), dropped);
        window.key("Text1", Qt::Key_Return);
        WAIT_FOR_JOB();
        QCOMPARE(engine_->commands().size(), dropped ? 1 : 0);
    }

    // What 圧縮 was pressed with is what the job and its ending use: the fields are shut while
    // it runs, and a drop on any window changes nothing but says so.
    void theJobKeepsWhatWasAsked()
    {
        const auto step = std::make_shared<QSemaphore>();
        engine_->script = [step](Pack::Plugin, const QString& command, Pack::Listener&) {
            step->acquire();
            writeArchiveOf(command, "made");
            return Pack::CommandResult{};
        };
        auto letGo = qScopeGuard([step] { step->release(4); });
        FreezeDriver window = openWith({dir_.path() + "/src/a.txt"}, "kept.zip");
        window.messageAtEnd(true);
        window.pressFreeze();
        QTRY_VERIFY(shownProgressWindow());
        QVERIFY(window.isVisible() && !window.window()->isMinimized());
        for (const char* input : {"Text1", "Text2", "Command1", "Check1", "Check2", "defbutton"})
            QVERIFY2(!window.isEnabled(input), input);
        window.typeName("other.lzh");
        window.typeDirectory(dir_.path() + "/elsewhere");
        window.messageAtEnd(false);
        window.closeAfterJob(true);
        QVERIFY(DropFiles(window.window(), {dir_.path() + "/src/b.txt"}));  // taken, then refused
        QTRY_COMPARE(desktop_->fake.messages.size(), 1);
        QVERIFY(desktop_->fake.messages[0].text.contains("一度に一つの処理"));
        QCOMPARE(session().DroppedFiles.mid(0, session().DroppedCount), QStringList{dir_.path() + "/src/a.txt"});
        QCOMPARE(window.pending(), QString("a.txt"));
        letGo.dismiss();
        step->release();
        WAIT_FOR_JOB();
        QVERIFY(QFile::exists(dir_.path() + "/out/kept.zip"));
        QCOMPARE(desktop_->fake.messages.last().text, QString("圧縮が終了しました"));
        QVERIFY(window.isVisible());  // not closed: that was ticked after the press
        QCOMPARE(window.rows("Text2").first(), dir_.path() + "/out/");
        QVERIFY(window.isEnabled("Text1") && window.isEnabled("Check2"));
    }

    void theBarMovesByEntries()
    {
        // Shared with the job, which may outlive this function when a check fails.
        const auto step = std::make_shared<QSemaphore>();
        engine_->script = [step](Pack::Plugin, const QString&, Pack::Listener&) {
            step->acquire();
            return Pack::CommandResult{};
        };
        auto letGo = qScopeGuard([step] { step->release(4); });
        openWith({dir_.path() + "/src/a.txt", dir_.path() + "/src/b.txt"}, "bar.zip").pressFreeze();
        ProgressWindow* progress = nullptr;
        QTRY_VERIFY((progress = shownProgressWindow()));
        QTRY_COMPARE(progress->entryText(), QString("a.txt"));
        QCOMPARE(progress->percent(), 0);
        QVERIFY(progress->archiveText().startsWith("bar.zip"));
        step->release();
        QTRY_COMPARE(progress->entryText(), QString("b.txt"));
        QCOMPARE(progress->percent(), 50);
        step->release();
        WAIT_FOR_JOB();
    }

    void aCompletedReplacementSendsTheOldArchiveToTheTrash()
    {
        const QString archive = dir_.path() + "/out/pack.lzh";
        WriteFile(archive, "the old archive");
        engine_->script = [](Pack::Plugin, const QString& command, Pack::Listener&) {
            writeArchiveOf(command, "the new archive");
            return Pack::CommandResult{};
        };
        openWith({dir_.path() + "/src/a.txt"}, "pack.lzh").pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(FileBytes(archive), QByteArray("the new archive"));
        QCOMPARE(desktop_->fake.trashed.size(), 1);
        QVERIFY(desktop_->fake.trashed[0] != archive);
        QCOMPARE(desktop_->fake.trashedFrom, QStringList{archive});  // restored, it goes back there
        QCOMPARE(outEntries(), QStringList{"pack.lzh"});
    }

    // Each failure is worded in Japanese with what to do; the English line only under 詳細.
    void failuresSayWhatToDo_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("systemError");
        QTest::addColumn<QString>("words");
        QTest::newRow("no space") << int(Pack::WriteFailed) << ENOSPC << "空き容量";
        QTest::newRow("read-only") << int(Pack::WriteFailed) << EROFS << "書き込みできるﾌｫﾙﾀﾞを選んでください";
        QTest::newRow("no permission") << int(Pack::WriteFailed) << EACCES << "権限";
        QTest::newRow("name too long") << int(Pack::WriteFailed) << ENAMETOOLONG << "名前が長すぎて";
        QTest::newRow("missing input") << int(Pack::InputMissing) << ENOENT << "見つからない";
        QTest::newRow("in use") << int(Pack::ArchiveInUse) << 0 << "使用中";
        QTest::newRow("itself") << int(Pack::ArchiveItself) << 0 << "作成中の書庫";
        QTest::newRow("special") << int(Pack::SpecialEntry) << 0 << "特殊";
        QTest::newRow("name clash") << int(Pack::NameClash) << 0 << "名前";
    }
    void failuresSayWhatToDo()
    {
        QFETCH(int, code);
        QFETCH(int, systemError);
        QFETCH(QString, words);
        engine_->script = [&](Pack::Plugin, const QString&, Pack::Listener&) {
            return FailedWith(code, dir_.path() + "/src/a.txt", systemError, "english detail line");
        };
        openWith({dir_.path() + "/src/a.txt"}, "w.zip").pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(desktop_->fake.messages.size(), 1);
        const auto& message = desktop_->fake.messages[0];
        QVERIFY2(message.text.contains(words) && message.text.contains("ください"), qPrintable(message.text));
        QVERIFY2(message.text.contains(dir_.path() + "/src/a.txt"), qPrintable(message.text));
        QVERIFY(!message.text.contains("english detail line"));
        QVERIFY(message.detail.contains("english detail line"));
    }
};

TEMBREL_TEST_MAIN(FreezeJobTest)
#include "tst_freezejob.moc"
