// Failures as the user reads them: in Japanese, with the cause and what to do, and the
// plug-ins' English lines kept apart for the message box's "詳細".
#pragma once

#include <QString>
#include <QStringList>

#include "services/Pack.h"

// The cause of one failure code and what to do about it, one or two sentences. `systemError`
// (errno) refines a write failure: no space, a read-only file system, no permission; the
// plug-in's English line tells an encrypted entry that cannot be decrypted from an unknown
// method.
QString FailureReason(int code, int systemError = 0, const QString& english = {});

// The reasons of a command's result: one line per distinct cause, each followed by the names
// it concerns (at most `listed` names per cause, then how many more).
QString FailureLines(const Pack::CommandResult& result, int listed = 10);

// The English detail of a result: its message and every failure's line.
QString FailureDetail(const Pack::CommandResult& result);
