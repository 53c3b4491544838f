// Starting and ending the program inside a test binary, with the shared state reset between.
#pragma once

#include <QCoreApplication>
#include <QEvent>

#include "support/Store.h"

#include "shell/SharedState.h"
#include "shell/Startup.h"
#include "shell/Windows.h"
#include "shell/menuform.h"

// Ends whatever the previous test started and lets the unloaded windows really go.
inline void ResetProgram()
{
    if (IconWindow())
        EndProgram();
    UnloadMenuForm();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DroppedFiles = QStringList{QString()};
    DroppedCount = 0;
    IconDropPending = kClear;
    FreezeDropPending = kClear;
    StartedWithFiles = kClear;
}

// A fresh program with an empty store that has started before (so no association is written),
// showing its icon at the top-left corner.
inline void StartFreshProgram()
{
    ResetProgram();
    ClearStore();
    WriteRaw("flg_First", "True");
    StartProgram({});
}
