// ToLongPath on Linux paths, and the choosers' hand-over to the desktop.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "services/Choosers.h"
#include "support/FakeDesktop.h"
#include "support/TestMain.h"

class ChoosersTest : public QObject {
    Q_OBJECT

private slots:
    void longPathOfExistingPaths()
    {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(".hidden/表 ソ 能"));
        QFile file(root.path() + "/.hidden/表 ソ 能/a b.lzh");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const QString path = root.path() + "/.hidden/表 ソ 能/a b.lzh";
        QCOMPARE(ToLongPath(path), path);
        QCOMPARE(ToLongPath(root.path() + "/.hidden/"), root.path() + "/.hidden");
        QCOMPARE(ToLongPath(root.path() + "/.hidden/./表 ソ 能/../表 ソ 能/a b.lzh"), path);
        QCOMPARE(ToLongPath("/"), QString("/"));
    }

    void longPathIsRelativeToTheWorkingDirectory()
    {
        QTemporaryDir root;
        QFile file(root.path() + "/x.zip");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString previous = QDir::currentPath();
        QDir::setCurrent(root.path());
        const QString result = ToLongPath("x.zip");
        QDir::setCurrent(previous);
        QCOMPARE(result, QDir(root.path()).canonicalPath() + "/x.zip");
    }

    void longPathOfMissingPathsIsEmpty()
    {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("a/b"));
        QCOMPARE(ToLongPath(root.path() + "/a/missing.zip"), QString());
        QCOMPARE(ToLongPath(root.path() + "/missing/b"), QString());
        QCOMPARE(ToLongPath(QString()), QString());
    }

    void longPathKeepsADanglingLink()
    {
        QTemporaryDir root;
        QVERIFY(QFile::link(root.path() + "/nowhere", root.path() + "/link.zip"));
        QCOMPARE(ToLongPath(root.path() + "/link.zip"), root.path() + "/link.zip");
    }

    void pickFileTakesTheFirstFilterPair()
    {
        ScopedFakeDesktop scoped;
        scoped.fake.nextFile = "/music/done.wav";
        const QString filter = QString("LZH,ZIPﾌｧｲﾙ(.LZH;.ZIP)") + QChar(u'\0') + "*.lzh;*.zip";
        QCOMPARE(PickFile(nullptr, filter, "/", "解凍する書庫の指定"), QString("/music/done.wav"));
        QCOMPARE(scoped.fake.fileRequests.size(), 1);
        const auto& request = scoped.fake.fileRequests.first();
        QCOMPARE(request.description, QString("LZH,ZIPﾌｧｲﾙ(.LZH;.ZIP)"));
        QCOMPARE(request.patterns, QString("*.lzh;*.zip"));
        QCOMPARE(request.initialDirectory, QString("/"));
        QCOMPARE(request.title, QString("解凍する書庫の指定"));
    }

    void cancelledChoosersGiveTheEmptyString()
    {
        ScopedFakeDesktop scoped;
        QCOMPARE(PickFile(nullptr, QString("WAVﾌｧｲﾙ") + QChar(u'\0') + "*.wav", "/", "t"), QString());
        QCOMPARE(PickFolder("解凍先ディレクトリの指定", "/"), QString());
        QCOMPARE(scoped.fake.folderRequests, QStringList{"解凍先ディレクトリの指定"});
        // A long chosen folder comes back whole.
        scoped.fake.nextFolder = "/" + QString(300, 'x');
        QCOMPARE(PickFolder("t", "/").size(), 301);
    }

    // A chooser opens where the setting says while that directory is there, else at home.
    void choosersStartAtTheSettingOrHome_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("kept");
        QTest::newRow("an existing directory") << QDir::tempPath() << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("gone") << QDir::tempPath() + "/no such directory here" << false;
        QTest::newRow("a file") << QCoreApplication::applicationFilePath() << false;
    }
    void choosersStartAtTheSettingOrHome()
    {
        QFETCH(QString, setting);
        QFETCH(bool, kept);
        ScopedFakeDesktop scoped;
        PickFile(nullptr, "", setting, "t");
        PickFolder("t", setting);
        const QString start = kept ? setting : QDir::homePath();
        QCOMPARE(scoped.fake.fileRequests.value(0).initialDirectory, start);
        QCOMPARE(scoped.fake.folderStarts, QStringList{start});
    }
};

TEMBREL_TEST_MAIN(ChoosersTest)
#include "tst_choosers.moc"
