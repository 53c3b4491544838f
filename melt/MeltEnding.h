// What the extraction window does with a job's outcome besides its fields: each archive's
// follow-up, and the report of what went wrong.
#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "melt/MeltRun.h"

// Leaves (0), deletes (1), trashes (2) or moves (3) an extracted archive, every volume of a set.
// Returns the reason in Japanese when it could not; what it could not deal with is then where
// it was.
QString FollowUpArchive(int followUp, const QString& archive, const QString& moveDirectory);

struct ArchiveProblem {
    QString archive;
    QString reason;  // Japanese, with what to do, the names concerned below it
    QString detail;  // English
};

// The problem of an entry that was not extracted whole, or nothing for one that was (or was
// passed over, or not reached).
std::optional<ArchiveProblem> ProblemOf(const EntryOutcome& entry);

struct Report {
    QString text;
    QString detail;
};

// One box for every archive that went wrong, in the job's order; "中止しました" heads it when
// the job was cancelled.
Report ReportOf(const QList<ArchiveProblem>& problems, bool cancelled);
