// Choosers over the desktop seam, and ToLongPath for Linux paths.
#include "services/Choosers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <sys/stat.h>

#include "services/Desktop.h"

QString StartingDirectory(const QString& setting)
{
    // The program's own folder is where the setting points until the user chose a folder; an
    // installed program's folder holds nothing a user looks for.
    const QFileInfo folder(setting);
    const bool programFolder =
        folder.canonicalFilePath() == QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
    return !setting.isEmpty() && folder.isDir() && !programFolder ? setting : QDir::homePath();
}

QString PickFile(QWidget* owner, const QString& filter, const QString& initialDirectory, const QString& title)
{
    const QStringList parts = filter.split(QChar(u'\0'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString patterns = parts.value(i + 1, QStringLiteral("*"));
        filters << parts[i] + QStringLiteral(" (") +
                       patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return desktop().pickFile(owner, filters, StartingDirectory(initialDirectory), title);
}

QString PickFolder(QWidget* owner, const QString& title, const QString& initialDirectory)
{
    return desktop().pickFolder(owner, title, StartingDirectory(initialDirectory));
}

QString ToLongPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    // Linux has no short aliases: the long form is the absolute path whose every component
    // exists. The lookup goes component by component so that a missing middle directory stops
    // it, as the name-by-name search did. lstat sees hidden entries and dangling links alike.
    const QString absolute = QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(path));
    const QStringList components = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString accumulated;
    for (const QString& component : components) {
        accumulated += QLatin1Char('/') + component;
        struct stat info {};
        if (::lstat(QFile::encodeName(accumulated).constData(), &info) != 0)
            return {};
    }
    return accumulated.isEmpty() ? QStringLiteral("/") : accumulated;
}
