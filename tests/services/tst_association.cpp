// The freedesktop association: the desktop entry and mimeapps.list defaults.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "services/Association.h"
#include "support/TestMain.h"

namespace {

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}
QString configHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}
QString entryPath()
{
    return dataHome() + "/applications/pellum-file.desktop";
}
QString mimeappsPath()
{
    return configHome() + "/mimeapps.list";
}
QString fileRollerDefault()
{
    return "[Default Applications]\napplication/zip=org.gnome.FileRoller.desktop;\n";
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class AssociationTest : public QObject {
    Q_OBJECT

    // The system's folders: XDG_CONFIG_DIRS and XDG_DATA_DIRS, fresh for each test.
    std::unique_ptr<QTemporaryDir> systemRoot;

    QString folder(const QString& place) const
    {
        if (place == "config")
            return configHome();
        return systemRoot->path() + "/" + place;
    }

private slots:
    void init()
    {
        QDir(configHome()).removeRecursively();
        QDir(dataHome()).removeRecursively();
        systemRoot = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_DIRS", (systemRoot->path() + "/etc").toUtf8());
        qputenv("XDG_DATA_DIRS", (systemRoot->path() + "/usr").toUtf8());
        qunsetenv("XDG_CURRENT_DESKTOP");
    }

    void writesTheDesktopEntry()
    {
        AssociateArchives();
        QSettings entry(entryPath(), QSettings::IniFormat);
        entry.beginGroup("Desktop Entry");
        QCOMPARE(entry.value("Type").toString(), QString("Application"));
        QCOMPARE(entry.value("Name").toString(), QString("Tembrel"));
        entry.endGroup();
        const QString text = QString::fromUtf8(readAll(entryPath()));
        QVERIFY(text.contains(QRegularExpression("\nMimeType=[^\n]*application/x-lha;")));
        QVERIFY(text.contains(QRegularExpression("\nMimeType=[^\n]*application/zip;")));
        const QString exec = "Exec=\"" + QCoreApplication::applicationDirPath() + "/pellum\" %f";
        QVERIFY2(text.contains(exec + "\n"), qPrintable(text));
        QVERIFY(text.contains("[Desktop Action melt]\nName=解凍\n" + exec + "\n"));
    }

    void defaultsGoToMimeappsList()
    {
        AssociateArchives();
        const QString text = QString::fromUtf8(readAll(mimeappsPath()));
        QVERIFY(text.startsWith("[Default Applications]\n"));
        QVERIFY(text.contains("application/x-lha=pellum-file.desktop;\n"));
        QVERIFY(text.contains("application/zip=pellum-file.desktop;\n"));
    }

    void unrelatedLinesOfMimeappsListStay()
    {
        const QByteArray before = "# mine\n"
                                  "[Added Associations]\n"
                                  "text/plain=gedit.desktop;\n"
                                  "\n"
                                  "[Default Applications]\n"
                                  "image/png=eog.desktop;\n"
                                  "application/zip=file-roller.desktop;\n"
                                  "\n"
                                  "[Removed Associations]\n"
                                  "video/mp4=vlc.desktop;\n";
        writeAll(mimeappsPath(), before);
        AssociateArchives();
        const QString after = QString::fromUtf8(readAll(mimeappsPath()));
        for (const char* kept : {"# mine\n", "[Added Associations]\ntext/plain=gedit.desktop;\n",
                                 "image/png=eog.desktop;\n", "[Removed Associations]\nvideo/mp4=vlc.desktop;\n"})
            QVERIFY2(after.contains(kept), kept);
        QVERIFY(after.contains("application/zip=pellum-file.desktop;\n"));
        QVERIFY(!after.contains("file-roller"));
        // Our defaults stand inside [Default Applications], before [Removed Associations].
        QVERIFY(after.indexOf("application/x-lha=") < after.indexOf("[Removed Associations]"));
        QVERIFY(after.indexOf("application/x-lha=") > after.indexOf("[Default Applications]"));
    }

    void runningTwiceLeavesTheSameFiles()
    {
        for (const auto associate : {AssociateArchives, RegisterArchiveHandler}) {
            writeAll(mimeappsPath(), "[Default Applications]\ntext/html=firefox.desktop;\n");
            associate();
            const QByteArray entryOnce = readAll(entryPath());
            const QByteArray mimeappsOnce = readAll(mimeappsPath());
            associate();
            QCOMPARE(readAll(entryPath()), entryOnce);
            QCOMPARE(readAll(mimeappsPath()), mimeappsOnce);
        }
    }

    // The first start takes only the types that have no default: `file` in `place` holds
    // `text`, and `installed` entries lie in the system's applications folder.
    void firstStartTakesOnlyFreeTypes_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<bool>("zipOurs");
        QTest::addColumn<bool>("lzhOurs");
        const QString user = "config", admin = "etc", system = "usr/applications";
        const QString list = "mimeapps.list", roller = "org.gnome.FileRoller.desktop", ark = "ark.desktop";
        const QString arkForLzh = "[Default Applications]\napplication/x-lha=ark.desktop;\n";
        const QString arkForZipAlias = "[Default Applications]\napplication/x-zip-compressed=ark.desktop\n";
        const QString arkAdded = "[Added Associations]\napplication/zip=ark.desktop;\n";
        QTest::newRow("no default anywhere") << user << list << QString() << QString() << true << true;
        QTest::newRow("another ZIP default") << user << list << fileRollerDefault() << roller << false << true;
        QTest::newRow("a default no longer installed")
            << user << list << fileRollerDefault() << QString() << true << true;
        QTest::newRow("a ZIP alias's default") << user << list << arkForZipAlias << ark << false << true;
        QTest::newRow("the desktop's own list")
            << user << "gnome-mimeapps.list" << fileRollerDefault() << roller << false << true;
        QTest::newRow("a system-wide LZH default") << system << list << arkForLzh << ark << true << false;
        QTest::newRow("an administrator's ZIP default")
            << admin << list << fileRollerDefault() << roller << false << true;
        QTest::newRow("another group's ZIP line") << user << list << arkAdded << ark << true << true;
    }

    void firstStartTakesOnlyFreeTypes()
    {
        QFETCH(QString, place);
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(QString, installed);
        QFETCH(bool, zipOurs);
        QFETCH(bool, lzhOurs);
        qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        writeAll(folder(place) + "/" + file, text.toUtf8());
        if (!installed.isEmpty())
            writeAll(folder("usr/applications") + "/" + installed, "[Desktop Entry]\nType=Application\n");

        RegisterArchiveHandler();

        QVERIFY(QFile::exists(entryPath()));
        const QString user = QString::fromUtf8(readAll(mimeappsPath()));
        QCOMPARE(user.contains("application/zip=pellum-file.desktop;\n"), zipOurs);
        QCOMPARE(user.contains("application/x-lha=pellum-file.desktop;\n"), lzhOurs);
        // Whatever the user's own file said stays, except lines for the types taken.
        if (place == "config" && file == "mimeapps.list" && !zipOurs)
            QVERIFY2(user.startsWith(text), qPrintable(user));
    }

    void execQuotesAwkwardProgramPaths()
    {
        QCOMPARE(AssociationExec("/opt/my apps/pellum"), QString("\"/opt/my apps/pellum\" %f"));
        // A quote inside the path is escaped for the argument, then its backslash for the file.
        QCOMPARE(AssociationExec("/opt/a\"b/pellum"), QString("\"/opt/a\\\\\"b/pellum\" %f"));
        QCOMPARE(AssociationExec("/opt/$x/pellum"), QString("\"/opt/\\\\$x/pellum\" %f"));
    }
};

TEMBREL_TEST_MAIN(AssociationTest)
#include "tst_association.moc"
