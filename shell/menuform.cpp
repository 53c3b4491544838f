// The popup menu's handlers.
#include "shell/menuform.h"

#include <QLineEdit>
#include <QMenu>
#include <QPointer>

#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "options/Form1.h"
#include "services/Desktop.h"
#include "services/Session.h"
#include "services/Settings.h"
#include "shell/DropReception.h"
#include "shell/Windows.h"
#include "shell/iconform.h"

namespace {

QPointer<menuform> theMenuForm;

}  // namespace

menuform::menuform()
{
    setObjectName(QStringLiteral("menuform"));
    omenu = new QMenu(QStringLiteral("FILE(&F)"), this);
    mmelt = omenu->addAction(QStringLiteral("解凍(&M)"), this, &menuform::openMelt);
    mfreeze = omenu->addAction(QStringLiteral("圧縮(&F)"), this, &menuform::openFreeze);
    omenu->addSeparator()->setObjectName(QStringLiteral("sep0"));
    moption = omenu->addAction(QStringLiteral("設定(&O)"), this, &menuform::openOptions);
    omenu->addSeparator()->setObjectName(QStringLiteral("sep1"));
    mabout = omenu->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"), this, &menuform::showVersion);
    omenu->addSeparator()->setObjectName(QStringLiteral("sep2"));
    mend = omenu->addAction(QStringLiteral("終了(&X)"), this, &menuform::endProgram);
    mmelt->setObjectName(QStringLiteral("mmelt"));
    mfreeze->setObjectName(QStringLiteral("mfreeze"));
    moption->setObjectName(QStringLiteral("moption"));
    mabout->setObjectName(QStringLiteral("mabout"));
    mend->setObjectName(QStringLiteral("mend"));
}

void menuform::openMelt()
{
    if (RefusedWhileJobRuns(nullptr))
        return;
    UnhookDropWindow(IconWindow());
    meltform* melt = MeltWindow();
    const Session& session = ProgramSession();
    if (session.DroppedCount == 0 || session.DroppedCount == 1)
        melt->Text1->setText(session.DroppedFiles.value(0));
    melt->loaddata();
    ShowJobWindow(melt);
}

void menuform::openFreeze()
{
    if (RefusedWhileJobRuns(nullptr))
        return;
    UnhookDropWindow(IconWindow());
    freezeform* freeze = FreezeWindow();
    freeze->loaddata();
    ShowJobWindow(freeze);
}

void menuform::openOptions()
{
    OpenOptionsWindow(nullptr);
}

void menuform::showVersion()
{
    desktop().showMessage(nullptr, VersionText(TEMBREL_VERSION_MAJOR, TEMBREL_VERSION_MINOR, TEMBREL_VERSION_PATCH),
                          QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
}

void menuform::endProgram()
{
    // While a job runs the program ends once the job stopped, if the user wants it stopped.
    const bool jobRuns = ProgramSession().jobRunning;
    if (jobRuns && !RequestEndProgram(nullptr))
        return;
    if (iconform* icon = IconWindow()) {
        SavePositionSetting(QStringLiteral("iconleft"), icon->leftTwips());
        SavePositionSetting(QStringLiteral("icontop"), icon->topTwips());
    }
    UnloadMenuForm();
    if (!jobRuns)
        EndProgram();
}

void PopupIconMenu(const QPoint& globalPosition)
{
    if (!theMenuForm)
        theMenuForm = new menuform;
    theMenuForm->omenu->popup(globalPosition);
}

menuform* ExistingMenuForm()
{
    return theMenuForm;
}

void UnloadMenuForm()
{
    if (menuform* form = theMenuForm) {
        theMenuForm = nullptr;
        form->omenu->close();
        form->deleteLater();
    }
}

QString VersionText(int major, int minor, int revision)
{
    return QStringLiteral("Tembrel Ver.") + QString::number(major) + QLatin1Char('.') + QString::number(minor) +
           QString::number(revision);
}
