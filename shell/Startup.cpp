// The start-up sequence.
#include "shell/Startup.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "melt/meltform.h"
#include "services/Association.h"
#include "services/Choosers.h"
#include "services/GlobalOptions.h"
#include "services/Settings.h"
#include "shell/SharedState.h"
#include "shell/TaskbarHint.h"
#include "shell/Windows.h"
#include "shell/iconform.h"

namespace {

void initialise()
{
    if (!GetTruthSetting(QStringLiteral("flg_First"), false)) {
        AssociateArchives();
        SaveTruthSetting(QStringLiteral("flg_First"), true);
    }
    LoadGlobalOptions();
}

void startWithNames(iconform* icon, const QStringList& names)
{
    QStringList longNames;
    for (qsizetype i = 0; i < names.size(); ++i) {
        DroppedFiles[i] = ToLongPath(names[i]);
        longNames << DroppedFiles[i];
    }
    icon->hide();
    StartedWithFiles = kSet;

    meltform* melt = MeltWindow();
    melt->Text1->setText(QuotedList(longNames));
    melt->Check3->setEnabled(false);
    melt->tomelt->setEnabled(false);
    melt->mfreeze->setEnabled(false);
    melt->loaddata();
    IconDropPending = kClear;
    FreezeDropPending = kClear;
    ShowJobWindow(melt);
}

}  // namespace

void StartProgram(const QStringList& names)
{
    auto* icon = new iconform;
    SetIconWindow(icon);
    initialise();

    const QStringList limited = names.mid(0, 10);
    DroppedCount = static_cast<qint16>(limited.size());
    DroppedFiles = QStringList(limited.size() + 1);
    if (!limited.isEmpty()) {
        startWithNames(icon, limited);
        return;
    }
    icon->load();
    KeepOffTaskbar(icon);
    icon->show();
}
