// Loading the archiver plug-ins: a missing file or entry point is a failed probe to catch; the
// callback entry points report progress, failures and questions; two threads may load at once.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include "services/Pack.h"
#include "support/TestMain.h"

namespace {

struct Recorder final : Pack::Listener {
    int reports = 0;
    std::uint64_t lastDone = 0, lastTotal = 0;
    bool stopAtFirst = false;
    bool progress(const Pack::Progress& progress) override
    {
        ++reports;
        lastDone = progress.jobBytesDone;
        lastTotal = progress.jobBytesTotal;
        return !stopAtFirst;
    }
};

bool pluginsBuilt()
{
    for (const char* name : {"unlha32", "zip32j", "unzip32"}) {
        if (!QFile::exists(QString(TEMBREL_BIN_DIR) + "/lib" + name + ".so"))
            return false;
    }
    return true;
}

}  // namespace

class PackTest : public QObject {
    Q_OBJECT

private slots:
    void looksBesideTheProgramByDefault()
    {
        Pack::PluginLoader loader;
        QCOMPARE(loader.directory(), QCoreApplication::applicationDirPath());
    }

    void aMissingPluginIsAFailedProbe()
    {
        QTemporaryDir empty;
        Pack::PluginLoader loader(empty.path());
        QVERIFY_THROWS_EXCEPTION(Pack::ArchiverMissing, loader.version(Pack::Plugin::Unlha));
        QVERIFY_THROWS_EXCEPTION(Pack::ArchiverMissing, loader.version(Pack::Plugin::Zip));
        QVERIFY_THROWS_EXCEPTION(Pack::ArchiverMissing, loader.run(Pack::Plugin::UnZip, "-xv --i \"a.zip\" \"/tmp/\""));
    }

    void aLibraryWithoutTheEntryPointIsAFailedProbe()
    {
        // Any real shared library that lacks our entry points will do.
        QTemporaryDir dir;
        const QStringList candidates = {"/lib/x86_64-linux-gnu/libz.so.1", "/usr/lib/x86_64-linux-gnu/libz.so.1"};
        QString source;
        for (const QString& candidate : candidates)
            if (QFile::exists(candidate))
                source = candidate;
        if (source.isEmpty())
            QSKIP("no libz to stand in for a foreign library");
        QVERIFY(QFile::copy(source, dir.path() + "/libzip32j.so"));
        Pack::PluginLoader loader(dir.path());
        QVERIFY_THROWS_EXCEPTION(Pack::ArchiverMissing, loader.version(Pack::Plugin::Zip));
    }

    void realPluginsAnswerWithStructuredFailures()
    {
        if (!pluginsBuilt())
            QSKIP("the plug-ins are not built");
        Pack::PluginLoader loader(TEMBREL_BIN_DIR);
        QVERIFY(loader.version(Pack::Plugin::Unlha) > 0);
        QVERIFY(loader.version(Pack::Plugin::Zip) > 0);
        QVERIFY(loader.version(Pack::Plugin::UnZip) > 0);
        const Pack::CommandResult result =
            loader.run(Pack::Plugin::UnZip, "-xv --i \"/nonexistent/a.zip\" \"/tmp/x/\"");
        QVERIFY(!result.ok());
        QVERIFY(!result.message.isEmpty());
    }

    // Progress arrives while a command runs, and a listener that says stop gets Cancelled and
    // no archive.
    void progressAndCancel()
    {
        if (!pluginsBuilt())
            QSKIP("the plug-ins are not built");
        QTemporaryDir dir;
        QFile file(dir.path() + "/big.bin");
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char((i * 7919) >> 5);
        for (int i = 0; i < 4; ++i)
            file.write(block);
        file.close();
        Pack::PluginLoader loader(TEMBREL_BIN_DIR);
        Recorder recorder;
        const QString archive = dir.path() + "/a.zip";
        const auto done =
            loader.run(Pack::Plugin::Zip, "-r -j -q \"" + archive + "\" \"" + file.fileName() + "\"", &recorder);
        QVERIFY2(done.ok(), qPrintable(done.message));
        if (recorder.reports == 0)
            QSKIP("the ZIP plug-in reports no progress yet");

        Recorder stopper;
        stopper.stopAtFirst = true;
        const QString second = dir.path() + "/b.zip";
        const auto stopped =
            loader.run(Pack::Plugin::Zip, "-r -j -q \"" + second + "\" \"" + file.fileName() + "\"", &stopper);
        QCOMPARE(stopped.code, int(Pack::Cancelled));
        QVERIFY(!QFile::exists(second));
    }

    void twoThreadsLoadTheSamePluginAtOnce()
    {
        if (!pluginsBuilt())
            QSKIP("the plug-ins are not built");
        Pack::PluginLoader loader(TEMBREL_BIN_DIR);
        auto probe = [&loader] {
            int sum = 0;
            for (int i = 0; i < 50; ++i)
                sum += loader.version(Pack::Plugin(i % 3));
            return sum;
        };
        QFuture<int> first = QtConcurrent::run(probe);
        QFuture<int> second = QtConcurrent::run(probe);
        QCOMPARE(first.result(), second.result());
    }
};

TEMBREL_TEST_MAIN(PackTest)
#include "tst_pack.moc"
