// The extraction run over the real plug-ins: entries, destinations, history, follow-ups,
// failures and the finishing rules.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "melt/MeltRun.h"
#include "services/ArchiveKind.h"
#include "services/Pack.h"
#include "services/Session.h"
#include "shell/DropReception.h"
#include "shell/Startup.h"
#include "shell/iconform.h"
#include "support/FakeDesktop.h"
#include "support/MeltDriver.h"
#include "support/Run.h"
#include "support/Store.h"
#include "support/TestMain.h"

namespace {

using Tree = QMap<QString, QByteArray>;  // relative path -> contents

const Tree kTree{
    {"readme.txt", "first archive\n"}, {"sub/deep.txt", QByteArray(5000, 'x') + "tail"}, {"日本語/名前.txt", "かな"}};
const QString kDone = QStringLiteral("解凍が終了しました");

void writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

Tree readTree(const QString& root)
{
    Tree tree;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        tree.insert(QDir(root).relativeFilePath(path), file.readAll());
    }
    return tree;
}

// Skips the calling test when the peer tool is missing, except in CI, where it must be there.
#define NEED_PEER(tool)                                                                                                \
    do {                                                                                                               \
        if (QStandardPaths::findExecutable(tool).isEmpty() && qEnvironmentVariableIsEmpty("CI"))                       \
            QSKIP(tool " is not installed");                                                                           \
    } while (false)

QStringList topNames(const Tree& tree)
{
    QStringList tops;
    for (const QString& path : tree.keys())
        tops << path.section('/', 0, 0);
    tops.removeDuplicates();
    return tops;
}

// Builds an archive of `tree` with our own plug-ins for LZH and ZIP, and with bsdtar, which
// picks the format by the name's ending, for the others.
void makeArchive(const QString& archive, const Tree& tree)
{
    QTemporaryDir staging;
    for (auto it = tree.begin(); it != tree.end(); ++it)
        writeFile(staging.path() + "/" + it.key(), it.value());
    if (ArchiveKindOf(archive) == ArchiveKind::Other) {
        QCOMPARE(QProcess::execute("bsdtar", QStringList{"-a", "-cf", archive, "-C", staging.path()} + topNames(tree)),
                 0);
        return;
    }
    const QString base = "\"" + staging.path() + "/\"";
    Pack::PluginLoader loader(TEMBREL_BIN_DIR);
    const Pack::CommandResult result =
        ArchiveKindOf(archive) == ArchiveKind::Lzh
            ? loader.run(Pack::Plugin::Unlha, "a \"" + archive + "\" " + base + " *.* -x -n1 -r2")
            : loader.run(Pack::Plugin::Zip, "-r -q \"" + archive + "\" " + base + " *.*");
    QVERIFY2(result.ok(), qPrintable(result.message));
}

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A stored ZIP written by hand, so that it may hold names no archiver would write.
void writeStoredZip(const QString& path, const QList<QPair<QByteArray, QByteArray>>& members)
{
    QByteArray out, directory;
    auto put16 = [](QByteArray& to, quint16 v) { to.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto put32 = [&](QByteArray& to, quint32 v) {
        put16(to, quint16(v & 0xFFFF));
        put16(to, quint16(v >> 16));
    };
    for (const auto& [name, data] : members) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = crc32(data);
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0x21);
        put32(out, crc);
        put32(out, quint32(data.size()));
        put32(out, quint32(data.size()));
        put16(out, quint16(name.size()));
        put16(out, 0);
        out += name + data;
        put32(directory, 0x02014b50);
        put16(directory, 20);
        put16(directory, 20);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, crc);
        put32(directory, quint32(data.size()));
        put32(directory, quint32(data.size()));
        put16(directory, quint16(name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    const quint32 directoryOffset = quint32(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(members.size()));
    put16(out, quint16(members.size()));
    put32(out, quint32(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    writeFile(path, out);
}

MeltDriver openMelt(const QString& archiveField, const QString& destination)
{
    MeltDriver melt = MeltDriver::open(archiveField);
    melt.typeDestination(destination);
    return melt;
}

QStringList messageTexts(const FakeDesktop& fake)
{
    QStringList texts;
    for (const auto& message : fake.messages) {
        texts << message.text;
        if (message.title != "tembrel")
            texts << "(title " + message.title + ")";
    }
    return texts;
}

}  // namespace

class MeltRunTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString in_, out_;

private slots:
    void init()
    {
        StartFreshProgram();
        session().options.NotifyMode = 0;
        session().options.SoundFile.clear();
        session().MeltDirHistory = QStringList(6);
        in_ = dir_.path() + "/" + QTest::currentTestFunction() + "/in";
        out_ = dir_.path() + "/" + QTest::currentTestFunction() + "/out";
        QDir().mkpath(in_);
    }
    void cleanup() { ResetProgram(); }

    void commandForms()
    {
        QCOMPARE(MeltCommand(ArchiveKind::Zip, "/in/foo.zip", "/out/", "foo", true),
                 QString("-xv --i \"/in/foo.zip\" \"/out/foo/\""));
        QCOMPARE(MeltCommand(ArchiveKind::Zip, "/in/foo.zip", "/out/", "foo", false),
                 QString("-xv --i \"/in/foo.zip\" \"/out/\""));
        QCOMPARE(MeltCommand(ArchiveKind::Lzh, "/in/a b.lzh", "/o u/", "a b", true),
                 QString("x -n \"/in/a b.lzh\" \"/o u/a b/\""));
        QCOMPARE(MeltCommand(ArchiveKind::Lzh, "/in/.lzh", "/out/", "", true), QString("x -n \"/in/.lzh\" \"/out//\""));
        QCOMPARE(MeltCommand(ArchiveKind::Other, "/in/p.tar.gz", "/out/", "p", true),
                 QString("x -n \"/in/p.tar.gz\" \"/out/p/\""));
        QCOMPARE(MovedArchivePath("/keep/", "/in/Pack.ZIP"), QString("/keep//Pack.zip"));
        QCOMPARE(MovedArchivePath("/keep", "/in/ Set .Part2.RAR"), QString("/keep/Set.part2.rar"));
    }

    void oneZipIntoItsStemDirectory()
    {
        ScopedFakeDesktop scoped;
        scoped.fake.openTheFolder = true;
        const QString archive = in_ + "/Foo.zip";
        makeArchive(archive, kTree);
        MeltDriver melt = openMelt(archive, out_);
        melt.intoStemFolder(true);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(readTree(out_ + "/Foo"), kTree);
        QCOMPARE(melt.destination(), out_ + "/");
        QCOMPARE(session().MeltDirHistory.mid(0, 2), (QStringList{out_ + "/", ""}));
        QCOMPARE(melt.rows("Text2").mid(0, 5), (QStringList{out_ + "/", "", "", "", ""}));
        QCOMPARE(session().DroppedFiles[0], archive);
        QCOMPARE(messageTexts(scoped.fake), QStringList{kDone});
        QCOMPARE(scoped.fake.openedFolders, QStringList{out_});  // the destination, not its sub-folder
        QCOMPARE(scoped.fake.beeps, 1);
        QVERIFY(QFile::exists(archive));
        QVERIFY(melt.isVisible());
        QVERIFY(!melt.window()->isMinimized());
        QVERIFY(!IsDropHooked(IconWindow()));
    }

    void aPeerArchiveIsExtractedWhole()
    {
        ScopedFakeDesktop scoped;
        const QString bsdtar = QStandardPaths::findExecutable("bsdtar");
        if (bsdtar.isEmpty() && qEnvironmentVariableIsEmpty("CI"))
            QSKIP("bsdtar is not installed");
        for (auto it = kTree.begin(); it != kTree.end(); ++it)
            writeFile(in_ + "/tree/" + it.key(), it.value());
        const QString archive = in_ + "/Peer.ZIP";
        QCOMPARE(QProcess::execute(
                     bsdtar, {"--format", "zip", "-cf", archive, "-C", in_ + "/tree", "readme.txt", "sub", "日本語"}),
                 0);
        MeltDriver melt = openMelt(archive, out_ + "/");
        melt.choose("mmelt");
        WAIT_FOR_JOB();
        QCOMPARE(readTree(out_), kTree);
        QCOMPARE(melt.destination(), out_ + "/");
        QCOMPARE(messageTexts(scoped.fake), QStringList{kDone});
    }

    void anEmptyDestinationIsRefused_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << "   ";
    }
    void anEmptyDestinationIsRefused()
    {
        QFETCH(QString, destination);
        ScopedFakeDesktop scoped;
        const QString archive = in_ + "/a.zip";
        makeArchive(archive, kTree);
        MeltDriver melt = openMelt(archive, destination);
        melt.chooseFollowUp(1);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(messageTexts(scoped.fake), QStringList{"解凍先ディレクトリを指定してください。"});
        QCOMPARE(scoped.fake.beeps, 0);
        QVERIFY(QFile::exists(archive));
        QCOMPARE(melt.destination(), destination);
        QCOMPARE(session().MeltDirHistory, QStringList(6));
        QVERIFY(melt.isVisible() && !melt.window()->isMinimized());
    }

    void recordedArchivesRunInOrderAndTheFieldIsIgnored()
    {
        ScopedFakeDesktop scoped;
        const QStringList archives{in_ + "/1.zip", in_ + "/2.lzh", in_ + "/3.zip"};
        for (int i = 0; i < 3; ++i)
            makeArchive(archives[i], {{"same.txt", QByteArray::number(i + 1)}, {QString("only%1").arg(i + 1), "x"}});
        session().RecordDroppedFiles(archives);
        // The later archives' same.txt differs from the one on disk: the user is asked each time.
        scoped.fake.overwriteAnswers = {Pack::Overwrite::Overwrite, Pack::Overwrite::Overwrite};
        MeltDriver melt = openMelt(in_ + "/ignored.zip", out_);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(scoped.fake.overwritePrompts.size(), 2);
        const Tree got = readTree(out_);
        QCOMPARE(got.value("same.txt"), QByteArray("3"));
        QCOMPARE(got.keys(), (QStringList{"only1", "only2", "only3", "same.txt"}));
        QCOMPARE(session().MeltDirHistory.mid(0, 2), (QStringList{out_ + "/", ""}));
        QCOMPARE(melt.rows("Text2").size(), 10);
        QCOMPARE(session().DroppedFiles, archives + QStringList{QString()});
        QCOMPARE(messageTexts(scoped.fake), QStringList{kDone});
    }

    // The history takes the destination as it is after the run.
    void theHistoryShiftsOnlyForANewDestination()
    {
        ScopedFakeDesktop scoped;
        const QString archive = in_ + "/a.zip";
        makeArchive(archive, kTree);
        const auto h = [this](const QString& name) { return out_ + "/" + name + "/"; };
        for (int i = 1; i <= 5; ++i)
            WriteRaw(QString("mdir%1").arg(i), h(QString("h%1").arg(i)));
        MeltDriver melt = openMelt(archive, h("h3"));
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(melt.rows("Text2"), (QStringList{h("h1"), h("h2"), h("h3"), h("h4"), h("h5")}));
        QCOMPARE(messageTexts(scoped.fake), QStringList{kDone});
        QCOMPARE(scoped.fake.beeps, 1);

        melt.typeDestination(h("H3"));
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(session().MeltDirHistory, (QStringList{h("H3"), h("h1"), h("h2"), h("h3"), h("h4"), ""}));
        QCOMPARE(melt.rows("Text2").mid(0, 6), (QStringList{h("H3"), h("h1"), h("h2"), h("h3"), h("h4"), h("h1")}));
        QCOMPARE(melt.rows("Text2").size(), 10);
        melt.pressClose();
        QCOMPARE(StoredText("mdir1"), h("H3"));
        QCOMPARE(StoredText("mdir5"), h("h4"));
    }

    // With 書庫名でﾃﾞｨﾚｸﾄﾘ作成, an archive that holds only its own folder gets no second one.
    void anArchiveOfItsOwnFolderIsNotDoubled_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("members");
        QTest::addColumn<QStringList>("before");  // files in the destination before the run
        QTest::addColumn<QStringList>("expected");
        const QStringList inside{"Same/a.txt", "Same/日本/b.txt"}, none;
        QTest::newRow("zip") << "Same.zip" << inside << none << inside;
        QTest::newRow("lzh") << "Same.lzh" << inside << none << inside;
        QTest::newRow("beside a file") << "Same.zip" << QStringList{"Same/a.txt", "c.txt"} << none
                                       << QStringList{"Same/Same/a.txt", "Same/c.txt"};
        QTest::newRow("another case") << "Same.lzh" << QStringList{"same/a.txt"} << none
                                      << QStringList{"Same/same/a.txt"};
        QTest::newRow("tar.gz") << "Same.tar.gz" << inside << none << inside;
        QTest::newRow("tar.xz, its folder there already")
            << "Same.tar.xz" << inside << QStringList{"Same/old.txt"}
            << QStringList{"Same/a.txt", "Same/old.txt", "Same/日本/b.txt"};
    }
    void anArchiveOfItsOwnFolderIsNotDoubled()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, members);
        QFETCH(QStringList, before);
        QFETCH(QStringList, expected);
        ScopedFakeDesktop scoped;
        if (ArchiveKindOf(name) == ArchiveKind::Other)
            NEED_PEER("bsdtar");
        Tree tree;
        for (const QString& member : members)
            tree.insert(member, member.toUtf8());
        const QString in = in_ + "/" + QTest::currentDataTag(), out = out_ + "/" + QTest::currentDataTag();
        QDir().mkpath(in);
        for (const QString& file : before)
            writeFile(out + "/" + file, "there before");
        makeArchive(in + "/" + name, tree);
        MeltDriver melt = openMelt(in + "/" + name, out);
        melt.intoStemFolder(true);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(readTree(out).keys(), expected);
        QCOMPARE(messageTexts(scoped.fake), QStringList{kDone});
    }

    // A list longer than the first buffer comes back whole.
    void aLongListIsReadWhole()
    {
        QList<QPair<QByteArray, QByteArray>> members;
        for (int i = 0; i < 3000; ++i)
            members.append({"Long/" + QByteArray::number(i).rightJustified(40, '0') + ".txt", "x"});
        writeStoredZip(in_ + "/Long.zip", members);
        Pack::PluginLoader loader(TEMBREL_BIN_DIR);
        const std::optional<QStringList> listed = ListedMembers(ArchiveKind::Zip, in_ + "/Long.zip", loader);
        QVERIFY(listed);
        QCOMPARE(listed->size(), 3000);
        QCOMPARE(listed->last(), QString::fromLatin1(members.last().first));
        QVERIFY(AllBelowFolder(*listed, "Long"));
    }

    // Nothing to extract is said as such, before anything runs, and never reported as finished.
    void nothingToExtractIsSaidAndNotFinished_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("commandLine");
        QTest::addColumn<QString>("opening");
        const QString empty = "解凍する書庫が指定されていないか、見つかりません。";
        QTest::newRow("empty") << "" << false << empty;
        QTest::newRow("blanks") << "  " << false << empty;
        QTest::newRow("not an archive") << "notes.txt" << false << "解凍できる書庫ではありません。";
        QTest::newRow("gone") << "gone.zip" << false << "書庫が見つかりません。";
        QTest::newRow("a folder") << "folder.lzh" << false << "書庫が見つかりません。";
        QTest::newRow("gone, on the command line") << "gone.lzh" << true << empty;
        QTest::newRow("not an archive, on the command line") << "notes.txt" << true << "解凍できる書庫ではありません。";
        QTest::newRow("a later volume, gone") << "gone.part2.rar" << false << "書庫が見つかりません。";
    }
    void nothingToExtractIsSaidAndNotFinished()
    {
        QFETCH(QString, field);
        QFETCH(bool, commandLine);
        QFETCH(QString, opening);
        ScopedFakeDesktop scoped;
        writeFile(in_ + "/notes.txt", "text");
        QDir().mkpath(in_ + "/folder.lzh");
        const QString entry = field.trimmed().isEmpty() ? field : in_ + "/" + field;
        MeltDriver melt(nullptr);
        if (commandLine) {
            WriteRaw("meltpath", out_);
            ResetProgram();
            StartProgram({entry}, TEMBREL_BIN_DIR);
            melt = MeltDriver();
        } else {
            melt = openMelt(entry, out_);
        }
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(scoped.fake.messages.size(), 1);
        QVERIFY2(scoped.fake.messages[0].text.startsWith(opening), qPrintable(scoped.fake.messages[0].text));
        QCOMPARE(scoped.fake.beeps, 0);
        QVERIFY(!QFileInfo::exists(out_));
        QVERIFY(melt.isVisible() && !melt.window()->isMinimized());
    }

    void followUps_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("named");  // in the archive field
        QTest::newRow("leave") << 0 << "Pack.ZIP";
        QTest::newRow("delete") << 1 << "Pack.ZIP";
        QTest::newRow("trash") << 2 << "Pack.ZIP";
        QTest::newRow("move") << 3 << "Pack.ZIP";
        QTest::newRow("delete a set") << 1 << "Pack.7z.001";
        QTest::newRow("trash a set named by a later volume") << 2 << "Pack.7z.002";
        QTest::newRow("move a set named by its last volume") << 3 << "Pack.7z.003";
    }
    void followUps()
    {
        QFETCH(int, option);
        QFETCH(QString, named);
        ScopedFakeDesktop scoped;
        const QString keep = dir_.path() + "/" + QTest::currentTestFunction() + "/keep" + QTest::currentDataTag();
        QDir().mkpath(keep);
        writeFile(keep + "/Pack.zip", "an older copy");
        const QString in = in_ + "/" + QTest::currentDataTag();
        QDir().mkpath(in);
        const bool set = ArchiveKindOf(named) == ArchiveKind::Other;
        if (set)
            NEED_PEER("bsdtar");
        QStringList volumes{in + (set ? "/Pack.7z" : "/Pack.ZIP")};
        makeArchive(volumes[0], kTree);
        if (set) {
            // A split set is the archive's bytes cut in pieces.
            QCOMPARE(QProcess::execute("split",
                                       {"-n", "3", "-a", "3", "--numeric-suffixes=1", volumes[0], volumes[0] + "."}),
                     0);
            QFile::remove(volumes[0]);
            volumes = QStringList{volumes[0] + ".001", volumes[0] + ".002", volumes[0] + ".003"};
        }
        QList<QByteArray> bytes;
        for (const QString& volume : volumes) {
            QFile original(volume);
            original.open(QIODevice::ReadOnly);
            bytes << original.readAll();
        }
        MeltDriver melt = openMelt(in + "/" + named, out_);
        melt.chooseFollowUp(option);
        melt.typeMoveDirectory(keep);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(readTree(out_), kTree);
        QCOMPARE(messageTexts(scoped.fake), QStringList{kDone});
        QCOMPARE(scoped.fake.trashed, option == 2 ? volumes : QStringList{});
        for (qsizetype i = 0; i < volumes.size(); ++i) {
            QCOMPARE(QFile::exists(volumes[i]), option == 0);
            QFile moved(keep + "/" + QFileInfo(volumes[i]).fileName().replace(".ZIP", ".zip"));
            moved.open(QIODevice::ReadOnly);
            QCOMPARE(moved.readAll() == bytes[i], option == 3);
        }
        QVERIFY(!QFile::exists(keep + "/Pack.ZIP"));
    }

    void anEmptyMoveDirectoryIsRefused()
    {
        ScopedFakeDesktop scoped;
        const QString archive = in_ + "/a.lzh";
        makeArchive(archive, kTree);
        MeltDriver melt = openMelt(archive, out_);
        melt.chooseFollowUp(3);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(messageTexts(scoped.fake), QStringList{"書庫の移動先ディレクトリを指定してください。"});
        QVERIFY(QFile::exists(archive));
        QVERIFY(!QDir(out_).exists());
        QCOMPARE(scoped.fake.beeps, 0);
    }

    void aMoveThatCannotCopyKeepsTheArchive()
    {
        ScopedFakeDesktop scoped;
        const QString archive = in_ + "/a.zip";
        makeArchive(archive, kTree);
        MeltDriver melt = openMelt(archive, out_);
        melt.chooseFollowUp(3);
        melt.typeMoveDirectory(in_ + "/no such dir");
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(readTree(out_), kTree);
        QVERIFY(QFile::exists(archive));
        QCOMPARE(scoped.fake.messages.size(), 1);
        QVERIFY(scoped.fake.messages[0].text.contains(archive));
        QVERIFY(scoped.fake.messages[0].text.contains("no such dir"));
        QVERIFY(!scoped.fake.messages[0].text.contains(kDone));
    }

    void aMoveOntoItselfKeepsTheArchive()
    {
        ScopedFakeDesktop scoped;
        const QString archive = in_ + "/self.zip";
        makeArchive(archive, kTree);
        MeltDriver melt = openMelt(archive, out_);
        melt.chooseFollowUp(3);
        melt.typeMoveDirectory(in_);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QVERIFY(QFileInfo(archive).size() > 0);
        QCOMPARE(messageTexts(scoped.fake), QStringList{kDone});
    }

    // One box after the run names every failed archive; the good ones get their follow-up. 7z
    // encryption, which cannot be undone, is said as such.
    void failuresAreNamedAndTheirArchivesKept()
    {
        NEED_PEER("7zz");
        ScopedFakeDesktop scoped;
        const QString good = in_ + "/good.lzh", corrupt = in_ + "/corrupt.zip", missing = in_ + "/missing.zip",
                      unsafe = in_ + "/unsafe.zip", notAnArchive = in_ + "/notes.txt", locked = in_ + "/locked.7z";
        makeArchive(good, kTree);
        writeFile(corrupt, "PK\x03\x04 this is not really an archive");
        writeStoredZip(unsafe, {{"../escaped.txt", "out"}, {"inside.txt", "in"}});
        writeFile(notAnArchive, "text");
        QCOMPARE(QProcess::execute("7zz", {"a", "-bso0", "-bsp0", "-pSecret", locked, notAnArchive}), 0);
        session().RecordDroppedFiles({corrupt, good, missing, notAnArchive, unsafe, locked});
        MeltDriver melt = openMelt("", out_);
        melt.chooseFollowUp(1);
        melt.pressMelt();
        WAIT_FOR_JOB();

        QVERIFY(!QFile::exists(good));
        for (const QString& kept : {corrupt, unsafe, notAnArchive, locked})
            QVERIFY2(QFile::exists(kept), qPrintable(kept));
        QVERIFY(!QFile::exists(QFileInfo(out_).absolutePath() + "/escaped.txt"));
        QCOMPARE(readTree(out_).value("readme.txt"), kTree.value("readme.txt"));
        QCOMPARE(scoped.fake.messages.size(), 1);
        const QString report = scoped.fake.messages[0].text;
        QCOMPARE(scoped.fake.messages[0].title, QString("tembrel"));
        QVERIFY(report.indexOf(corrupt) < report.indexOf(missing));
        QVERIFY(report.indexOf(missing) < report.indexOf(unsafe));
        QVERIFY(report.indexOf(corrupt) >= 0);
        QVERIFY(report.contains("安全でない") || report.contains("外を指す"));
        QVERIFY(report.indexOf("暗号化されていて") > report.indexOf(locked));
        QVERIFY(!report.contains(good));
        QVERIFY(!report.contains(notAnArchive));
        QCOMPARE(scoped.fake.beeps, 1);
    }

    // A name the file system cannot hold is said as such, readably.
    void aNameTooLongIsSaidReadably()
    {
        ScopedFakeDesktop scoped;
        const QString name = QString(100, u'表') + ".txt";  // 304 bytes
        writeStoredZip(in_ + "/long.zip", {{name.toUtf8(), "x"}, {"short.txt", "y"}});
        MeltDriver melt = openMelt(in_ + "/long.zip", out_);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(scoped.fake.messages.size(), 1);
        const QString text = scoped.fake.messages[0].text;
        QVERIFY2(text.contains("名前が長すぎて") && text.contains(name), qPrintable(text));
        QCOMPARE(readTree(out_).keys(), QStringList{"short.txt"});
    }

    void aMissingPluginIsNamed()
    {
        ScopedFakeDesktop scoped;
        const QString archive = in_ + "/a.zip";
        makeArchive(archive, kTree);
        QTemporaryDir empty;
        session().plugins.setDirectory(empty.path());
        MeltDriver melt = openMelt(archive, out_);
        melt.chooseFollowUp(1);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QVERIFY(QFile::exists(archive));
        QCOMPARE(scoped.fake.messages.size(), 1);
        QVERIFY(scoped.fake.messages[0].text.contains("libunzip32.so"));
        QVERIFY(scoped.fake.messages[0].text.contains(archive));
        // A job that could not use the destination leaves the history alone.
        QCOMPARE(session().MeltDirHistory[0], QString());
    }

    void withoutTheMessageTheSoundStillPlays()
    {
        ScopedFakeDesktop scoped;
        session().options.NotifyMode = 1;
        session().options.SoundFile = "/sounds/done.wav";
        makeArchive(in_ + "/a.lzh", kTree);
        MeltDriver melt = openMelt(in_ + "/a.lzh", out_);
        melt.messageAtEnd(false);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QVERIFY(scoped.fake.messages.isEmpty());
        QCOMPARE(scoped.fake.beeps, 0);
        QCOMPARE(scoped.fake.soundsPlayed, QStringList{"/sounds/done.wav"});
    }

    void closingAfterTheRunGivesTheIconItsDrops()
    {
        ScopedFakeDesktop scoped;
        const QString archive = in_ + "/a.zip";
        makeArchive(archive, kTree);
        MeltDriver melt = openMelt(archive, out_);
        melt.closeAfterJob(true);
        melt.pressMelt();
        WAIT_FOR_JOB();
        QCOMPARE(readTree(out_), kTree);
        QVERIFY(!ExistingMeltWindow());
        QVERIFY(IsDropHooked(IconWindow()));
        QCOMPARE(StoredText("mdir1"), out_ + "/");
        QCOMPARE(StoredText("moption3"), QString("1"));
    }

    void startedWithAnArchiveTheRunEndsTheProgram()
    {
        ScopedFakeDesktop scoped;
        const QString archive = in_ + "/given on the line.lzh";
        makeArchive(archive, kTree);
        WriteRaw("meltpath", out_);
        ResetProgram();
        StartProgram({archive}, TEMBREL_BIN_DIR);
        MeltDriver melt;
        QCOMPARE(melt.archive(), archive);
        QCOMPARE(melt.destination(), out_);
        melt.choose("mmelt");
        WAIT_FOR_JOB();
        QCOMPARE(readTree(out_), kTree);
        QCOMPARE(messageTexts(scoped.fake), QStringList{kDone});
        QVERIFY(!IconWindow());
        QVERIFY(!ExistingMeltWindow());
        QCOMPARE(StoredText("mdir1"), out_ + "/");
        QCOMPARE(StoredText("meltpath"), out_);
    }
};

TEMBREL_TEST_MAIN(MeltRunTest)
#include "tst_meltrun.moc"
