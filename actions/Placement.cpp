// Free names and the hidden work folder of the command-line actions.
#include "actions/Placement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A name no folder has: what the root's items or an archive named only by its extension get.
const QString kNoName = QStringLiteral("書庫");

QString nameOf(const QString& path)
{
    return QFileInfo(QDir::cleanPath(path)).fileName();
}

// Renames without replacing: where the file system cannot promise that, a name found free just
// before is taken.
bool renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat info {};
    if (::lstat(target.constData(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(source.constData(), target.constData()) == 0;
}

}  // namespace

QString NumberedName(const QString& name, int number, bool folder)
{
    if (number <= 1)
        return name;
    const QString suffix = QStringLiteral(" (%1)").arg(number);
    const qsizetype dot = folder ? -1 : name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return name + suffix;
    return name.left(dot) + suffix + name.mid(dot);
}

QString PackedArchiveName(const QStringList& paths, const QString& extension)
{
    if (paths.isEmpty())
        return kNoName + extension;
    const QString first = QDir::cleanPath(paths.first());
    const QString name = paths.size() == 1 ? nameOf(first) : nameOf(QFileInfo(first).absolutePath());
    return (name.isEmpty() ? kNoName : name) + extension;
}

QString MakeWorkFolder(const QString& directory)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = QStringLiteral(".tembrel-");
        for (int i = 0; i < 8; ++i)
            name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(36)]);
        const QString path = QDir(directory).absoluteFilePath(name);
        // mkdir applies the umask, as for any folder the user makes.
        if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
            return path;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

QString MoveToFreeName(const QString& source, const QString& directory, const QString& name)
{
    const QFileInfo info(source);
    const bool folder = info.isDir() && !info.isSymLink();
    for (int number = 1; number < 10000; ++number) {
        const QString target = QDir(directory).absoluteFilePath(NumberedName(name, number, folder));
        if (renameNoReplace(source, target))
            return target;
        if (errno != EEXIST && errno != ENOTEMPTY)
            return {};
    }
    return {};
}

QString PlaceExtracted(const QString& workFolder, const QString& directory, const QString& folderName)
{
    const QStringList top =
        QDir(workFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (top.size() != 1)
        return MoveToFreeName(workFolder, directory, folderName);
    const QString placed = MoveToFreeName(workFolder + QLatin1Char('/') + top.first(), directory, top.first());
    if (!placed.isEmpty())
        QDir().rmdir(workFolder);
    return placed;
}
