// ToLongPath on Linux paths, the choosers' hand-over to the desktop, and what the real desktop
// does with the trash, the folder chooser and opening a folder.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <optional>

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

    void pickFileOffersEveryFilterPairTheFirstSelected()
    {
        ScopedFakeDesktop scoped;
        scoped.fake.nextFile = "/music/done.wav";
        const QString filter = QString("書庫ﾌｧｲﾙ") + QChar(u'\0') + "*.7z;*.tar.gz" + QChar(u'\0') +
                               "LZH,ZIPﾌｧｲﾙ(.LZH;.ZIP)" + QChar(u'\0') + "*.lzh;*.zip";
        QCOMPARE(PickFile(nullptr, filter, "/", "解凍する書庫の指定"), QString("/music/done.wav"));
        QCOMPARE(scoped.fake.fileRequests.size(), 1);
        const auto& request = scoped.fake.fileRequests.first();
        QCOMPARE(request.filters, (QStringList{"書庫ﾌｧｲﾙ (*.7z *.tar.gz)", "LZH,ZIPﾌｧｲﾙ(.LZH;.ZIP) (*.lzh *.zip)"}));
        QCOMPARE(request.initialDirectory, QString("/"));
        QCOMPARE(request.title, QString("解凍する書庫の指定"));
    }

    void cancelledChoosersGiveTheEmptyString()
    {
        ScopedFakeDesktop scoped;
        QCOMPARE(PickFile(nullptr, QString("WAVﾌｧｲﾙ") + QChar(u'\0') + "*.wav", "/", "t"), QString());
        QCOMPARE(PickFolder(nullptr, "解凍先ディレクトリの指定", "/"), QString());
        QCOMPARE(scoped.fake.folderRequests, QStringList{"解凍先ディレクトリの指定"});
        // A long chosen folder comes back whole.
        scoped.fake.nextFolder = "/" + QString(300, 'x');
        QCOMPARE(PickFolder(nullptr, "t", "/").size(), 301);
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
        // The default: an installed program's folder holds nothing a user looks for.
        QTest::newRow("the program's own folder") << QCoreApplication::applicationDirPath() + "/" << false;
    }
    void choosersStartAtTheSettingOrHome()
    {
        QFETCH(QString, setting);
        QFETCH(bool, kept);
        ScopedFakeDesktop scoped;
        PickFile(nullptr, "", setting, "t");
        PickFolder(nullptr, "t", setting);
        const QString start = kept ? setting : QDir::homePath();
        QCOMPARE(scoped.fake.fileRequests.value(0).initialDirectory, start);
        QCOMPARE(scoped.fake.folderStarts, QStringList{start});
    }

    // The trash entry of a file moved aside before it went names where it was, so a restore
    // puts it back there.
    void aTrashEntryNamesTheOriginalPlace()
    {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(".aside"));
        const QString aside = root.path() + "/.aside/報告 書.zip", original = root.path() + "/報告 書.zip";
        QFile file(aside);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(desktop().moveToTrash(aside, original));
        const QString info =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/info/報告 書.zip.trashinfo";
        QFile entry(info);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray lines = entry.readAll();
        const qsizetype at = lines.indexOf("\nPath=") + 6;
        QCOMPARE(QUrl::fromPercentEncoding(lines.mid(at, lines.indexOf('\n', at) - at)), original);
        QVERIFY(QFile::exists(QFileInfo(info).absolutePath() + "/../files/報告 書.zip"));
    }

    // The folder chooser holds up its own window only.
    void theFolderChooserIsModalToItsWindow()
    {
        QWidget owner;
        owner.show();
        Qt::WindowModality modality = Qt::NonModal;
        QWidget* parent = nullptr;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                modality = dialog->windowModality();
                parent = dialog->parentWidget();
                dialog->reject();
            }
        });
        QCOMPARE(desktop().pickFolder(&owner, "t", QDir::tempPath()), QString());
        QCOMPARE(modality, Qt::WindowModal);
        QCOMPARE(parent, &owner);
    }

    // Esc closes every message box, as its only or its "cancel" button.
    void escClosesEveryMessageBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("message") << "message";
        QTest::newRow("finished") << "finished";
        QTest::newRow("question") << "question";
        QTest::newRow("go on") << "go on";
    }
    void escClosesEveryMessageBox()
    {
        QFETCH(QString, box);
        const auto pressEsc = [] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
        };
        std::optional<bool> answer;
        if (box == "question") {
            desktop().ask(nullptr, "t", "t", [&](bool yes) { answer = yes; });
            pressEsc();
            QTRY_VERIFY(answer.has_value());
        } else {
            QTimer::singleShot(0, pressEsc);
            if (box == "message")
                desktop().showMessage(nullptr, "t", "t");
            else if (box == "finished")
                desktop().showFinished(nullptr, "t", "t", QDir::tempPath());
            else
                answer = desktop().askContinue(nullptr, "t", "t");
        }
        QCOMPARE(answer.value_or(false), false);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // ﾌｫﾙﾀﾞを開く that opens nothing says so.
    void aFolderThatCannotBeOpenedIsSaid_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::newRow("no handler answers") << "false";
        QTest::newRow("no opener at all") << "/no/such/opener";
    }
    void aFolderThatCannotBeOpenedIsSaid()
    {
        QFETCH(QString, opener);
        bool failed = false;
        OpenFolderWith(opener, QDir::tempPath(), [&] { failed = true; });
        QTRY_VERIFY(failed);
    }
};

TEMBREL_TEST_MAIN(ChoosersTest)
#include "tst_choosers.moc"
