// The freedesktop association: the desktop entry and mimeapps.list defaults.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

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

private slots:
    void init()
    {
        QFile::remove(entryPath());
        QFile::remove(mimeappsPath());
    }

    void writesTheDesktopEntry()
    {
        AssociateArchives();
        QSettings entry(entryPath(), QSettings::IniFormat);
        entry.beginGroup("Desktop Entry");
        QCOMPARE(entry.value("Type").toString(), QString("Application"));
        QCOMPARE(entry.value("Name").toString(), QString("Pellum file"));
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
        writeAll(mimeappsPath(), "[Default Applications]\ntext/html=firefox.desktop;\n");
        AssociateArchives();
        const QByteArray entryOnce = readAll(entryPath());
        const QByteArray mimeappsOnce = readAll(mimeappsPath());
        AssociateArchives();
        QCOMPARE(readAll(entryPath()), entryOnce);
        QCOMPARE(readAll(mimeappsPath()), mimeappsOnce);
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
