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

    // The one place that tells an archive's kind from its name, and the extension of a kind.
    void archiveKinds_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("extension");
        QTest::newRow("upper case") << "/a/B.LZH" << int(ArchiveKind::Lzh) << ".lzh";
        QTest::newRow("mixed case zip") << "/a/b.Zip" << int(ArchiveKind::Zip) << ".zip";
        QTest::newRow("lha is not lzh") << "/a/b.lha" << int(ArchiveKind::None) << "";
        QTest::newRow("tar.gz") << "/a/b.tar.gz" << int(ArchiveKind::None) << "";
        QTest::newRow("trailing extension") << "/a/x.lzh.bak" << int(ArchiveKind::None) << "";
        QTest::newRow("shorter than four") << "zip" << int(ArchiveKind::None) << "";
        QTest::newRow("exactly the extension") << ".zip" << int(ArchiveKind::Zip) << ".zip";
    }
    void archiveKinds()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, extension);
        const auto found = ArchiveKindOf(name);
        QCOMPARE(int(found), kind);
        QCOMPARE(ExtensionOf(found), extension);
        QCOMPARE(ArchiveKindOf("x" + extension), found);
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
