// LZH に圧縮 / ZIP に圧縮: the compression job in a work folder, then a rename into place.
#include "actions/CompressHere.h"

#include <QDir>
#include <QFileInfo>

#include "actions/ActionRun.h"
#include "actions/Placement.h"
#include "services/Session.h"

PackedHere RunCompressHere(ArchiveKind kind, const QStringList& paths, Pack::Archivers& archivers, JobContext& context)
{
    PackedHere outcome;
    const QString directory = QFileInfo(QDir::cleanPath(paths.value(0))).absolutePath();
    const QString work = MakeWorkFolder(directory);
    if (work.isEmpty()) {
        outcome.problem = QStringLiteral("%1 に書き込めないので、書庫を作れません。"
                                         "書き込めるﾌｫﾙﾀﾞにｺﾋﾟｰしてから圧縮してください。")
                              .arg(directory);
        return outcome;
    }
    // The progress window names the archive as it will be called.
    const QString name = PackedArchiveName(paths, ExtensionOf(kind));
    const FreezeJob job{kind, work + QLatin1Char('/') + name, false, paths};
    outcome.packed = RunFreezeJob(job, archivers, context);
    if (outcome.packed.succeeded()) {
        if (QFileInfo(job.archivePath).isFile())
            outcome.placedAt = MoveToFreeName(job.archivePath, directory, name);
        if (outcome.placedAt.isEmpty())
            outcome.problem = QStringLiteral("できた書庫を %1 へ移せませんでした。"
                                             "ﾌｫﾙﾀﾞに書き込めるか確かめて、もう一度圧縮してください。")
                                  .arg(directory);
    }
    // An archive that lacks an item is no archive of the selection: it goes with the folder.
    QDir(work).removeRecursively();
    return outcome;
}

ActionEnding CompressHereEnding(const PackedHere& outcome)
{
    if (outcome.succeeded())
        return {{}, {}, true};
    if (outcome.packed.cancelled)
        return {QStringLiteral("中止しました。書庫は作っていません。"), {}, false};
    if (!outcome.problem.isEmpty())
        return {QStringLiteral("圧縮できませんでした。\n") + outcome.problem, {}, false};
    const FreezeReport report = FailureMessage(outcome.packed, QString());
    return {report.text, report.detail, false};
}

void CompressHere(ActionRun& run, ArchiveKind kind, const QStringList& paths)
{
    Pack::Archivers& archivers = run.session().archivers();
    run.run<PackedHere>(
        QStringLiteral("TEMBREL(圧縮中)"), static_cast<int>(paths.size()),
        [kind, paths, &archivers](JobContext& context) { return RunCompressHere(kind, paths, archivers, context); },
        &CompressHereEnding);
}
