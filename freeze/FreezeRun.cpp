// The compression run's rules and the archive work behind the compression window.
#include "freeze/FreezeRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <exception>
#include <optional>

#include "services/Pack.h"

namespace {

const QLatin1Char kQuote('"');

QString quoted(const QString& text) { return kQuote + text + kQuote; }

// "/a/b/" and "/a/b" name the same folder; the root stays "/".
QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString absoluteClean(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

bool isInside(const QString& path, const QString& root)
{
    if (root == QLatin1String("/"))
        return true;
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

// The old archive, moved out of the way while the new one is built.
struct SetAside {
    QString directory;  // a private directory made for it
    QString path;       // the old archive inside it, under its own name
};

// Moves the old archive into a private directory next to it, or further up when the target
// directory lies inside a dropped folder: anywhere inside a dropped folder it would be walked
// and packed into the new archive. A rename keeps it on the same file system where it can.
std::optional<SetAside> moveAside(const QString& archivePath, const QStringList& entries)
{
    QStringList droppedFolders;
    for (const QString& entry : entries) {
        const QFileInfo info(entry);
        if (info.isDir())
            droppedFolders << info.canonicalFilePath();
    }
    const auto insideDropped = [&](const QString& directory) {
        for (const QString& folder : droppedFolders) {
            if (isInside(directory, folder))
                return true;
        }
        return false;
    };

    QStringList candidates;
    QString directory = QFileInfo(QFileInfo(archivePath).absolutePath()).canonicalFilePath();
    while (!directory.isEmpty()) {
        candidates << directory;
        if (directory == QLatin1String("/"))
            break;
        directory = QFileInfo(directory).absolutePath();
    }
    candidates << QFileInfo(QDir::tempPath()).canonicalFilePath();

    const QString name = QFileInfo(archivePath).fileName();
    for (const QString& candidate : candidates) {
        if (candidate.isEmpty() || insideDropped(candidate))
            continue;
        QTemporaryDir holder(withoutTrailingSlashes(candidate) + QStringLiteral("/.tembrel-old-XXXXXX"));
        if (!holder.isValid())
            continue;
        const QString target = holder.path() + QLatin1Char('/') + name;
        if (QFile::rename(archivePath, target)) {
            holder.setAutoRemove(false);
            return SetAside{holder.path(), target};
        }
    }
    return std::nullopt;
}

void discard(const SetAside& aside)
{
    QFile::remove(aside.path);
    QDir().rmdir(aside.directory);
}

QString libraryName(ArchiveKind kind)
{
    return kind == ArchiveKind::Lzh ? QStringLiteral("libunlha32.so") : QStringLiteral("libzip32j.so");
}

}  // namespace

QString WithArchiveExtension(const QString& name, qint16 defaultArchiveType)
{
    const QString tail = name.right(4).toLower();
    if (tail == QLatin1String(".lzh") || tail == QLatin1String(".zip"))
        return name;
    return name + (defaultArchiveType != 0 ? QStringLiteral(".zip") : QStringLiteral(".lzh"));
}

QString WithTrailingSlash(const QString& directory)
{
    return directory.endsWith(QLatin1Char('/')) ? directory : directory + QLatin1Char('/');
}

ArchiveKind KindOfArchive(const QString& name)
{
    return name.right(4).toLower() == QLatin1String(".lzh") ? ArchiveKind::Lzh : ArchiveKind::Zip;
}

QString EntryCommand(ArchiveKind kind, const QString& archivePath, const QString& entry)
{
    if (!QFileInfo(entry).isDir()) {
        return kind == ArchiveKind::Lzh ? QStringLiteral("a -n1 ") + quoted(archivePath) + QLatin1Char(' ') + quoted(entry)
                                        : QStringLiteral("-r -j -q ") + quoted(archivePath) + QLatin1Char(' ') +
                                              quoted(entry);
    }
    // The folder goes as "N/*.*" below its parent B, so its members keep N as their first part.
    // N goes unquoted as the plug-ins have always been sent it, except when it holds a blank or
    // a tab: unquoted, such a name would split into several words and never be found.
    const QString folder = withoutTrailingSlashes(entry);
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    const QString parent = folder.left(slash + 1);
    const QString name = folder == QLatin1String("/") ? QString() : folder.mid(slash + 1);
    QString pattern = name + QStringLiteral("/*.*");
    if (name.contains(QLatin1Char(' ')) || name.contains(QLatin1Char('\t')))
        pattern = quoted(pattern);
    if (kind == ArchiveKind::Lzh)
        return QStringLiteral("a ") + quoted(archivePath) + QLatin1Char(' ') + quoted(parent) + QLatin1Char(' ') +
               pattern + QStringLiteral(" -x -n1 -r2");
    return QStringLiteral("-r -q ") + quoted(archivePath) + QLatin1Char(' ') + quoted(parent) + QLatin1Char(' ') +
           pattern;
}

bool RememberDirectory(QStringList& history, const QString& directory)
{
    history.resize(kHistorySize);
    if (history.contains(directory))
        return false;
    history.prepend(directory);
    history.resize(kHistorySize);
    return true;
}

bool ReplacesOldArchive(const QString& archivePath, const QString& archiveName)
{
    const QFileInfo info(archivePath);
    return !archiveName.contains(QLatin1Char('/')) && !archiveName.startsWith(QLatin1Char('.')) && info.isFile() &&
           info.fileName() == archiveName;
}

FreezeOutcome BuildArchive(ArchiveKind kind, const QString& archivePath, bool replaceOld, const QStringList& entries,
                           std::uintptr_t owner)
{
    FreezeOutcome outcome;
    try {
        if (kind == ArchiveKind::Lzh)
            Pack::UnlhaGetVersion();
        else
            Pack::ZipGetVersion();
    } catch (const Pack::ArchiverMissing& missing) {
        outcome.setupFailure = QStringLiteral("%1 を読み込めませんでした。\n%2")
                                   .arg(libraryName(kind), QString::fromStdString(missing.what()));
        return outcome;
    }
    if (entries.isEmpty())
        return outcome;
    const QString directory = QFileInfo(archivePath).absolutePath();
    if (!QFileInfo(directory).isDir()) {
        outcome.setupFailure = QStringLiteral("圧縮先ﾃﾞｨﾚｸﾄﾘ %1 が見つかりません。").arg(directory);
        return outcome;
    }

    std::optional<SetAside> aside;
    if (replaceOld && QFileInfo(archivePath).isFile()) {
        aside = moveAside(archivePath, entries);
        if (!aside) {
            outcome.setupFailure =
                QStringLiteral("同じ名前の書庫 %1 を一時的に移せなかったので、何もしていません。").arg(archivePath);
            return outcome;
        }
    }

    const QString archiveItself = absoluteClean(archivePath);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& entry = entries[i];
        // The old archive dropped onto its own replacement goes in from where it waits aside.
        const QString source = aside && absoluteClean(entry) == archiveItself ? aside->path : entry;
        const QString command = EntryCommand(kind, archivePath, source);
        try {
            const Pack::CommandResult result =
                kind == ArchiveKind::Lzh ? Pack::Unlha(owner, command) : Pack::Zip(owner, command);
            if (!result.ok()) {
                const QString reason = result.message.trimmed();
                outcome.failures.append(
                    {entry, reason.isEmpty() ? QStringLiteral("エラーコード %1").arg(result.code) : reason});
            }
        } catch (const std::exception& error) {
            // The plug-in vanished or memory ran out: nothing further can be added.
            outcome.failures.append({entry, QString::fromStdString(error.what())});
            for (qsizetype rest = i + 1; rest < entries.size(); ++rest)
                outcome.failures.append({entries[rest], QStringLiteral("処理されませんでした")});
            break;
        }
    }

    if (!aside)
        return outcome;
    if (outcome.failures.isEmpty() && QFileInfo(archivePath).isFile()) {
        discard(*aside);
        outcome.replacedOld = true;
        return outcome;
    }
    // Not every entry made it: the old archive comes back, the incomplete new one goes.
    QFile::remove(archivePath);
    if (QFile::rename(aside->path, archivePath)) {
        QDir().rmdir(aside->directory);
        outcome.restoredOld = true;
    } else {
        outcome.oldKeptAt = aside->path;
    }
    return outcome;
}

QString FailureMessage(const FreezeOutcome& outcome, const QString& archivePath)
{
    if (!outcome.setupFailure.isEmpty())
        return QStringLiteral("圧縮できませんでした。\n") + outcome.setupFailure;
    constexpr qsizetype kListed = 20;
    QString text = QStringLiteral("圧縮できなかったものがあります。\n");
    for (qsizetype i = 0; i < outcome.failures.size() && i < kListed; ++i)
        text += QLatin1Char('\n') + outcome.failures[i].entry + QStringLiteral("\n    ") + outcome.failures[i].reason;
    if (outcome.failures.size() > kListed)
        text += QStringLiteral("\nほか %1 件").arg(outcome.failures.size() - kListed);
    if (outcome.restoredOld)
        text += QStringLiteral("\n\n前からあった書庫 %1 は元のまま残しました。").arg(archivePath);
    else if (!outcome.oldKeptAt.isEmpty())
        text += QStringLiteral("\n\n前からあった書庫は %1 に残っています。").arg(outcome.oldKeptAt);
    return text;
}
