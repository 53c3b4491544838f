// The compression run's rules and its archive work: names, command strings, the directory
// history, and building one archive from the dropped entries with the plug-ins.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "services/ArchiveKind.h"
#include "services/Pack.h"

class JobContext;

// The name with ".lzh" (defaultArchiveType 0) or ".zip" (otherwise) appended unless its last
// four characters, in any case, already are one of them. The name keeps its case.
QString WithArchiveExtension(const QString& name, qint16 defaultArchiveType);
// The directory with "/" appended unless it already ends in one.
QString WithTrailingSlash(const QString& directory);

// The plug-in command that adds `entry` to `archivePath`: the folder form when the entry is a
// directory on disk (its name after the last "/" unquoted, as "N/*.*", below its parent), the
// file form otherwise.
QString EntryCommand(ArchiveKind kind, const QString& archivePath, const QString& entry);

// The five most recent target directories, entry 0 the newest.
inline constexpr int kHistorySize = 5;

struct EntryFailure {
    QString entry;               // the dropped path
    Pack::CommandResult result;  // what the plug-in said, when it was called
    QString reason;              // Japanese, when the plug-in could not be called
    QString detail;              // English, likewise
};

// An old archive of the same name, set aside in a private directory while the new one is built.
struct SetAside {
    QString directory;  // the private directory
    QString path;       // the old archive inside it, under its own name
};

struct FreezeOutcome {
    // Set when the job could not start its work at all (plug-in missing, a target directory
    // that could not be made, old archive could not be moved aside); then no entry was tried
    // and no file was changed.
    QString setupFailure;
    QString setupDetail;  // English
    QList<EntryFailure> failures;
    bool cancelled = false;               // stopped by the user: the archive is as it was before the job
    std::optional<SetAside> replacedOld;  // the new archive is complete: the old one waits here to go
    bool restoredOld = false;             // the new archive failed and the old one is back in its place
    QString oldKeptAt;                    // where the old archive was left when it could not be put back
    bool usedDirectory = false;           // the target directory was there, or made, for the entries

    bool succeeded() const { return setupFailure.isEmpty() && failures.isEmpty() && !cancelled; }
};

struct FreezeJob {
    ArchiveKind kind = ArchiveKind::Lzh;
    QString archivePath;
    bool replaceOld = false;  // see ReplacesOldArchive
    QStringList entries;
};

// Whether the old file at `archivePath` counts as "the same archive" to be replaced: a visible
// regular file whose name is exactly `archiveName` (a name with a directory part never is).
bool ReplacesOldArchive(const QString& archivePath, const QString& archiveName);

// Adds every entry to the archive, one plug-in command per entry, in order. When `replaceOld`
// is set and the archive exists, the old one is moved aside first (never into a dropped folder,
// so it cannot end up inside the new archive), put back if any entry fails or the job is
// cancelled, and handed to the caller in `replacedOld` once every entry is in. A cancelled job
// that created the archive removes it again. Safe to run on a worker thread.
FreezeOutcome RunFreezeJob(const FreezeJob& job, Pack::Archivers& archivers, JobContext& context);

// Removes the private directory of an old archive that was dealt with.
void DropSetAsideDirectory(const SetAside& aside);

// The text and the English detail of the message box that reports a failed or cancelled job.
struct FreezeReport {
    QString text;
    QString detail;
};
FreezeReport FailureMessage(const FreezeOutcome& outcome, const QString& archivePath);
