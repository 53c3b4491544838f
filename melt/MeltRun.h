// The extraction job: every archive of the job extracted through its plug-in into the
// destination. It touches no window and no shared state; the extraction window builds the job
// from its fields and applies the outcome (history, follow-ups, messages, closing).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "services/ArchiveKind.h"
#include "services/Pack.h"

class JobContext;

// Why a job over `entries` would extract nothing at all (no name, no archive's name, or no
// such archive), in Japanese with what to do; empty when some archive is there to extract.
QString NothingToExtract(const QStringList& entries);

// How many archives a job over `entries` extracts: every set once, however many of its volumes
// are named.
int ArchivesIn(const QStringList& entries);

// The plug-in command that extracts `archive` into `destination` (which ends in "/"), or into
// destination + stem + "/" when `intoStemDirectory` is set.
QString MeltCommand(ArchiveKind kind, const QString& archive, const QString& destination, const QString& stem,
                    bool intoStemDirectory);

// The member names of `archive` from its plug-in's list command, each cleaned as extraction
// cleans it (leading "/" and "./" dropped; a backslash separates, except in LZH names); nullopt
// when the archive could not be listed whole.
std::optional<QStringList> ListedMembers(ArchiveKind kind, const QString& archive, Pack::Archivers& archivers);

// Whether every member sits below the folder `stem` ("stem/..."), so that extracting into a
// folder of that name would double it.
bool AllBelowFolder(const QStringList& members, const QString& stem);

// Where the move follow-up puts an archive (or one volume of a set): the directory as typed,
// "/", the stem and the archive's own ending in lower case.
QString MovedArchivePath(const QString& moveDirectory, const QString& archive);

// The files of the set that `archive` belongs to, as its plug-in reads them: the first volume,
// then each following volume as long as it is there; `archive` alone when it is no set.
QStringList ArchiveVolumes(const QString& archive);

// When the folder `folder` holds nothing but a folder of the same name, that inner folder takes
// its place: what extracting an archive of its own folder into a folder of its name gives
// without the doubled level. Links are never followed.
void LiftSoleFolder(const QString& folder);

// Copies `archive` to `target` (replacing a file of that name only once the copy is complete)
// and then deletes the original. Returns an empty string on success, else the reason in
// Japanese; on failure the original is still in place.
QString MoveArchive(const QString& archive, const QString& target);

// The bytes left for an unprivileged writer where `path` is, or would be made (the nearest
// folder that exists); nullopt when the file system does not say.
std::optional<std::uint64_t> FreeBytesAt(const QString& path);

struct MeltJob {
    QStringList entries;             // in order; names that are not archives are passed over
    QString destination;             // ends in "/"
    bool intoStemDirectory = false;  // except for an archive whose members all sit in that folder already
};

struct EntryOutcome {
    enum class State {
        NotArchive,     // passed over
        SameSet,        // a volume of a set that an earlier entry extracted: passed over
        Extracted,      // the plug-in reported success
        Failed,         // the plug-in reported failures (result)
        PluginMissing,  // the plug-in could not be loaded (detail)
        Declined,       // the user declined to give the password
        Cancelled,      // the job was cancelled during this archive
        NotReached,     // the job was cancelled before this entry
    };
    QString entry;
    ArchiveKind kind = ArchiveKind::None;
    QString stem;
    State state = State::NotReached;
    Pack::CommandResult result;
    QString detail;  // English, for a missing plug-in
};

struct MeltOutcome {
    QList<EntryOutcome> entries;  // one per entry of the job, in order
    bool cancelled = false;
    // Whether some archive's plug-in was run: the destination was used.
    bool usedDestination() const;
};

// Runs the job: one plug-in command per archive (a set once, from its first volume), reporting
// to `context`, stopping when it is cancelled. Before an archive writes its first byte, the size
// it declares is weighed against the room at its destination, and the user asked when it does
// not fit. Folders that an archive which failed or was cancelled made and left empty are
// removed. Safe to run on a worker thread.
MeltOutcome RunMeltJob(const MeltJob& job, Pack::Archivers& archivers, JobContext& context);
