// Follow-ups and the report at the end of an extraction job.
#include "melt/MeltEnding.h"

#include <QFile>

#include "services/Desktop.h"
#include "services/FailureText.h"

QString FollowUpArchive(int followUp, const QString& archive, const QString& moveDirectory, const QString& stem,
                        ArchiveKind kind)
{
    switch (followUp) {
    case 1:
        if (!QFile::remove(archive))
            return QStringLiteral(
                "解凍しましたが、書庫を削除できませんでした。書庫のあるﾃﾞｨﾚｸﾄﾘに書き込めるか確かめてください。");
        return {};
    case 2:
        if (!desktop().moveToTrash(archive, archive))
            return QStringLiteral("解凍しましたが、書庫をごみ箱へ移せませんでした。書庫を手で削除してください。");
        return {};
    case 3: {
        const QString reason = MoveArchive(archive, MovedArchivePath(moveDirectory, stem, kind));
        return reason.isEmpty() ? QString() : QStringLiteral("解凍しましたが、") + reason;
    }
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
