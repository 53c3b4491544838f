// The command-line scanner and the rules on names: quoted list and archive test.
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
    }

    // What the arguments after the program's name ask for; `wrong` names what a refusal mentions.
    void startCommand_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("wrong");
        const int open = int(StartAction::Open), wrong = int(StartAction::Wrong);
        QTest::newRow("nothing") << QStringList{} << open << QStringList{} << "";
        QTest::newRow("names") << QStringList{"/a.zip", "b"} << open << QStringList{"/a.zip", "b"} << "";
        QTest::newRow("an action") << QStringList{"--extract-here", "/a.zip"} << int(StartAction::ExtractHere)
                                   << QStringList{"/a.zip"} << "";
        QTest::newRow("-- ends the options") << QStringList{"--compress-lzh", "--", "-x", "--help"}
                                             << int(StartAction::CompressLzh) << QStringList{"-x", "--help"} << "";
        QTest::newRow("a name ends them too")
            << QStringList{"a.zip", "--extract-to"} << open << QStringList{"a.zip", "--extract-to"} << "";
        QTest::newRow("help wins") << QStringList{"--bogus", "--help"} << int(StartAction::Help) << QStringList{} << "";
        QTest::newRow("an unknown option") << QStringList{"--bogus", "a"} << wrong << QStringList{} << "--bogus";
        QTest::newRow("two actions") << QStringList{"--extract-here", "--compress-zip", "a"} << wrong << QStringList{}
                                     << "--compress-zip";
        QTest::newRow("an action without names")
            << QStringList{"--extract-to", "--"} << wrong << QStringList{} << "解凍先を指定...";
    }
    void startCommand()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QStringList, names);
        QFETCH(QString, wrong);
        const StartCommand command = ParseStartCommand(arguments);
        QCOMPARE(int(command.action), action);
        QCOMPARE(command.names, names);
        QVERIFY2(command.wrong.contains(wrong) && command.wrong.isEmpty() == wrong.isEmpty(),
                 qPrintable(command.wrong));
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
        QTest::addColumn<QStringList>("parts");  // stem, ending, first volume (when not the name)
        const int none = int(ArchiveKind::None), lzh = int(ArchiveKind::Lzh), zip = int(ArchiveKind::Zip),
                  other = int(ArchiveKind::Other);
        QTest::newRow("upper case") << "/a/B.LZH" << lzh << QStringList{"B", ".lzh"};
        QTest::newRow("mixed case zip") << "/a/b.Zip" << zip << QStringList{"b", ".zip"};
        QTest::newRow("exactly the extension") << ".zip" << zip << QStringList{"", ".zip"};
        QTest::newRow("blanks around") << "/in/ my files .Zip" << zip << QStringList{"my files", ".zip"};
        QTest::newRow("lha is not lzh") << "/a/b.lha" << none << QStringList{};
        QTest::newRow("trailing extension") << "/a/x.lzh.bak" << none << QStringList{};
        QTest::newRow("shorter than four") << "zip" << none << QStringList{};
        QTest::newRow("gz alone") << "/a/notes.txt.gz" << none << QStringList{};
        QTest::newRow("a year is no volume") << "/a/report.2024" << none << QStringList{};
        QTest::newRow("7z") << "/a/Photos.7Z" << other << QStringList{"Photos", ".7z"};
        QTest::newRow("tar.gz") << "/a/b c.Tar.Gz" << other << QStringList{"b c", ".tar.gz"};
        QTest::newRow("split zip is no zip") << "/a/x.zip.001" << other << QStringList{"x", ".zip.001"};
        QTest::newRow("later split volume") << "/a/x.7z.012" << other << QStringList{"x", ".7z.012", "/a/x.7z.001"};
        QTest::newRow("later RAR part") << "/a/p.part03.rar" << other
                                        << QStringList{"p", ".part03.rar", "/a/p.part01.rar"};
        QTest::newRow("old RAR volume") << "/a/Old.R07" << other << QStringList{"Old", ".r07", "/a/Old.RAR"};
    }
    void archiveKinds()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QStringList, parts);
        QCOMPARE(int(ArchiveKindOf(name)), kind);
        if (!parts.isEmpty())
            QCOMPARE((QStringList{ArchiveStem(name), ArchiveEnding(name)}), parts.mid(0, 2));
        QCOMPARE(FirstVolumeOf(name), parts.value(2, name));
    }

    // Every ending the archive chooser offers is an archive the run extracts.
    void theChoosersPatternsAreArchives()
    {
        for (const QString& pattern : ArchivePatterns().split(';'))
            QVERIFY2(ArchiveKindOf("/a/x" + pattern.mid(1)) != ArchiveKind::None, qPrintable(pattern));
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
