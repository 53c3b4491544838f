// The command-line scanner and the rules on names: quoted list and archive test.
#include <QRegularExpression>

#include "services/ArchiveKind.h"
#include "services/Session.h"
#include "shell/CommandLine.h"
#include "support/Run.h"
#include "support/TestMain.h"

class NamesTest : public QObject {
    Q_OBJECT

private slots:
    void splitCommandLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("arguments");  // slot 0 included
        QTest::newRow("quoted blank, then a bare name")
            << R"("C:\My Files\a.lzh" b.zip)" << QStringList{"", R"(C:\My Files\a.lzh)", "b.zip"};
        QTest::newRow("quote inside a word") << R"("a"b)" << QStringList{"", "ab"};
        QTest::newRow("tabs and runs of blanks") << "\t a  \t b " << QStringList{"", "a", "b"};
        QTest::newRow("empty") << "" << QStringList{""};
        QTest::newRow("quoted blank before any argument goes to slot 0") << "\" \"x" << QStringList{" ", "x"};
        QTest::newRow("quoted blank after an argument joins it") << "a \" b\"" << QStringList{"", "a ", "b"};
        QTest::newRow("empty quotes are nothing") << "\"\" a" << QStringList{"", "a"};
        QTest::newRow("Japanese") << "\"/データ/表 示.lzh\"" << QStringList{"", "/データ/表 示.lzh"};
    }
    void splitCommandLine()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, arguments);
        QCOMPARE(SplitCommandLine(line), arguments);
    }

    void splitCommandLineStopsAtTheMaximum()
    {
        QStringList words;
        for (int i = 1; i <= 12; ++i)
            words << QString::number(i);
        const QStringList split = SplitCommandLine(words.join(' '));
        QCOMPARE(split.size(), 11);
        QCOMPARE(split.last(), QString("10"));
        QCOMPARE(SplitCommandLine("a b c", 2), (QStringList{"", "a", "b"}));
        QCOMPARE(StartupNames(QStringList{"pellum"} + words).size(), 10);
    }

    void quotedList_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("list");
        QTest::newRow("one name stands bare") << QStringList{"/a b/x.lzh"} << "/a b/x.lzh";
        QTest::newRow("two names quoted") << QStringList{"/a.LZH", "/b.Zip"} << "\"/a.LZH\" \"/b.Zip\"";
        QTest::newRow("an empty name among others") << QStringList{"/a.zip", ""} << "\"/a.zip\" \"\"";
        QTest::newRow("nothing") << QStringList{} << "";
    }
    void quotedList()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, list);
        QCOMPARE(QuotedList(names), list);
    }

    // The one place that tells an archive's kind from its name, its stem, its own ending and
    // the first volume of its set.
    void archiveKinds_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("stem");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("first");  // empty: the name itself
        const int lzh = int(ArchiveKind::Lzh), zip = int(ArchiveKind::Zip), other = int(ArchiveKind::Other),
                  none = int(ArchiveKind::None);
        QTest::newRow("upper case") << "/a/B.LZH" << lzh << "B"
                                    << ".lzh"
                                    << "";
        QTest::newRow("mixed case zip") << "/a/b.Zip" << zip << "b"
                                        << ".zip"
                                        << "";
        QTest::newRow("exactly the extension") << ".zip" << zip << ""
                                               << ".zip"
                                               << "";
        QTest::newRow("blanks around") << "/in/ my files .Zip" << zip << "my files"
                                       << ".zip"
                                       << "";
        QTest::newRow("lha is not lzh") << "/a/b.lha" << none << ""
                                        << ""
                                        << "";
        QTest::newRow("trailing extension") << "/a/x.lzh.bak" << none << ""
                                            << ""
                                            << "";
        QTest::newRow("shorter than four") << "zip" << none << ""
                                           << ""
                                           << "";
        QTest::newRow("gz alone") << "/a/notes.txt.gz" << none << ""
                                  << ""
                                  << "";
        QTest::newRow("a year is no volume") << "/a/report.2024" << none << ""
                                             << ""
                                             << "";
        QTest::newRow("7z") << "/a/Photos.7Z" << other << "Photos"
                            << ".7z"
                            << "";
        QTest::newRow("rar") << "/a/b c.rar" << other << "b c"
                             << ".rar"
                             << "";
        QTest::newRow("tar") << "/a/t.tar" << other << "t"
                             << ".tar"
                             << "";
        QTest::newRow("tgz") << "/a/t.TGZ" << other << "t"
                             << ".tgz"
                             << "";
        QTest::newRow("tar.gz") << "/a/photos.tar.gz" << other << "photos"
                                << ".tar.gz"
                                << "";
        QTest::newRow("tbz2") << "/a/t.tbz2" << other << "t"
                              << ".tbz2"
                              << "";
        QTest::newRow("tar.bz2") << "/a/t.Tar.Bz2" << other << "t"
                                 << ".tar.bz2"
                                 << "";
        QTest::newRow("txz") << "/a/t.txz" << other << "t"
                             << ".txz"
                             << "";
        QTest::newRow("tar.xz") << "/a/t.tar.xz" << other << "t"
                                << ".tar.xz"
                                << "";
        QTest::newRow("tar.zst") << "/a/t.tar.zst" << other << "t"
                                 << ".tar.zst"
                                 << "";
        QTest::newRow("cab") << "/a/setup.CAB" << other << "setup"
                             << ".cab"
                             << "";
        QTest::newRow("iso") << "/a/disc.iso" << other << "disc"
                             << ".iso"
                             << "";
        QTest::newRow("cpio") << "/a/i.cpio" << other << "i"
                              << ".cpio"
                              << "";
        QTest::newRow("xar") << "/a/p.xar" << other << "p"
                             << ".xar"
                             << "";
        QTest::newRow("split set") << "/a/big.001" << other << "big"
                                   << ".001"
                                   << "";
        QTest::newRow("split zip is no zip") << "/a/x.zip.001" << other << "x"
                                             << ".zip.001"
                                             << "";
        QTest::newRow("later split volume") << "/a/x.7z.012" << other << "x"
                                            << ".7z.012"
                                            << "/a/x.7z.001";
        QTest::newRow("later RAR part") << "/a/photos.part3.rar" << other << "photos"
                                        << ".part3.rar"
                                        << "/a/photos.part1.rar";
        QTest::newRow("first RAR part") << "/a/photos.part01.rar" << other << "photos"
                                        << ".part01.rar"
                                        << "";
        QTest::newRow("old RAR volume") << "/a/Old.R07" << other << "Old"
                                        << ".r07"
                                        << "/a/Old.RAR";
    }
    void archiveKinds()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, stem);
        QFETCH(QString, ending);
        QFETCH(QString, first);
        QCOMPARE(int(ArchiveKindOf(name)), kind);
        if (kind != int(ArchiveKind::None)) {
            QCOMPARE(ArchiveStem(name), stem);
            QCOMPARE(ArchiveEnding(name), ending);
        }
        QCOMPARE(FirstVolumeOf(name), first.isEmpty() ? name : first);
    }

    // The archive chooser shows every archive the run extracts, and nothing else.
    void theChoosersPatternsAreArchives()
    {
        for (const QString& pattern : ArchivePatterns().split(';'))
            QVERIFY2(ArchiveKindOf("/a/x" + pattern.mid(1)) != ArchiveKind::None, qPrintable(pattern));
        for (const char* name : {"x.LZH", "x.zip", "x.7z", "x.part1.rar", "x.tar.gz", "x.tbz2", "x.iso", "x.7z.001"}) {
            bool shown = false;
            for (const QString& pattern : ArchivePatterns().split(';'))
                shown = shown || QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                                    QRegularExpression::CaseInsensitiveOption)
                                     .match(name)
                                     .hasMatch();
            QVERIFY2(shown, qPrintable(name));
        }
    }

    void recordingKeepsOneExtraSlot()
    {
        session().RecordDroppedFiles({"/1", "/2", "/3"});
        QCOMPARE(session().DroppedCount, qint16(3));
        QCOMPARE(session().DroppedFiles.size(), 4);
        session().RecordDroppedFiles({"/only"});
        QCOMPARE(session().DroppedCount, qint16(1));
        QCOMPARE(session().DroppedFiles.size(), 2);
        QCOMPARE(session().DroppedFiles[0], QString("/only"));
    }
};

TEMBREL_TEST_MAIN(NamesTest)
#include "tst_names.moc"
