// LZH に圧縮 / ZIP に圧縮 (--compress-lzh, --compress-zip): the paths packed into one archive
// beside the first, built in a hidden work folder there and renamed into place only once every
// item is in, so that a failed, cancelled or killed job leaves no archive under a visible name.
#pragma once

#include <QString>
#include <QStringList>

#include "freeze/FreezeRun.h"

class ActionRun;
struct ActionEnding;

struct PackedHere {
    FreezeOutcome packed;
    QString placedAt;  // the finished archive; empty when none was made
    QString problem;   // Japanese, for a failure around the plug-in (work folder, placing)
    bool succeeded() const { return packed.succeeded() && problem.isEmpty() && !placedAt.isEmpty(); }
};

// Packs `paths` (absolute) into one archive of `kind`. Safe to run on a worker thread.
PackedHere RunCompressHere(ArchiveKind kind, const QStringList& paths, Pack::Archivers& archivers, JobContext& context);

// Whether the archive was made; the message when it was not.
ActionEnding CompressHereEnding(const PackedHere& outcome);

// Starts the action on `run`.
void CompressHere(ActionRun& run, ArchiveKind kind, const QStringList& paths);
