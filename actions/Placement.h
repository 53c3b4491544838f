// Where an action's result goes: a hidden work folder beside the original while the job runs,
// then a rename into place under a name that is free, so that no half-made result ever stands
// under a name the user sees and nothing already there is replaced.
#pragma once

#include <QString>
#include <QStringList>

// `name` for its `number`th try: unchanged for 1, else with " (n)", before the extension of a
// file ("report (2).txt") and after the whole name of a folder ("v1.2 (2)").
QString NumberedName(const QString& name, int number, bool folder);

// The name of the archive that packs `paths`: the one item's name, or for several the name of
// the folder holding the first, followed by `extension`.
QString PackedArchiveName(const QStringList& paths, const QString& extension);

// A new, empty, hidden folder in `directory`, made with the user's usual permissions, so that it
// can become the result itself; empty when `directory` takes no new folder.
QString MakeWorkFolder(const QString& directory);

// Renames `source` into `directory` as `name`, or as the first numbered name that is free.
// Nothing there is ever replaced, also when another program takes a name at the same moment.
// Returns the new path; empty when it could not be renamed (the source then stays).
QString MoveToFreeName(const QString& source, const QString& directory, const QString& name);

// Puts what an archive left in `workFolder` into `directory`: its one top entry alone when there
// is exactly one (a folder or a file: no doubled folder), else the work folder itself as
// `folderName`. Returns the placed path; empty when nothing could be placed.
QString PlaceExtracted(const QString& workFolder, const QString& directory, const QString& folderName);
