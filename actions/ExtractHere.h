// ここに解凍 (--extract-here): each archive extracted next to itself.
//
// An archive is extracted whole into a hidden work folder beside it, on the same file system;
// what it holds is then renamed into place: its one top entry alone when there is exactly one,
// else the work folder itself under the archive's name. The decision needs no second pass and no
// list that could disagree with what was written, and a job that is killed leaves only the
// hidden folder, nothing half made under a name the user sees.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "melt/MeltRun.h"

class ActionRun;
struct ActionEnding;

// The folder that an archive's loose contents go into: the archive's stem, or "書庫" when the
// archive has no name before its extension.
QString ExtractFolderName(const QString& archive);

struct PlacedArchive {
    EntryOutcome extraction;
    QString placedAt;  // what the archive's contents became; empty when nothing was placed
    QString problem;   // Japanese, for a failure around the plug-in (work folder, placing)
};

struct ExtractHereOutcome {
    QList<PlacedArchive> archives;  // one per archive, in order
    bool cancelled = false;
};

// Extracts every archive beside itself. Safe to run on a worker thread.
ExtractHereOutcome RunExtractHere(const QStringList& archives, Pack::Archivers& archivers, JobContext& context);

// Whether every archive was extracted and placed; the message for the rest.
ActionEnding ExtractHereEnding(const ExtractHereOutcome& outcome);

// Starts the action on `run` for `archives` (absolute paths).
void ExtractHere(ActionRun& run, const QStringList& archives);
