// The compression run's rules and its archive work: names, command strings, the directory
// history, and building one archive from the dropped entries with the plug-ins.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

enum class ArchiveKind { Lzh, Zip };

// The name with ".lzh" (defaultArchiveType 0) or ".zip" (otherwise) appended unless its last
// four characters, in any case, already are one of them. The name keeps its case.
QString WithArchiveExtension(const QString& name, qint16 defaultArchiveType);
// The directory with "/" appended unless it already ends in one.
QString WithTrailingSlash(const QString& directory);
// The plug-in for a name that ends in ".lzh" or ".zip" in any case (anything else: ZIP).
ArchiveKind KindOfArchive(const QString& name);

// The plug-in command that adds `entry` to `archivePath`: the folder form when the entry is a
// directory on disk (its name after the last "/" unquoted, as "N/*.*", below its parent), the
// file form otherwise.
QString EntryCommand(ArchiveKind kind, const QString& archivePath, const QString& entry);

// The five most recent target directories, entry 0 the newest.
inline constexpr int kHistorySize = 5;
// Puts `directory` at the head of `history` unless it is one of the entries already; returns
// whether the history changed.
bool RememberDirectory(QStringList& history, const QString& directory);

struct EntryFailure {
    QString entry;   // the dropped path
    QString reason;  // why it could not be added
};

struct FreezeOutcome {
    // Set when the run could not start its work at all (plug-in missing, no such target
    // directory, old archive could not be moved aside); then no entry was tried and no file
    // was changed.
    QString setupFailure;
    QList<EntryFailure> failures;
    bool replacedOld = false;     // an old archive of the same name was replaced by the new one
    bool restoredOld = false;     // the new archive failed and the old one is back in its place
    QString oldKeptAt;            // where the old archive was left when it could not be put back

    bool succeeded() const { return setupFailure.isEmpty() && failures.isEmpty(); }
};

// Whether the old file at `archivePath` counts as "the same archive" to be replaced: a visible
// regular file whose name is exactly `archiveName` (a name with a directory part never is).
bool ReplacesOldArchive(const QString& archivePath, const QString& archiveName);

// Adds every entry to the archive at `archivePath`, one plug-in call per entry, in order.
// When `replaceOld` is set and the archive exists, the old one is moved aside first (never into
// a dropped folder, so it cannot end up inside the new archive), put back if any entry fails,
// and removed once every entry is in. `owner` is the window handle passed to the plug-in.
FreezeOutcome BuildArchive(ArchiveKind kind, const QString& archivePath, bool replaceOld,
                           const QStringList& entries, std::uintptr_t owner);

// The text of the message box that reports a failed run.
QString FailureMessage(const FreezeOutcome& outcome, const QString& archivePath);
