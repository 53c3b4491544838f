// ここに解凍: extraction into a hidden work folder, then a rename into place.
#include "actions/ExtractHere.h"

#include <QDir>
#include <QFileInfo>

#include "actions/ActionRun.h"
#include "actions/Placement.h"
#include "melt/MeltEnding.h"
#include "services/ArchiveKind.h"
#include "services/Session.h"

namespace {

constexpr QDir::Filters kEverything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// What is done with one archive; `done` holds its entry already.
void extractBeside(PlacedArchive& done, bool& cancelled, Pack::Archivers& archivers, JobContext& context)
{
    const QString archive = done.extraction.entry;
    if (ArchiveKindOf(archive) == ArchiveKind::None) {
        done.extraction.state = EntryOutcome::State::NotArchive;
        return;
    }
    if (!QFileInfo(archive).isFile()) {
        done.problem = QStringLiteral("書庫が見つかりません。書庫ﾌｧｲﾙ名と場所を確かめてください。");
        return;
    }
    const QString directory = QFileInfo(archive).absolutePath();
    const QString work = MakeWorkFolder(directory);
    if (work.isEmpty()) {
        done.problem = QStringLiteral("書庫のあるﾌｫﾙﾀﾞに書き込めないので、ここには解凍できません。"
                                      "「解凍先を指定...」で書き込めるﾌｫﾙﾀﾞを選んでください。");
        return;
    }
    const MeltOutcome melted = RunMeltJob(MeltJob{{archive}, work + QLatin1Char('/'), false}, archivers, context);
    done.extraction = melted.entries.first();
    cancelled = cancelled || melted.cancelled;
    // What a damaged archive gave is kept, as the extraction window keeps it; a cancelled or
    // declined archive leaves nothing.
    const EntryOutcome::State state = done.extraction.state;
    const bool keep = state == EntryOutcome::State::Extracted ||
                      (state == EntryOutcome::State::Failed && !QDir(work).isEmpty(kEverything));
    if (keep) {
        done.placedAt = PlaceExtracted(work, directory, ExtractFolderName(archive));
        if (done.placedAt.isEmpty())
            done.problem = QStringLiteral("解凍したﾌｧｲﾙを %1 から書庫の横へ移せませんでした。"
                                          "そのﾌｫﾙﾀﾞから手で移してください。")
                               .arg(work);
    } else {
        QDir(work).removeRecursively();
    }
}

}  // namespace

QString ExtractFolderName(const QString& archive)
{
    const QString stem = ArchiveStem(archive);
    return stem.isEmpty() ? QStringLiteral("書庫") : stem;
}

ExtractHereOutcome RunExtractHere(const QStringList& archives, Pack::Archivers& archivers, JobContext& context)
{
    ExtractHereOutcome outcome;
    for (const QString& archive : archives) {
        PlacedArchive& done = outcome.archives.emplace_back();
        done.extraction.entry = archive;
        if (context.cancelled())
            outcome.cancelled = true;  // NotReached
        else
            extractBeside(done, outcome.cancelled, archivers, context);
    }
    return outcome;
}

ActionEnding ExtractHereEnding(const ExtractHereOutcome& outcome)
{
    QList<ArchiveProblem> problems;
    bool succeeded = !outcome.cancelled;
    for (const PlacedArchive& archive : outcome.archives) {
        const EntryOutcome& extraction = archive.extraction;
        succeeded = succeeded && extraction.state == EntryOutcome::State::Extracted && archive.problem.isEmpty();
        if (!archive.problem.isEmpty()) {
            problems.append({extraction.entry, archive.problem, {}});
        } else if (extraction.state == EntryOutcome::State::NotArchive) {
            problems.append(
                {extraction.entry, QStringLiteral("解凍できる書庫ではありません。書庫ﾌｧｲﾙを選んでください。"), {}});
        } else if (std::optional<ArchiveProblem> problem = ProblemOf(extraction)) {
            if (!archive.placedAt.isEmpty())
                problem->reason += QStringLiteral("\n解凍できたﾌｧｲﾙは %1 にあります。").arg(archive.placedAt);
            problems.append(*problem);
        }
    }
    Report report = ReportOf(problems, false);
    if (outcome.cancelled)
        report.text = QStringLiteral("中止しました。途中まで解凍したﾌｧｲﾙは残していません。") +
                      (problems.isEmpty() ? QString() : QStringLiteral("\n\n") + report.text);
    return {report.text, report.detail, succeeded};
}

void ExtractHere(ActionRun& run, const QStringList& archives)
{
    Pack::Archivers& archivers = run.session().archivers();
    int steps = 0;
    for (const QString& archive : archives)
        steps += ArchiveKindOf(archive) != ArchiveKind::None ? 1 : 0;
    run.run<ExtractHereOutcome>(
        QStringLiteral("TEMBREL(解凍中)"), steps,
        [archives, &archivers](JobContext& context) { return RunExtractHere(archives, archivers, context); },
        &ExtractHereEnding);
}
