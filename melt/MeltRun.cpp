// The extraction job and the rules it follows.
#include "melt/MeltRun.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "services/Folders.h"
#include "services/JobRunner.h"

namespace {

// Passes the plug-in's calls on to the job's context, weighing the declared size of the
// archive against the room left with the first report that declares it.
class RoomCheck final : public Pack::Listener {
public:
    RoomCheck(JobContext& context, QString destination) : context_(context), destination_(std::move(destination)) {}

    bool progress(const Pack::Progress& progress) override
    {
        if (!weighed_ && progress.entriesDone == 0 && progress.jobBytesTotal > 0) {
            weighed_ = true;
            const std::optional<std::uint64_t> room = FreeBytesAt(destination_);
            if (room && progress.jobBytesTotal > *room && !context_.goOnWithoutRoom(progress.jobBytesTotal, *room)) {
                context_.cancelJob();
                return false;
            }
        }
        weighed_ = weighed_ || progress.entriesDone > 0;
        return context_.progress(progress);
    }
    std::optional<QString> passphrase(const QString& archive, const QString& entry, unsigned attempt) override
    {
        return context_.passphrase(archive, entry, attempt);
    }
    Pack::Overwrite exists(const Pack::ExistingFile& file) override { return context_.exists(file); }

private:
    JobContext& context_;
    QString destination_;
    bool weighed_ = false;
};

}  // namespace

std::optional<std::uint64_t> FreeBytesAt(const QString& path)
{
    QString at = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo(at).isDir()) {
        const QString parent = QFileInfo(at).absolutePath();
        if (parent == at)
            return std::nullopt;
        at = parent;
    }
    const QStorageInfo storage(at);
    if (!storage.isValid() || storage.bytesAvailable() < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(storage.bytesAvailable());
}

bool MeltOutcome::usedDestination() const
{
    for (const EntryOutcome& entry : entries) {
        if (entry.state == EntryOutcome::State::Extracted || entry.state == EntryOutcome::State::Failed ||
            entry.state == EntryOutcome::State::Declined || entry.state == EntryOutcome::State::Cancelled)
            return true;
    }
    return false;
}

QString NothingToExtract(const QStringList& entries)
{
    QStringList named, archives;
    for (const QString& entry : entries) {
        if (entry.trimmed().isEmpty())
            continue;
        named << entry;
        if (ArchiveKindOf(entry) != ArchiveKind::None) {
            if (QFileInfo(entry).isFile())
                return {};
            archives << entry;
        }
    }
    if (named.isEmpty())
        return QStringLiteral("解凍する書庫が指定されていないか、見つかりません。書庫ﾌｧｲﾙ名を指定してください。");
    if (archives.isEmpty())
        return QStringLiteral("解凍できる書庫ではありません。拡張子が .lzh、.zip、.7z、.rar、.tar.gz、.iso "
                              "などの書庫を指定してください。\n") +
               named.join(QLatin1Char('\n'));
    return QStringLiteral("書庫が見つかりません。書庫ﾌｧｲﾙ名と場所を確かめてください。\n") +
           archives.join(QLatin1Char('\n'));
}

int ArchivesIn(const QStringList& entries)
{
    QStringList sets;
    for (const QString& entry : entries) {
        if (ArchiveKindOf(entry) != ArchiveKind::None && !sets.contains(FirstVolumeOf(entry)))
            sets << FirstVolumeOf(entry);
    }
    return int(sets.size());
}

QString MeltCommand(ArchiveKind kind, const QString& archive, const QString& destination, const QString& stem,
                    bool intoStemDirectory)
{
    const QChar q = QLatin1Char('"');
    const QString prefix = kind == ArchiveKind::Zip ? QStringLiteral("-xv --i ") : QStringLiteral("x -n ");
    const QString output = intoStemDirectory ? destination + stem + QLatin1Char('/') : destination;
    return prefix + q + archive + q + QLatin1Char(' ') + q + output + q;
}

std::optional<QStringList> ListedMembers(ArchiveKind kind, const QString& archive, Pack::Archivers& archivers)
{
    const QChar q = QLatin1Char('"');
    const QString verb = kind == ArchiveKind::Zip ? QStringLiteral("-l ") : QStringLiteral("l ");
    const Pack::CommandResult listed = archivers.runForText(ExtractorOf(kind), verb + q + archive + q);
    // A list that does not end with its line's end was cut short.
    if (!listed.ok() || (!listed.message.isEmpty() && !listed.message.endsWith(QLatin1Char('\n'))))
        return std::nullopt;
    QStringList members = listed.message.split(QLatin1Char('\n'));
    members.removeLast();
    for (QString& member : members) {
        if (kind != ArchiveKind::Lzh)
            member.replace(QLatin1Char('\\'), QLatin1Char('/'));
        while (member.startsWith(QLatin1Char('/')) || member.startsWith(QLatin1String("./")))
            member.remove(0, member.startsWith(QLatin1Char('/')) ? 1 : 2);
    }
    return members;
}

bool AllBelowFolder(const QStringList& members, const QString& stem)
{
    if (members.isEmpty() || stem.isEmpty())
        return false;
    const QString folder = stem + QLatin1Char('/');
    for (const QString& member : members) {
        if (!member.startsWith(folder))
            return false;
    }
    return true;
}

QString MovedArchivePath(const QString& moveDirectory, const QString& archive)
{
    return moveDirectory + QLatin1Char('/') + ArchiveStem(archive) + ArchiveEnding(archive);
}

QStringList ArchiveVolumes(const QString& archive)
{
    QStringList volumes{FirstVolumeOf(archive)};
    // As the plug-in reads a set: on while the next name is a file.
    for (QString next = NextVolumeOf(volumes.last()); !next.isEmpty() && QFileInfo(next).isFile();
         next = NextVolumeOf(next))
        volumes << next;
    return volumes;
}

void LiftSoleFolder(const QString& folder)
{
    const QFileInfo outer(folder);
    if (!outer.isDir() || outer.isSymLink())
        return;
    const QStringList inside =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QFileInfo inner(folder + QLatin1Char('/') + outer.fileName());
    if (inside != QStringList{outer.fileName()} || !inner.isDir() || inner.isSymLink())
        return;
    // The outer folder steps aside into a fresh folder of its own, so the inner one can take
    // its name; should that fail, the outer folder goes back. The extracted files only ever
    // move: the folders are removed only once empty.
    QTemporaryDir aside(outer.absolutePath() + QStringLiteral("/.tembrel-XXXXXX"));
    if (!aside.isValid())
        return;
    aside.setAutoRemove(false);
    const auto renamed = [](const QString& from, const QString& to) {
        return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
    };
    const QString parked = aside.path() + QStringLiteral("/outer");
    if (renamed(folder, parked)) {
        if (renamed(parked + QLatin1Char('/') + outer.fileName(), folder))
            QDir().rmdir(parked);
        else if (!renamed(parked, folder))
            return;  // nothing could move back: the files stay whole where they are
    }
    QDir().rmdir(aside.path());
}

QString MoveArchive(const QString& archive, const QString& target)
{
    const QFileInfo source(archive);
    const QFileInfo destination(target);
    // Moving an archive onto itself would copy it over itself and then delete the only copy.
    if (destination.exists() && destination.canonicalFilePath() == source.canonicalFilePath())
        return {};
    if (!destination.absoluteDir().exists())
        return QStringLiteral(
                   "移動先のディレクトリ %1 "
                   "がありません。書庫は元の場所に残しました。ディレクトリを作るか、別の移動先を指定してください。")
            .arg(destination.absolutePath());

    const QString notCopied = QStringLiteral("書庫を %1 "
                                             "へコピーできませんでした。書庫は元の場所に残しました。移動先に書き込める"
                                             "か、空き容量があるかを確かめてください。")
                                  .arg(target);
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
        return QStringLiteral(
                   "書庫を %1 へコピーしましたが、元の書庫を削除できませんでした。元の書庫は手で削除してください。")
            .arg(target);
    return {};
}

MeltOutcome RunMeltJob(const MeltJob& job, Pack::Archivers& archivers, JobContext& context)
{
    MeltOutcome outcome;
    const QString destination = job.destination.endsWith(QLatin1Char('/')) ? job.destination : job.destination + '/';
    QStringList setsBegun;
    for (const QString& entry : job.entries) {
        EntryOutcome& done = outcome.entries.emplace_back();
        done.entry = entry;
        if (context.cancelled()) {
            outcome.cancelled = true;
            continue;  // NotReached
        }
        done.kind = ArchiveKindOf(entry);
        if (done.kind == ArchiveKind::None) {
            done.state = EntryOutcome::State::NotArchive;
            continue;
        }
        const QString archive = FirstVolumeOf(entry);
        if (setsBegun.contains(archive)) {
            done.state = EntryOutcome::State::SameSet;
            continue;
        }
        setsBegun << archive;
        const Pack::Plugin plugin = ExtractorOf(done.kind);
        try {
            archivers.version(plugin);
        } catch (const Pack::ArchiverMissing& missing) {
            done.state = EntryOutcome::State::PluginMissing;
            done.detail = QString::fromStdString(missing.what());
            continue;
        }
        done.stem = ArchiveStem(entry);
        const QString stemFolder = destination + done.stem;
        bool liftAfter = false;
        try {
            // An archive that holds only its own folder gets no second one around it. LZH and ZIP
            // tell their members cheaply, so their list decides before anything is written. The
            // other formats may have to be read whole to be listed (a compressed tar), so they go
            // into a folder of their own making, whose sole folder of the same name is lifted
            // afterwards; only where that folder was there before does their list decide.
            bool intoStem = job.intoStemDirectory;
            if (intoStem && done.kind == ArchiveKind::Other && !done.stem.isEmpty() &&
                !QFileInfo(stemFolder).exists() && !QFileInfo(stemFolder).isSymLink()) {
                liftAfter = true;
            } else if (intoStem) {
                const std::optional<QStringList> members = ListedMembers(done.kind, archive, archivers);
                intoStem = !members || !AllBelowFolder(*members, done.stem);
            }
            const QString output = intoStem ? stemFolder : destination;
            context.beginArchive(archive, output);
            RoomCheck listener(context, output);
            done.result =
                archivers.run(plugin, MeltCommand(done.kind, archive, destination, done.stem, intoStem), &listener);
        } catch (const Pack::ArchiverMissing& missing) {
            done.state = EntryOutcome::State::PluginMissing;
            done.detail = QString::fromStdString(missing.what());
            continue;
        }
        if (context.cancelled()) {
            done.state = EntryOutcome::State::Cancelled;
            outcome.cancelled = true;
        } else if (context.archiveDeclined()) {
            // Without the password the archive is not extracted at all: what it wrote goes.
            done.state = EntryOutcome::State::Declined;
            for (const QString& file : context.filesCreated())
                QFile::remove(file);
        } else {
            done.state = done.result.ok() ? EntryOutcome::State::Extracted : EntryOutcome::State::Failed;
        }
        if (done.state != EntryOutcome::State::Extracted)
            RemoveEmptyFolders(context.foldersCreated());
        if (liftAfter)
            LiftSoleFolder(stemFolder);
    }
    return outcome;
}
