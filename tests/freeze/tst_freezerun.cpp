// The compression run over the real plug-ins: names and forms, replacing an old archive,
// failures, the history and the endings; archives read back by peer tools.
#include "FreezeKit.h"
#include "freeze/FreezeRun.h"
#include "services/Pack.h"
#include "services/Session.h"
#include "shell/DropReception.h"
#include "shell/iconform.h"
#include "support/Drops.h"
#include "support/FakeDesktop.h"
#include "support/FreezeDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

const QString kDone = QStringLiteral("圧縮が終了しました");

const Tree kSources{{"notes.txt", "plain notes\n"},
                    {"README", "a file without any dot\n"},
                    {"work.old", kDirectory},
                    {"work.old/src", kDirectory},
                    {"work.old/src/main.c", QByteArray(20000, 'c') + "end"},
                    {"plain", kDirectory},
                    {"plain/empty", kDirectory},
                    {"plain/sub", kDirectory},
                    {"plain/sub/deep.txt", "deep"},
                    {"old.zip", "not really a zip, added like any file"}};

Tree Only(const Tree& tree, const QStringList& roots)
{
    Tree picked;
    for (auto it = tree.begin(); it != tree.end(); ++it) {
        for (const QString& root : roots) {
            if (it.key() == root || it.key().startsWith(root + "/"))
                picked[it.key()] = it.value();
        }
    }
    return picked;
}

QStringList Leftovers(const QString& directory)
{
    return QDir(directory).entryList({".tembrel-old-*"}, QDir::AllEntries | QDir::Hidden);
}

}  // namespace

class FreezeRunTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        StartFreshProgram();
        desktop_ = std::make_unique<ScopedFakeDesktop>();
        session().options.DefaultArchiveType = 0;
        session().options.NotifyMode = 0;
        QVERIFY(work_.isValid());
        QDir(work_.path()).removeRecursively();
        QDir().mkpath(src());
        QDir().mkpath(out());
        WriteTree(src(), kSources);
    }
    void cleanup()
    {
        ResetProgram();
        desktop_.reset();
    }

    void commandStringsPerFormAndPlugin_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("command");
        QTest::newRow("lzh file") << 0 << "notes.txt"
                                  << "a -n1 \"/o/A.x\" \"S/notes.txt\"";
        QTest::newRow("lzh file without dot") << 0 << "README"
                                              << "a -n1 \"/o/A.x\" \"S/README\"";
        QTest::newRow("lzh folder with dot") << 0 << "work.old"
                                             << "a \"/o/A.x\" \"S/\" work.old/*.* -x -n1 -r2";
        QTest::newRow("lzh folder with blank") << 0 << "My Files"
                                               << "a \"/o/A.x\" \"S/\" \"My Files/*.*\" -x -n1 -r2";
        QTest::newRow("zip folder with blank") << 1 << "My Files"
                                               << "-r -q \"/o/A.x\" \"S/\" \"My Files/*.*\"";
        QTest::newRow("zip file") << 1 << "notes.txt"
                                  << "-r -j -q \"/o/A.x\" \"S/notes.txt\"";
        QTest::newRow("zip folder") << 1 << "plain"
                                    << "-r -q \"/o/A.x\" \"S/\" plain/*.*";
        QTest::newRow("zip missing entry: file form") << 1 << "gone"
                                                      << "-r -j -q \"/o/A.x\" \"S/gone\"";
        QTest::newRow("zip root: empty name") << 1 << "/"
                                              << "-r -q \"/o/A.x\" \"/\" /*.*";
    }
    void commandStringsPerFormAndPlugin()
    {
        QFETCH(int, kind);
        QFETCH(QString, entry);
        QFETCH(QString, command);
        QDir().mkpath(src() + "/My Files");
        const ArchiveKind archiveKind = kind == 0 ? ArchiveKind::Lzh : ArchiveKind::Zip;
        const QString path = entry == "/" ? entry : src() + "/" + entry;
        QCOMPARE(EntryCommand(archiveKind, "/o/A.x", path), QString(command).replace("S/", src() + "/"));
    }

    void extensionAndDirectoryRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("defaultType");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("format");
        QTest::newRow("report, LZH default") << "report" << 0 << "report.lzh"
                                             << "LZH";
        QTest::newRow("report, ZIP default") << "report" << 1 << "report.zip"
                                             << "ZIP";
        QTest::newRow("case kept, LZH by extension") << "Backup.LZH" << 1 << "Backup.LZH"
                                                     << "LZH";
        QTest::newRow("other extension counts as none") << "data.tar" << 1 << "data.tar.zip"
                                                        << "ZIP";
    }
    void extensionAndDirectoryRules()
    {
        QFETCH(QString, typed);
        QFETCH(int, defaultType);
        QFETCH(QString, name);
        QFETCH(QString, format);
        session().options.DefaultArchiveType = qint16(defaultType);
        FreezeDriver window = openWith({src() + "/notes.txt"});
        window.typeName(typed);
        window.typeDirectory(out());  // no trailing "/"
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(window.name(), name);
        QCOMPARE(window.directory(), out() + "/");
        QCOMPARE(FormatOf(out() + "/" + name), format);
        QCOMPARE(PeerExtracted(out() + "/" + name), Only(kSources, {"notes.txt"}));
        QCOMPARE(desktop_->fake.messages.size(), 0);
        QCOMPARE(desktop_->fake.beeps, 1);

        // A directory that ends in "/" stays as it is.
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(window.directory(), out() + "/");
    }

    void filesAndFoldersAsTheDiskHasThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("LZH") << "all.lzh";
        QTest::newRow("ZIP") << "all.zip";
    }
    void filesAndFoldersAsTheDiskHasThem()
    {
        QFETCH(QString, name);
        const QStringList roots{"work.old", "README", "plain", "notes.txt", "old.zip"};
        QStringList entries;
        for (const QString& root : roots)
            entries << src() + "/" + root;
        FreezeDriver window = openWith(entries);
        window.messageAtEnd(true);
        window.typeName(name);
        window.typeDirectory(out() + "/");
        window.choose("mfreeze");
        WAIT_FOR_JOB();
        QCOMPARE(PeerExtracted(out() + "/" + name), Only(kSources, roots));
        QCOMPARE(desktop_->fake.messages.size(), 1);
        QCOMPARE(desktop_->fake.messages[0].text, kDone);
        QCOMPARE(desktop_->fake.messages[0].title, QString("tembrel"));
        QCOMPARE(session().DroppedCount, qint16(5));  // kept: pressing again packs the same entries
    }

    void aFailedEntryIsNamedAndTheRestStillPacked()
    {
        // A missing entry is a failure that is reported, while the entries around it (a folder
        // with a blank in its name among them) are packed.
        WriteTree(src(), {{"My Files/inner.txt", "x"}});
        FreezeDriver window =
            openWith({src() + "/notes.txt", src() + "/My Files", src() + "/missing.txt", src() + "/README"});
        window.messageAtEnd(true);
        window.typeName("part");
        window.typeDirectory(out());
        window.pressFreeze();
        WAIT_FOR_JOB();
        Tree expected = Only(kSources, {"notes.txt", "README"});
        expected["My Files"] = kDirectory;
        expected["My Files/inner.txt"] = "x";
        QCOMPARE(PeerExtracted(out() + "/part.lzh"), expected);
        QCOMPARE(desktop_->fake.messages.size(), 1);
        const QString text = desktop_->fake.messages[0].text;
        QCOMPARE(desktop_->fake.messages[0].title, QString("tembrel"));
        QVERIFY2(!text.contains(src() + "/My Files") && text.contains(src() + "/missing.txt\n"), qPrintable(text));
        // The cause and its remedy in Japanese; the plug-in's English line only under 詳細.
        QVERIFY2(text.contains("ﾌｧｲﾙが見つからないか読めません") && !text.contains("cannot find"), qPrintable(text));
        QVERIFY2(desktop_->fake.messages[0].detail.contains("cannot find"),
                 qPrintable(desktop_->fake.messages[0].detail));
        QVERIFY(!text.contains(src() + "/notes.txt") && !text.contains(kDone));
        QCOMPARE(desktop_->fake.beeps, 1);
    }

    void anOldArchiveOfTheSameNameIsReplaced_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("LZH") << "same.lzh";
        QTest::newRow("ZIP") << "same.zip";
    }
    void anOldArchiveOfTheSameNameIsReplaced()
    {
        QFETCH(QString, name);
        FreezeDriver window = openWith({src() + "/README"});
        window.typeName(name);
        window.typeDirectory(out());
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(PeerExtracted(out() + "/" + name), Only(kSources, {"README"}));

        session().RecordDroppedFiles({src() + "/notes.txt"});
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(PeerExtracted(out() + "/" + name), Only(kSources, {"notes.txt"}));
        QCOMPARE(Leftovers(out()), QStringList());
        QVERIFY(desktop_->fake.messages.isEmpty());
    }

    void theOldArchiveSurvivesAFailedReplacement()
    {
        FreezeDriver window = openWith({src() + "/README"});
        window.typeName("keep.zip");
        window.typeDirectory(out());
        window.pressFreeze();
        WAIT_FOR_JOB();
        const QByteArray old = FileBytes(out() + "/keep.zip");
        QVERIFY(!old.isEmpty());

        session().RecordDroppedFiles({src() + "/notes.txt", src() + "/vanished"});
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(FileBytes(out() + "/keep.zip"), old);
        QCOMPARE(Leftovers(out()), QStringList());
        QCOMPARE(desktop_->fake.messages.size(), 1);
        QVERIFY(desktop_->fake.messages[0].text.contains(src() + "/vanished"));
        QVERIFY(desktop_->fake.messages[0].text.contains(out() + "/keep.zip"));
    }

    void aNameWithADirectoryPartOrAHiddenNameAddsToTheOldArchive_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("file");
        QTest::newRow("directory part") << "sub/in.lzh"
                                        << "sub/in.lzh";
        QTest::newRow("empty name") << ""
                                    << ".lzh";
    }
    void aNameWithADirectoryPartOrAHiddenNameAddsToTheOldArchive()
    {
        QFETCH(QString, typed);
        QFETCH(QString, file);
        QDir().mkpath(out() + "/sub");
        FreezeDriver window = openWith({src() + "/README"});
        window.typeName(typed);
        window.typeDirectory(out());
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(window.name(), file);
        session().RecordDroppedFiles({src() + "/notes.txt"});
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(PeerExtracted(out() + "/" + file), Only(kSources, {"README", "notes.txt"}));
    }

    void theArchiveIsNeverPackedIntoItself_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("LZH") << "proj.lzh";
        QTest::newRow("ZIP") << "proj.zip";
    }
    void theArchiveIsNeverPackedIntoItself()
    {
        // The target directory lies inside the dropped folder, with an old archive already there.
        QFETCH(QString, name);
        const QString project = src() + "/plain";
        const QString target = project + "/sub";
        FreezeDriver window = openWith({project});
        window.typeName(name);
        window.typeDirectory(target);
        window.pressFreeze();
        WAIT_FOR_JOB();
        window.pressFreeze();  // now replacing the archive made by the first run
        WAIT_FOR_JOB();
        QCOMPARE(PeerListed(target + "/" + name),
                 (QStringList{"plain", "plain/empty", "plain/sub", "plain/sub/deep.txt"}));
        QCOMPARE(Leftovers(target), QStringList());
        QCOMPARE(Leftovers(src()), QStringList());
        QVERIFY(desktop_->fake.messages.isEmpty());
    }

    void theOldArchiveDroppedOnItsReplacementGoesInWhole()
    {
        WriteFile(out() + "/box.zip", "");
        FreezeDriver window = openWith({src() + "/README"});
        window.typeName("box.zip");
        window.typeDirectory(out());
        window.pressFreeze();
        WAIT_FOR_JOB();
        const QByteArray old = FileBytes(out() + "/box.zip");

        session().RecordDroppedFiles({out() + "/box.zip", src() + "/notes.txt"});
        window.pressFreeze();
        WAIT_FOR_JOB();
        const Tree packed = PeerExtracted(out() + "/box.zip");
        QCOMPARE(packed.value("box.zip"), old);
        QCOMPARE(packed.value("notes.txt"), kSources.value("notes.txt"));
        QVERIFY(desktop_->fake.messages.isEmpty());
    }

    void anEmptyDirectoryIsRefusedAndNothingWritten()
    {
        FreezeDriver window = openWith({src() + "/notes.txt"});
        window.typeName("x");
        window.typeDirectory("  ");
        QVERIFY(DropFiles(window.window(), {src() + "/README"}));
        QTRY_COMPARE(desktop_->fake.messages.size(), 1);
        QVERIFY(desktop_->fake.messages[0].text.contains("圧縮先ﾃﾞｨﾚｸﾄﾘが空です"));
        QCOMPARE(window.name(), QString("x"));
        QCOMPARE(desktop_->fake.beeps, 0);
        QVERIFY(!QFile::exists("/x.lzh") && !QFile::exists("/.lzh"));
        QVERIFY(window.isVisible());
        // The drop reception is back: the next drop, with a directory, is packed.
        QVERIFY(IsDropHooked(window.window()));
        window.typeDirectory(out());
        QVERIFY(DropFiles(window.window(), {src() + "/README"}));
        QTRY_COMPARE(desktop_->fake.beeps, 1);
        QCOMPARE(PeerExtracted(out() + "/x.lzh"), Only(kSources, {"README"}));
    }

    void theHistoryTakesEachNewDirectoryOnce()
    {
        for (int i = 1; i <= 5; ++i)
            WriteRaw("fdir" + QString::number(i), "/h" + QString::number(i));
        FreezeDriver window = openWith({src() + "/notes.txt"});
        window.typeName("h");
        window.typeDirectory(out());
        window.pressFreeze();
        WAIT_FOR_JOB();
        const QStringList expected{out() + "/", "/h1", "/h2", "/h3", "/h4"};
        QCOMPARE(window.rows("Text2").mid(0, 5), expected);
        QCOMPARE(window.rows("Text2").size(), 10);  // five rows inserted above the five loaded
        for (int i = 0; i < 5; ++i)
            QCOMPARE(window.rows("Text2")[i], expected[i]);
        QCOMPARE(window.directory(), out() + "/");

        window.typeDirectory(out() + "/ ");  // blanks around are no part of the name
        window.pressFreeze();                // already in the history: nothing changes

        WAIT_FOR_JOB();
        QCOMPARE(window.rows("Text2").mid(0, 5), expected);
        QCOMPARE(window.rows("Text2").size(), 10);
        QCOMPARE(StoredText("fdir1"), QString("/h1"));  // written only when the window is saved
    }

    void aMissingPluginTouchesNoFileAndIsReported()
    {
        QTemporaryDir empty;
        FreezeDriver window = openWith({src() + "/README"});
        window.messageAtEnd(true);
        window.typeName("m.lzh");
        window.typeDirectory(out());
        window.pressFreeze();
        WAIT_FOR_JOB();
        const QByteArray old = FileBytes(out() + "/m.lzh");

        session().plugins.setDirectory(empty.path());
        session().RecordDroppedFiles({src() + "/notes.txt"});
        window.typeName("m.lzh");
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(FileBytes(out() + "/m.lzh"), old);
        window.typeName("new.zip");
        window.pressFreeze();
        WAIT_FOR_JOB();
        QVERIFY(!QFile::exists(out() + "/new.zip"));
        QCOMPARE(QDir(out()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"m.lzh"});

        QCOMPARE(desktop_->fake.messages.size(), 3);
        QCOMPARE(desktop_->fake.messages[0].text, kDone);
        QVERIFY(desktop_->fake.messages[1].text.contains("libunlha32.so"));
        QVERIFY(desktop_->fake.messages[2].text.contains("libzip32j.so"));
        QCOMPARE(desktop_->fake.beeps, 3);  // the ending runs in full
        QVERIFY(window.isVisible());
        QCOMPARE(window.rows("Text2").first(), out() + "/");
    }

    void aMissingTargetDirectoryIsMadeOrNamedOnce_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<bool>("made");
        QTest::newRow("with its parents") << "/not here/deeper" << true;
        QTest::newRow("below a file") << "/file/below" << false;
    }
    void aMissingTargetDirectoryIsMadeOrNamedOnce()
    {
        QFETCH(QString, directory);
        QFETCH(bool, made);
        QDir().mkpath(out());
        QFile(out() + "/file").open(QIODevice::WriteOnly);
        FreezeDriver window = openWith({src() + "/README", src() + "/notes.txt"});
        window.messageAtEnd(true);
        window.typeName("n");
        window.typeDirectory(out() + directory);
        window.pressFreeze();
        WAIT_FOR_JOB();
        QCOMPARE(desktop_->fake.messages.size(), 1);
        if (made) {
            QCOMPARE(desktop_->fake.messages[0].text, kDone);
            QCOMPARE(QDir(out() + directory).entryList(QDir::Files).size(), 1);
            QCOMPARE(desktop_->fake.finishedFolders, QStringList{out() + directory});
        } else {
            QCOMPARE(desktop_->fake.messages[0].text,
                     "圧縮できませんでした。\n圧縮先ﾃﾞｨﾚｸﾄﾘ " + out() + directory +
                         " を作れませんでした。書き込みできる場所を選ぶか、同じ名前のﾌｧｲﾙがないか確かめてください。");
            QVERIFY(!QFileInfo::exists(out() + directory));
        }
    }

    void closingAfterTheRunSavesAndHandsDropsToTheIcon()
    {
        session().options.NotifyMode = 1;
        session().options.SoundFile = "/sounds/done.wav";
        FreezeDriver window = openWith({src() + "/notes.txt"});
        window.closeAfterJob(true);
        window.typeName("c");
        window.typeDirectory(out());
        window.pressFreeze();
        WAIT_FOR_JOB();
        QVERIFY(!ExistingFreezeWindow());
        QCOMPARE(StoredText("foption2"), QString("1"));
        QCOMPARE(StoredText("fdir1"), out() + "/");
        QVERIFY(IsDropHooked(IconWindow()));
        QCOMPARE(desktop_->fake.soundsPlayed, QStringList{"/sounds/done.wav"});
        QCOMPARE(desktop_->fake.beeps, 0);
        QVERIFY(desktop_->fake.messages.isEmpty());
    }

    void aDropStartedRunStaysOpenAndTakesTheNextDrop()
    {
        FreezeDriver window = FreezeDriver::open();
        window.typeName("drops.zip");
        window.typeDirectory(out());
        QVERIFY(DropFiles(window.window(), {src() + "/README"}));
        QCOMPARE(session().FreezeDropPending, kSet);
        QTRY_COMPARE(desktop_->fake.beeps, 1);
        QCOMPARE(session().FreezeDropPending, kClear);
        QVERIFY(window.isVisible());
        QVERIFY(!(window.window()->windowState() & Qt::WindowMinimized));
        QVERIFY(IsDropHooked(window.window()));
        QVERIFY(!window.canFreeze());  // the run enables nothing

        QVERIFY(DropFiles(window.window(), {src() + "/notes.txt"}));
        QTRY_COMPARE(desktop_->fake.beeps, 2);
        QCOMPARE(PeerExtracted(out() + "/drops.zip"), Only(kSources, {"notes.txt"}));
    }

    void aThousandDroppedFilesAllArrive()
    {
        QStringList names;
        QStringList expected;
        for (int i = 0; i < 1000; ++i) {
            const QString name = QString("f%1.txt").arg(i, 4, 10, QChar('0'));
            WriteFile(src() + "/many/" + name, name.toUtf8());
            names << src() + "/many/" + name;
            expected << name;
        }
        FreezeDriver window = FreezeDriver::open();
        window.typeName("many");
        window.typeDirectory(out());
        QVERIFY(DropFiles(window.window(), names));
        QTRY_VERIFY_WITH_TIMEOUT(desktop_->fake.beeps == 1, 600000);
        QVERIFY(desktop_->fake.messages.isEmpty());
        QCOMPARE(PeerListed(out() + "/many.lzh"), expected);
    }

private:
    QString src() const { return work_.path() + "/src"; }
    QString out() const { return work_.path() + "/out"; }

    // Files waiting from an earlier drop, then the window opened as the icon's timer opens it.
    FreezeDriver openWith(const QStringList& entries)
    {
        session().RecordDroppedFiles(entries);
        return FreezeDriver::open();
    }

    QTemporaryDir work_;
    std::unique_ptr<ScopedFakeDesktop> desktop_;
};

TEMBREL_TEST_MAIN(FreezeRunTest)
#include "tst_freezerun.moc"
