// The popup menu's handlers.
#include "shell/menuform.h"

#include <QMenu>

#include "services/Desktop.h"
#include "services/JobWindow.h"
#include "services/Session.h"

menuform::menuform(const Session& session) : session_(session)
{
    setObjectName(QStringLiteral("menuform"));
    omenu = new QMenu(QStringLiteral("FILE(&F)"), this);
    omenu->setObjectName(QStringLiteral("omenu"));
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

void menuform::popup(const QPoint& globalPosition)
{
    omenu->popup(globalPosition);
}

void menuform::closeMenu()
{
    omenu->close();
}

void menuform::openMelt()
{
    if (RefusedWhileJobRuns(session_, nullptr))
        return;
    // With two or more names of the latest drop the field keeps what it has.
    if (session_.DroppedCount == 0 || session_.DroppedCount == 1)
        emit meltWanted(session_.DroppedFiles.value(0));
    else
        emit meltWanted(std::nullopt);
}

void menuform::openFreeze()
{
    if (RefusedWhileJobRuns(session_, nullptr))
        return;
    emit freezeWanted();
}

void menuform::openOptions()
{
    emit optionsWanted();
}

void menuform::showVersion()
{
    desktop().showMessage(nullptr, VersionText(TEMBREL_VERSION_MAJOR, TEMBREL_VERSION_MINOR, TEMBREL_VERSION_PATCH),
                          QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
}

void menuform::endProgram()
{
    emit endWanted();
}

QString VersionText(int major, int minor, int revision)
{
    return QStringLiteral("Tembrel Ver.") + QString::number(major) + QLatin1Char('.') + QString::number(minor) +
           QString::number(revision);
}
