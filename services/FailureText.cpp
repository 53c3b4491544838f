// Wording of the plug-ins' failure codes.
#include "services/FailureText.h"

#include <QMap>
#include <cerrno>

QString FailureReason(int code, int systemError, const QString& english)
{
    // Whatever the step, a name the file system cannot hold is said as such.
    if (systemError == ENAMETOOLONG)
        return QStringLiteral("名前が長すぎて、このﾌｧｲﾙｼｽﾃﾑには作れません。"
                              "浅い場所のﾃﾞｨﾚｸﾄﾘを選ぶか、名前を短くしてください。");
    switch (code) {
    case Pack::BadCommand:
        return QStringLiteral("書庫プログラムが指示を受け付けませんでした。書庫名やﾃﾞｨﾚｸﾄﾘ名を確かめてください。");
    case Pack::InputMissing:
        return QStringLiteral("ﾌｧｲﾙが見つからないか読めません。ﾌｧｲﾙがあるか、読む権限があるかを確かめてください。");
    case Pack::ArchiveUnreadable:
        return QStringLiteral("書庫を開けません。書庫があるか、読む権限があるかを確かめてください。");
    case Pack::ArchiveCorrupt: return QStringLiteral("書庫が壊れています。書庫をもう一度入手してください。");
    case Pack::WriteFailed:
        switch (systemError) {
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("空き容量が足りません。不要なﾌｧｲﾙを消すか、空きのあるﾃﾞｨﾚｸﾄﾘを選んでください。");
        case EROFS:
            return QStringLiteral("読み取り専用の場所なので書き込めません。書き込みできるﾌｫﾙﾀﾞを選んでください。");
        case EACCES:
        case EPERM: return QStringLiteral("書き込む権限がありません。書き込みできるﾌｫﾙﾀﾞを選んでください。");
        default: return QStringLiteral("ﾌｧｲﾙを書き込めませんでした。書き込みできるﾌｫﾙﾀﾞを選んでください。");
        }
    case Pack::UnsafeEntry:
        return QStringLiteral(
            "解凍先の外を指す安全でない項目なので、解凍しませんでした。書庫の作成元を確かめてください。");
    case Pack::CrcMismatch:
        return QStringLiteral("データが壊れています（CRC不一致）。書庫をもう一度入手してください。");
    case Pack::UnsupportedMethod:
        // unarc32's words for a 7z or RAR entry whose encryption libarchive cannot undo.
        if (english.contains(QLatin1String("encrypted, not supported")))
            return QStringLiteral("暗号化されていて、この形式の暗号は解除できないので解凍しませんでした。"
                                  "暗号化に対応したほかの解凍ソフトで解凍してください。");
        return QStringLiteral("対応していない圧縮方式です。ほかの解凍ソフトで解凍してください。");
    case Pack::NoMemory:
        return QStringLiteral("メモリが足りません。ほかのアプリケーションを終了してから、もう一度実行してください。");
    case Pack::Cancelled: return QStringLiteral("中止しました。");
    case Pack::PasswordRequired:
        return QStringLiteral("パスワードで保護されています。パスワードを入力すると解凍できます。");
    case Pack::WrongPassword:
        return QStringLiteral("パスワードが違います。正しいパスワードでもう一度解凍してください。");
    case Pack::ArchiveInUse:
        return QStringLiteral("書庫をほかの処理が使用中です。その処理が終わってから、もう一度実行してください。");
    case Pack::NameClash:
        return QStringLiteral("同じ名前のﾌｧｲﾙとﾌｫﾙﾀﾞがぶつかります。どちらかの名前を変えてください。");
    case Pack::SpecialEntry:
        return QStringLiteral(
            "特殊なﾌｧｲﾙ（デバイス、FIFO、ソケット）なので扱いませんでした。通常のﾌｧｲﾙだけを指定してください。");
    case Pack::ArchiveItself:
        return QStringLiteral(
            "作成中の書庫そのものなので、書庫には入れませんでした。書庫を別のﾃﾞｨﾚｸﾄﾘに作ってください。");
    default: return QStringLiteral("予期しないエラーが起きました（コード %1）。もう一度実行してください。").arg(code);
    }
}

QString FailureLines(const Pack::CommandResult& result, int listed)
{
    // Grouped by cause, in the order the causes first appeared.
    QList<QPair<QString, QStringList>> groups;
    auto add = [&](const QString& reason, const QString& path) {
        for (auto& group : groups) {
            if (group.first == reason) {
                if (!path.isEmpty() && !group.second.contains(path))
                    group.second << path;
                return;
            }
        }
        groups.append({reason, path.isEmpty() ? QStringList() : QStringList{path}});
    };
    for (const Pack::Failure& failure : result.failures)
        add(FailureReason(failure.reason, failure.systemError, failure.message), failure.path);
    if (groups.isEmpty())
        add(FailureReason(result.code, 0, result.message), QString());

    QStringList lines;
    for (const auto& [reason, paths] : groups) {
        lines << reason;
        for (qsizetype i = 0; i < paths.size() && i < listed; ++i)
            lines << QStringLiteral("    ") + paths[i];
        if (paths.size() > listed)
            lines << QStringLiteral("    ほか %1 件").arg(paths.size() - listed);
    }
    return lines.join(QLatin1Char('\n'));
}

QString FailureDetail(const Pack::CommandResult& result)
{
    QStringList lines;
    if (!result.message.trimmed().isEmpty())
        lines << result.message.trimmed();
    for (const Pack::Failure& failure : result.failures) {
        const QString line = failure.message.trimmed();
        if (!line.isEmpty() && !lines.contains(line))
            lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}
