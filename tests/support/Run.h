// Starting and ending the program inside a test binary, with a fresh Session between tests.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

#include "support/Store.h"

#include "services/Session.h"
#include "shell/Startup.h"
#include "shell/Windows.h"
#include "shell/menuform.h"

// The state of the program under test.
inline Session& session()
{
    return ProgramSession();
}

// Ends whatever the previous test started and lets the unloaded windows really go.
inline void ResetProgram()
{
    QTRY_VERIFY_WITH_TIMEOUT(!ProgramSession().jobRunning, 60000);
    if (IconWindow())
        EndProgram();
    UnloadMenuForm();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    StartSession();
    ProgramSession().plugins.setDirectory(TEMBREL_BIN_DIR);
}

// A fresh program with an empty store that has started before (so no association is written),
// showing its icon at the top-left corner, its plug-ins taken from the build.
inline void StartFreshProgram()
{
    ResetProgram();
    ClearStore();
    WriteRaw("flg_First", "True");
    StartProgram({}, TEMBREL_BIN_DIR);
}

// Waits until the running job (if any) has ended and its outcome was applied.
#define WAIT_FOR_JOB() QTRY_VERIFY_WITH_TIMEOUT(!ProgramSession().jobRunning, 600000)
