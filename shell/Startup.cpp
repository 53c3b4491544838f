// The start-up sequence.
#include "shell/Startup.h"

#include <limits>

#include "melt/meltform.h"
#include "services/Association.h"
#include "services/Choosers.h"
#include "services/Session.h"
#include "services/Settings.h"
#include "shell/TaskbarHint.h"
#include "shell/Windows.h"
#include "shell/iconform.h"

namespace {

void initialise()
{
    if (!GetTruthSetting(QStringLiteral("flg_First"), false)) {
        // Asks no other program's default away: the options window's button does that on purpose.
        RegisterArchiveHandler();
        SaveTruthSetting(QStringLiteral("flg_First"), true);
    }
    ProgramSession().options = LoadGlobalOptions();
}

void startWithNames(iconform* icon, const QStringList& names)
{
    Session& session = ProgramSession();
    QStringList longNames;
    for (qsizetype i = 0; i < names.size(); ++i) {
        session.DroppedFiles[i] = ToLongPath(names[i]);
        longNames << session.DroppedFiles[i];
    }
    icon->hide();
    session.StartedWithFiles = kSet;

    session.IconDropPending = kClear;
    session.FreezeDropPending = kClear;
    OpenMeltWindow(QuotedList(longNames))->restrictToExtraction();
}

void start(const QStringList& names, const QString& pluginDirectory)
{
    StartSession();
    ProgramSession().plugins.setDirectory(pluginDirectory);
    iconform* icon = CreateIconWindow();
    initialise();

    const QStringList limited = names.mid(0, std::numeric_limits<qint16>::max());
    ProgramSession().DroppedCount = static_cast<qint16>(limited.size());
    ProgramSession().DroppedFiles = QStringList(limited.size() + 1);
    if (!limited.isEmpty()) {
        startWithNames(icon, limited);
        return;
    }
    icon->load();
    KeepOffTaskbar(icon);
    icon->show();
}

}  // namespace

void StartProgram(const QStringList& names, const QString& pluginDirectory)
{
    start(names.mid(0, 10), pluginDirectory);
}

void StartWithArchives(const QStringList& archives, const QString& pluginDirectory)
{
    start(archives, pluginDirectory);
}

Session& StartForAction(const QString& pluginDirectory)
{
    StartSession();
    ProgramSession().plugins.setDirectory(pluginDirectory);
    initialise();
    return ProgramSession();
}
