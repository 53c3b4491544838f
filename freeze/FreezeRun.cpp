// The compression run's rules and the archive work behind the compression window.
#include "freeze/FreezeRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <exception>
#include <optional>

#include "services/FailureText.h"
#include "services/Folders.h"
#include "services/JobRunner.h"

namespace {

const QLatin1Char kQuote('"');

QString quoted(const QString& text)
{
    return kQuote + text + kQuote;
}

// "/a/b/" and "/a/b" name the same folder; the root stays "/".
QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString absoluteClean(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isInside(const QString& path, const QString& root)
{
    if (root == QLatin1String("/"))
        return true;
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

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

Pack::Plugin pluginOf(ArchiveKind kind)
{
    return CreatorOf(kind).value_or(Pack::Plugin::Zip);
}

}  // namespace

QString WithArchiveExtension(const QString& name, qint16 defaultArchiveType)
{
    if (CreatorOf(ArchiveKindOf(name)))
        return name;
    return name + ExtensionOf(defaultArchiveType != 0 ? ArchiveKind::Zip : ArchiveKind::Lzh);
}

QString WithTrailingSlash(const QString& directory)
{
    return directory.endsWith(QLatin1Char('/')) ? directory : directory + QLatin1Char('/');
}

QString EntryCommand(ArchiveKind kind, const QString& archivePath, const QString& entry)
{
    if (!QFileInfo(entry).isDir()) {
        return kind == ArchiveKind::Lzh
                   ? QStringLiteral("a -n1 ") + quoted(archivePath) + QLatin1Char(' ') + quoted(entry)
                   : QStringLiteral("-r -j -q ") + quoted(archivePath) + QLatin1Char(' ') + quoted(entry);
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

bool ReplacesOldArchive(const QString& archivePath, const QString& archiveName)
{
    const QFileInfo info(archivePath);
    return !archiveName.contains(QLatin1Char('/')) && !archiveName.startsWith(QLatin1Char('.')) && info.isFile() &&
           info.fileName() == archiveName;
}

void DropSetAsideDirectory(const SetAside& aside)
{
    QDir().rmdir(aside.directory);
}

FreezeOutcome RunFreezeJob(const FreezeJob& job, Pack::Archivers& archivers, JobContext& context)
{
    FreezeOutcome outcome;
    const QString& archivePath = job.archivePath;
    const QStringList& entries = job.entries;
    try {
        archivers.version(pluginOf(job.kind));
    } catch (const Pack::ArchiverMissing& missing) {
        outcome.setupFailure =
            QStringLiteral("書庫を作るプラグイン %1 を読み込めません。Tembrel をインストールし直してください。")
                .arg(Pack::fileName(pluginOf(job.kind)));
        outcome.setupDetail = QString::fromStdString(missing.what());
        return outcome;
    }
    if (entries.isEmpty())
        return outcome;
    const QString directory = QFileInfo(archivePath).absolutePath();
    // A target directory that is not there yet is made, parents and all, as the extraction
    // destination is; what a job that made nothing made goes again.
    const QStringList madeFolders = MissingFolders(directory);
    if (!QFileInfo(directory).isDir() && !QDir().mkpath(directory)) {
        RemoveEmptyFolders(madeFolders);
        outcome.setupFailure =
            QStringLiteral("圧縮先ﾃﾞｨﾚｸﾄﾘ %1 "
                           "を作れませんでした。書き込みできる場所を選ぶか、同じ名前のﾌｧｲﾙがないか確かめてください。")
                .arg(directory);
        return outcome;
    }

    outcome.usedDirectory = true;
    const bool existedBefore = QFileInfo(archivePath).exists();
    std::optional<SetAside> aside;
    if (job.replaceOld && QFileInfo(archivePath).isFile()) {
        aside = moveAside(archivePath, entries);
        if (!aside) {
            outcome.setupFailure =
                QStringLiteral(
                    "同じ名前の書庫 %1 "
                    "を一時的に移せなかったので、何もしていません。圧縮先ﾃﾞｨﾚｸﾄﾘに書き込めるか確かめてください。")
                    .arg(archivePath);
            return outcome;
        }
    }
    const auto tidy = qScopeGuard([&] {
        if (!QFileInfo::exists(archivePath))
            RemoveEmptyFolders(madeFolders);
    });

    context.beginArchive(archivePath, directory);
    const QString archiveItself = absoluteClean(archivePath);
    for (qsizetype i = 0; i < entries.size() && !context.cancelled(); ++i) {
        const QString& entry = entries[i];
        // The old archive dropped onto its own replacement goes in from where it waits aside.
        const QString source = aside && absoluteClean(entry) == archiveItself ? aside->path : entry;
        context.beginStep(QFileInfo(entry).fileName(), static_cast<int>(i) + 1);
        try {
            const Pack::CommandResult result =
                archivers.run(pluginOf(job.kind), EntryCommand(job.kind, archivePath, source), &context);
            if (result.code == Pack::Cancelled || context.cancelled())
                break;
            if (!result.ok())
                outcome.failures.append({entry, result, {}, {}});
        } catch (const std::exception& error) {
            // The plug-in vanished or memory ran out: nothing further can be added.
            outcome.failures.append({entry,
                                     {},
                                     QStringLiteral("書庫を作るプラグインを呼び出せませんでした。"),
                                     QString::fromStdString(error.what())});
            for (qsizetype rest = i + 1; rest < entries.size(); ++rest)
                outcome.failures.append({entries[rest], {}, QStringLiteral("処理されませんでした。"), {}});
            break;
        }
    }
    outcome.cancelled = context.cancelled();
    if (outcome.cancelled && !existedBefore)
        QFile::remove(archivePath);

    if (!aside)
        return outcome;
    if (!outcome.cancelled && outcome.failures.isEmpty() && QFileInfo(archivePath).isFile()) {
        outcome.replacedOld = aside;
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

FreezeReport FailureMessage(const FreezeOutcome& outcome, const QString& archivePath)
{
    FreezeReport report;
    if (!outcome.setupFailure.isEmpty()) {
        report.text = QStringLiteral("圧縮できませんでした。\n") + outcome.setupFailure;
        report.detail = outcome.setupDetail;
        return report;
    }
    constexpr qsizetype kListed = 20;
    QStringList details;
    if (outcome.cancelled)
        report.text = QStringLiteral("中止しました");
    if (!outcome.failures.isEmpty()) {
        if (!report.text.isEmpty())
            report.text += QStringLiteral("\n\n");
        report.text += QStringLiteral("圧縮できなかったものがあります。\n");
    }
    for (qsizetype i = 0; i < outcome.failures.size() && i < kListed; ++i) {
        const EntryFailure& failure = outcome.failures[i];
        QString reason = failure.reason.isEmpty() ? FailureLines(failure.result, 5) : failure.reason;
        reason.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
        report.text += QLatin1Char('\n') + failure.entry + QStringLiteral("\n    ") + reason;
    }
    if (outcome.failures.size() > kListed)
        report.text += QStringLiteral("\nほか %1 件").arg(outcome.failures.size() - kListed);
    for (const EntryFailure& failure : outcome.failures) {
        const QString detail = failure.detail.isEmpty() ? FailureDetail(failure.result) : failure.detail;
        if (!detail.isEmpty())
            details << failure.entry + QStringLiteral(": ") + detail;
    }
    if (outcome.restoredOld)
        report.text += QStringLiteral("\n\n前からあった書庫 %1 は元のまま残しました。").arg(archivePath);
    else if (!outcome.oldKeptAt.isEmpty())
        report.text += QStringLiteral("\n\n前からあった書庫は %1 に残っています。元の場所へ戻してください。")
                           .arg(outcome.oldKeptAt);
    report.detail = details.join(QLatin1Char('\n'));
    return report;
}
