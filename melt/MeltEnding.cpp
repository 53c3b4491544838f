// Follow-ups and the report at the end of an extraction job.
#include "melt/MeltEnding.h"

#include <QFile>

#include "services/Desktop.h"
#include "services/FailureText.h"

namespace {

// For a set, the volumes a follow-up could not deal with, one a line.
QString volumeList(const QStringList& left, const QStringList& volumes)
{
    if (volumes.size() < 2)
        return {};
    return QStringLiteral("\n") + left.join(QLatin1Char('\n'));
}

}  // namespace

QString FollowUpArchive(int followUp, const QString& archive, const QString& moveDirectory)
{
    const QStringList volumes = ArchiveVolumes(archive);
    QStringList left;
    switch (followUp) {
    case 1:
        for (const QString& volume : volumes) {
            if (!QFile::remove(volume))
                left << volume;
        }
        if (!left.isEmpty())
            return QStringLiteral("解凍しましたが、書庫を削除できませんでした。書庫のあるﾃﾞｨﾚｸﾄﾘに書き込めるか確かめて"
                                  "ください。") +
                   volumeList(left, volumes);
        return {};
    case 2:
        for (const QString& volume : volumes) {
            if (!desktop().moveToTrash(volume, volume))
                left << volume;
        }
        if (!left.isEmpty())
            return QStringLiteral("解凍しましたが、書庫をごみ箱へ移せませんでした。書庫を手で削除してください。") +
                   volumeList(left, volumes);
        return {};
    case 3:
        for (qsizetype i = 0; i < volumes.size(); ++i) {
            const QString reason = MoveArchive(volumes[i], MovedArchivePath(moveDirectory, volumes[i]));
            if (reason.isEmpty())
                continue;
            // The volumes moved before the failure stay moved: each is whole where it is.
            QString text = QStringLiteral("解凍しましたが、") + reason;
            if (i > 0)
                text +=
                    QStringLiteral("\n分割された書庫のうち先の %1 個は移動先へ移しました。残りは元の場所にあります。")
                        .arg(i);
            return text + volumeList(volumes.mid(i), volumes);
        }
        return {};
    default: return {};
    }
}

std::optional<ArchiveProblem> ProblemOf(const EntryOutcome& entry)
{
    using State = EntryOutcome::State;
    switch (entry.state) {
    case State::Failed: return ArchiveProblem{entry.entry, FailureLines(entry.result), FailureDetail(entry.result)};
    case State::PluginMissing:
        return ArchiveProblem{
            entry.entry,
            QStringLiteral("書庫を扱うプラグイン %1 を読み込めません。Tembrel をインストールし直してください。")
                .arg(Pack::fileName(ExtractorOf(entry.kind))),
            entry.detail};
    case State::Declined:
        return ArchiveProblem{
            entry.entry,
            QStringLiteral("パスワードが入力されなかったので、この書庫の暗号化されたﾌｧｲﾙは解凍していません。"
                           "解凍するには、もう一度実行してパスワードを入力してください。"),
            FailureDetail(entry.result)};
    default: return std::nullopt;
    }
}

Report ReportOf(const QList<ArchiveProblem>& problems, bool cancelled)
{
    Report report;
    QStringList parts;
    if (cancelled)
        parts << QStringLiteral("中止しました");
    if (!problems.isEmpty())
        parts << QStringLiteral("次の書庫は正しく処理できませんでした。");
    report.text = parts.join(QStringLiteral("\n\n"));
    QStringList details;
    for (const ArchiveProblem& problem : problems) {
        QString reason = problem.reason;
        reason.replace(QLatin1Char('\n'), QStringLiteral("\n  "));
        report.text += QStringLiteral("\n\n") + problem.archive + QStringLiteral("\n  ") + reason;
        if (!problem.detail.isEmpty())
            details << problem.archive + QStringLiteral(":\n") + problem.detail;
    }
    report.detail = details.join(QStringLiteral("\n\n"));
    return report;
}
