// Loading the archiver plug-ins: a missing file or entry point is a failed probe to catch.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "services/Pack.h"
#include "support/TestMain.h"

class PackTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Pack::setLibraryDirectory(QString()); }

    void looksBesideTheProgramByDefault()
    {
        QCOMPARE(Pack::libraryDirectory(), QCoreApplication::applicationDirPath());
    }

    void aMissingPluginIsAFailedProbe()
    {
        QTemporaryDir empty;
        Pack::setLibraryDirectory(empty.path());
        QVERIFY_THROWS_EXCEPTION(Pack::ArchiverMissing, Pack::UnlhaGetVersion());
        QVERIFY_THROWS_EXCEPTION(Pack::ArchiverMissing, Pack::ZipGetVersion());
        QVERIFY_THROWS_EXCEPTION(Pack::ArchiverMissing, Pack::UnZip(0, "-xv --i \"a.zip\" \"/tmp/\""));
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
        Pack::setLibraryDirectory(dir.path());
        QVERIFY_THROWS_EXCEPTION(Pack::ArchiverMissing, Pack::ZipGetVersion());
    }

    void realPluginsAnswer()
    {
        Pack::setLibraryDirectory(TEMBREL_BIN_DIR);
        for (const char* name : {"unlha32", "zip32j", "unzip32"}) {
            if (!QFile::exists(QString(TEMBREL_BIN_DIR) + "/lib" + name + ".so"))
                QSKIP("the plug-ins are not built");
        }
        QVERIFY(Pack::UnlhaGetVersion() > 0);
        QVERIFY(Pack::ZipGetVersion() > 0);
        QVERIFY(Pack::UnZipGetVersion() > 0);
        const Pack::CommandResult result = Pack::UnZip(0, "-xv --i \"/nonexistent/a.zip\" \"/tmp/x/\"");
        QVERIFY(!result.ok());
        QVERIFY(!result.message.isEmpty());
    }
};

TEMBREL_TEST_MAIN(PackTest)
#include "tst_pack.moc"
