// The extraction run: every archive of the window extracted through its plug-in, the history
// updated, each archive left, deleted, trashed or moved, and the end announced.
#pragma once

#include <QString>

class meltform;

enum class ArchiveKind { None = 0, Lha = 1, Zip = 2 };

// By the name alone: the last four characters, lower-cased, are ".lzh" or ".zip".
ArchiveKind ArchiveKindOf(const QString& entry);

// The file name without its directories and its last four characters, blanks trimmed:
// "/in/foo.lzh" gives "foo", "/in/.lzh" gives "".
QString ArchiveStem(const QString& entry);

// The plug-in command that extracts `archive` into `destination` (which ends in "/"), or into
// destination + stem + "/" when `intoStemDirectory` is set.
QString MeltCommand(ArchiveKind kind, const QString& archive, const QString& destination, const QString& stem,
                    bool intoStemDirectory);

// Where the move follow-up puts an archive: the directory as typed, "/", the stem and the
// kind's extension in lower case.
QString MovedArchivePath(const QString& moveDirectory, const QString& stem, ArchiveKind kind);

// Copies `archive` to `target` (replacing a file of that name only once the copy is complete)
// and then deletes the original. Returns an empty string on success, else the reason in
// Japanese; on failure the original is still in place.
QString MoveArchive(const QString& archive, const QString& target);

// Runs the extraction for the window's archive field or the recorded archives, then finishes
// as the window's options say (which may unload the window or end the program).
void RunMelt(meltform& window);
