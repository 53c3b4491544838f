// The command-line actions: their naming rules, what an extracted archive becomes beside
// itself, and whole actions over the real plug-ins down to their exit status.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include "actions/ActionRun.h"
#include "actions/CompressHere.h"
#include "actions/ExtractHere.h"
#include "actions/Placement.h"
#include "services/Session.h"
#include "support/FakeArchivers.h"
#include "support/FakeDesktop.h"
#include "support/TestMain.h"

namespace {

void writeFile(const QString& path, const QByteArray& contents = "text\n")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// Every name in `directory`, hidden ones included: what the user would find there.
QStringList namesIn(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class ActionsTest : public QObject {
    Q_OBJECT

private slots:
    void packedArchiveName_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("name");
        QTest::newRow("one file") << QStringList{"/home/me/report.txt"} << "report.txt.zip";
        QTest::newRow("one folder") << QStringList{"/home/me/photos/"} << "photos.zip";
        QTest::newRow("several, after their folder")
            << QStringList{"/home/me/写真/a.jpg", "/home/me/写真/b"} << "写真.zip";
        QTest::newRow("several at the root") << QStringList{"/a", "/b"} << "書庫.zip";
    }
    void packedArchiveName()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, name);
        QCOMPARE(PackedArchiveName(paths, ".zip"), name);
    }

    // An archive's contents in the work folder ("x/" a folder), the names already beside it,
    // and what the contents become there.
    void placeExtracted_data()
    {
        QTest::addColumn<QStringList>("members");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("placed");
        QTest::newRow("loose files go into a folder") << QStringList{"a.txt", "b/c.txt"} << QStringList{} << "foo";
        QTest::newRow("one top folder lands alone") << QStringList{"docs/", "docs/a.txt"} << QStringList{} << "docs";
        QTest::newRow("one top file lands alone") << QStringList{"report.txt"} << QStringList{} << "report.txt";
        QTest::newRow("a hidden top folder counts") << QStringList{".config/x"} << QStringList{} << ".config";
        QTest::newRow("a taken file name is numbered")
            << QStringList{"report.txt"} << QStringList{"report.txt"} << "report (2).txt";
        QTest::newRow("a taken folder name is numbered after its dot")
            << QStringList{"v1.2/", "v1.2/a"} << QStringList{"v1.2"} << "v1.2 (2)";
        QTest::newRow("loose files, the name taken twice")
            << QStringList{"a", "b"} << QStringList{"foo", "foo (2)"} << "foo (3)";
        QTest::newRow("an empty archive gives its folder") << QStringList{} << QStringList{} << "foo";
    }
    void placeExtracted()
    {
        QFETCH(QStringList, members);
        QFETCH(QStringList, taken);
        QFETCH(QString, placed);
        QTemporaryDir root;
        const QString work = MakeWorkFolder(root.path());
        QVERIFY(QFileInfo(work).fileName().startsWith('.'));
        for (const QString& member : members)
            member.endsWith('/') ? void(QDir().mkpath(work + "/" + member)) : writeFile(work + "/" + member);
        for (const QString& name : taken)
            writeFile(root.path() + "/" + name, "theirs");

        QCOMPARE(PlaceExtracted(work, root.path(), "foo"), root.path() + "/" + placed);
        QVERIFY(!QFileInfo::exists(work));
        for (const QString& name : taken)
            QCOMPARE(QFile(root.path() + "/" + name).size(), qint64(6));
        QStringList expected = taken + QStringList{placed};
        expected.sort();
        QCOMPARE(namesIn(root.path()), expected);
    }

    // Whole actions over the real plug-ins. The inputs are made in one folder: "*.zip" a real
    // archive of loose files, "bad.zip" garbage, "docs/" a folder, others text files; "gone.txt"
    // is named but not made. `after` is everything in that folder afterwards.
    void actionsEndWithTheirStatus_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("after");
        const QString undone = "次の書庫は正しく処理できませんでした。";
        QTest::newRow("extract here") << "here" << QStringList{"sample.zip"} << false << 0 << ""
                                      << QStringList{"sample", "sample.zip"};
        QTest::newRow("a damaged archive") << "here" << QStringList{"bad.zip", "sample.zip"} << false << 1 << undone
                                           << QStringList{"bad.zip", "sample", "sample.zip"};
        QTest::newRow("no archive") << "here" << QStringList{"notes.txt"} << false << 1
                                    << "解凍できる書庫ではありません" << QStringList{"notes.txt"};
        QTest::newRow("extraction stopped")
            << "here" << QStringList{"sample.zip"} << true << 1 << "" << QStringList{"sample.zip"};
        QTest::newRow("several into LZH") << "lzh" << QStringList{"a.txt", "docs/"} << false << 0 << ""
                                          << QStringList{"a.txt", "docs", "作業 dir.lzh"};
        QTest::newRow("one into ZIP") << "zip" << QStringList{"a.txt"} << false << 0 << ""
                                      << QStringList{"a.txt", "a.txt.zip"};
        QTest::newRow("an item missing") << "zip" << QStringList{"a.txt", "gone.txt"} << false << 1
                                         << "圧縮できなかったものがあります" << QStringList{"a.txt"};
        QTest::newRow("compression stopped")
            << "zip" << QStringList{"a.txt"} << true << 1 << "" << QStringList{"a.txt"};
    }
    void actionsEndWithTheirStatus()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, inputs);
        QFETCH(bool, stopped);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(QStringList, after);
        QTemporaryDir root;
        const QString folder = root.path() + "/作業 dir";
        QStringList paths;
        Session session(TEMBREL_BIN_DIR);
        for (const QString& input : inputs) {
            paths << folder + "/" + input;
            if (input == "sample.zip") {
                writeFile(folder + "/src/a.txt");
                writeFile(folder + "/src/b/c.txt");
                QVERIFY(session.archivers()
                            .run(Pack::Plugin::Zip, "-r -q \"" + paths.last() + "\" \"" + folder + "/src/\" *.*")
                            .ok());
                QDir(folder + "/src").removeRecursively();
            } else if (input.endsWith('/')) {
                writeFile(paths.last() + "inside.txt");
            } else if (input != "gone.txt") {
                writeFile(paths.last());
            }
        }

        // A stopped job is one that would otherwise never end.
        FakeArchivers endless;
        endless.script = [](Pack::Plugin, const QString&, Pack::Listener& listener) {
            while (listener.progress({}))
                QThread::yieldCurrentThread();
            return Pack::CommandResult{Pack::Cancelled, {}, {}};
        };
        if (stopped)
            session.engine = &endless;
        ScopedFakeDesktop scoped;
        ActionRun run(session);
        QSignalSpy ended(&run, &ActionRun::ended);
        if (action == "here")
            ExtractHere(run, paths);
        else
            CompressHere(run, action == "lzh" ? ArchiveKind::Lzh : ArchiveKind::Zip, paths);
        if (stopped)
            run.stop();
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
        QCOMPARE(ended.first().first().toInt(), status);
        QCOMPARE(scoped.fake.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(scoped.fake.messages.first().text.contains(message),
                     qPrintable(scoped.fake.messages.first().text));
        QCOMPARE(scoped.fake.beeps, stopped ? 0 : 1);
        QCOMPARE(namesIn(folder).join("|"), after.join("|"));
        if (after.contains("sample"))
            QCOMPARE(namesIn(folder + "/sample"), (QStringList{"a.txt", "b"}));
    }
};

TEMBREL_TEST_MAIN(ActionsTest)
#include "tst_actions.moc"
