// The extraction run of the extraction window.
#include "melt/MeltRun.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QCheckBox>
#include <QSaveFile>

#include "melt/MeltDirHistory.h"
#include "melt/meltform.h"
#include "services/Desktop.h"
#include "services/GlobalOptions.h"
#include "services/Pack.h"
#include "shell/SharedState.h"

namespace {

const QString kTitle = QStringLiteral("tembrel");

QString trimmedBlanks(QString text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    qsizetype end = text.size();
    while (end > start && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

// The plug-ins' result codes, told to the user.
QString reasonForCode(int code)
{
    switch (code) {
    case 1: return QStringLiteral("解凍の指示を書庫プログラムが受け付けませんでした。");
    case 2:
    case 3: return QStringLiteral("書庫を開けません（見つからないか、読み取れません）。");
    case 4: return QStringLiteral("書庫が壊れています。");
    case 5: return QStringLiteral("解凍先に書き込めません。");
    case 6: return QStringLiteral("解凍先の外を指す項目やリンクがあり、それらは解凍しませんでした。");
    case 7: return QStringLiteral("データが壊れているファイルがあります（CRC不一致）。");
    case 8: return QStringLiteral("対応していない圧縮方式のファイルがあります。");
    case 9: return QStringLiteral("メモリが足りません。");
    default: return QStringLiteral("解凍中にエラーが発生しました（コード %1）。").arg(code);
    }
}

// The reason with the plug-in's own detail, a few lines at most.
QString extractionFailure(const Pack::CommandResult& result)
{
    QString reason = reasonForCode(result.code);
    const QStringList detail = result.message.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < detail.size() && i < 3; ++i)
        reason += QStringLiteral("\n  ") + detail[i];
    if (detail.size() > 3)
        reason += QStringLiteral("\n  …");
    return reason;
}

struct Failure {
    QString archive;
    QString reason;
};

// Leaves, deletes, trashes or moves an extracted archive. Returns the reason when it could not.
QString followUp(int index, const QString& archive, const QString& moveDirectory, const QString& stem,
                 ArchiveKind kind)
{
    switch (index) {
    case 1:
        if (!QFile::remove(archive))
            return QStringLiteral("解凍しましたが、書庫を削除できませんでした。");
        return {};
    case 2:
        if (!desktop().moveToTrash(archive))
            return QStringLiteral("解凍しましたが、書庫をごみ箱へ移せませんでした。");
        return {};
    case 3: {
        const QString reason = MoveArchive(archive, MovedArchivePath(moveDirectory, stem, kind));
        return reason.isEmpty() ? QString() : QStringLiteral("解凍しましたが、") + reason;
    }
    default:
        return {};
    }
}

QString failureReport(const QList<Failure>& failures)
{
    QString text = QStringLiteral("次の書庫は正しく処理できませんでした。");
    for (const Failure& failure : failures)
        text += QStringLiteral("\n\n") + failure.archive + QStringLiteral("\n  ") + failure.reason;
    return text;
}

}  // namespace

ArchiveKind ArchiveKindOf(const QString& entry)
{
    const QString ending = entry.right(4).toLower();
    if (ending == QLatin1String(".lzh"))
        return ArchiveKind::Lha;
    if (ending == QLatin1String(".zip"))
        return ArchiveKind::Zip;
    return ArchiveKind::None;
}

QString ArchiveStem(const QString& entry)
{
    QString name = trimmedBlanks(entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1));
    name.chop(4);
    return trimmedBlanks(name);
}

QString MeltCommand(ArchiveKind kind, const QString& archive, const QString& destination, const QString& stem,
                    bool intoStemDirectory)
{
    const QChar q = QLatin1Char('"');
    const QString prefix = kind == ArchiveKind::Lha ? QStringLiteral("x -n ") : QStringLiteral("-xv --i ");
    const QString output = intoStemDirectory ? destination + stem + QLatin1Char('/') : destination;
    return prefix + q + archive + q + QLatin1Char(' ') + q + output + q;
}

QString MovedArchivePath(const QString& moveDirectory, const QString& stem, ArchiveKind kind)
{
    return moveDirectory + QLatin1Char('/') + stem +
           (kind == ArchiveKind::Lha ? QStringLiteral(".lzh") : QStringLiteral(".zip"));
}

QString MoveArchive(const QString& archive, const QString& target)
{
    const QFileInfo source(archive);
    const QFileInfo destination(target);
    // Moving an archive onto itself would copy it over itself and then delete the only copy.
    if (destination.exists() && destination.canonicalFilePath() == source.canonicalFilePath())
        return {};
    if (!destination.absoluteDir().exists())
        return QStringLiteral("移動先のディレクトリ %1 がありません。書庫は元の場所に残しました。")
            .arg(destination.absolutePath());

    const QString notCopied = QStringLiteral("書庫を %1 へコピーできませんでした。書庫は元の場所に残しました。").arg(target);
    QFile in(archive);
    if (!in.open(QIODevice::ReadOnly))
        return notCopied;
    // The copy appears under its name only when complete, so a file it replaces survives a
    // failed copy.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return notCopied;
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty() || out.write(block) != block.size()) {
            out.cancelWriting();
            return notCopied;
        }
    }
    if (in.error() != QFileDevice::NoError || !out.commit())
        return notCopied;
    QFile::setPermissions(target, source.permissions());
    QFile copied(target);
    if (copied.open(QIODevice::ReadWrite))
        copied.setFileTime(source.lastModified(), QFileDevice::FileModificationTime);
    copied.close();

    if (!QFile::remove(archive))
        return QStringLiteral("書庫を %1 へコピーしましたが、元の書庫を削除できませんでした。").arg(target);
    return {};
}

// The run reads the window's fields at the moment each step needs them: the destination
// gains its "/" from the first archive on, and the history takes the text as it is then.
void RunMelt(meltform& window)
{
    // Refused before anything happens: an empty destination would mean the file-system root,
    // and an empty move directory would put the archives who knows where.
    if (trimmedBlanks(window.Text2->currentText()).isEmpty()) {
        desktop().showMessage(&window, QStringLiteral("解凍先ディレクトリを指定してください。"), kTitle);
        return;
    }
    const int followUpIndex = window.followUpIndex();
    if (followUpIndex == 3 && trimmedBlanks(window.Text3->text()).isEmpty()) {
        desktop().showMessage(&window, QStringLiteral("書庫の移動先ディレクトリを指定してください。"), kTitle);
        return;
    }

    window.setWindowState(window.windowState() | Qt::WindowMinimized);

    if (DroppedFiles.isEmpty())
        DroppedFiles.append(QString());
    QStringList entries;
    if (DroppedCount <= 1) {
        DroppedFiles[0] = window.Text1->text();
        entries << DroppedFiles[0];
    } else {
        entries = DroppedFiles.mid(0, DroppedCount);
    }

    QList<Failure> failures;
    ArchiveKind kind = ArchiveKind::None;
    QString stem;
    for (const QString& entry : entries) {
        const ArchiveKind recognised = ArchiveKindOf(entry);
        if (recognised != ArchiveKind::None) {
            kind = recognised;
            QString failure;
            try {
                if (kind == ArchiveKind::Lha)
                    Pack::UnlhaGetVersion();
                else
                    Pack::UnZipGetVersion();
                if (!window.Text2->currentText().endsWith(QLatin1Char('/')))
                    window.Text2->setEditText(window.Text2->currentText() + QLatin1Char('/'));
                stem = ArchiveStem(entry);
                const QString command =
                    MeltCommand(kind, entry, window.Text2->currentText(), stem, window.Check1->isChecked());
                const auto owner = static_cast<std::uintptr_t>(window.winId());
                const Pack::CommandResult result =
                    kind == ArchiveKind::Lha ? Pack::Unlha(owner, command) : Pack::UnZip(owner, command);
                if (!result.ok())
                    failure = extractionFailure(result);
            } catch (const Pack::ArchiverMissing&) {
                failure = QStringLiteral("書庫を扱うプラグイン %1 を読み込めません。")
                              .arg(kind == ArchiveKind::Lha ? QStringLiteral("libunlha32.so")
                                                            : QStringLiteral("libunzip32.so"));
            }
            // An archive is dealt with only once all of it was extracted.
            if (failure.isEmpty())
                failure = followUp(followUpIndex, entry, window.Text3->text(), stem, kind);
            if (!failure.isEmpty())
                failures.append({entry, failure});
        }
        const QString destination = window.Text2->currentText();
        if (RecordMeltDirectory(destination))
            ShowMeltDirHistory(window.Text2);
    }

    window.hide();
    if (NotifyMode == 0)
        desktop().beep();
    else
        desktop().playSound(SoundFile);
    if (!failures.isEmpty())
        desktop().showMessage(&window, failureReport(failures), kTitle);
    else if (window.Check2->isChecked())
        desktop().showMessage(&window, QStringLiteral("解凍が終了しました"), kTitle);

    if (StartedWithFiles == kSet || window.Check3->isChecked()) {
        window.closeWindow();
        return;
    }
    window.showNormal();
}
