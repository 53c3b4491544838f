// The extraction window's fields, its settings and its close path.
#include "melt/meltform.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include "services/Settings.h"
#include "shell/DropReception.h"
#include "shell/SharedState.h"
#include "shell/Twips.h"
#include "shell/Windows.h"
#include "shell/iconform.h"

meltform::meltform()
{
    setObjectName(QStringLiteral("meltform"));
    setWindowTitle(QStringLiteral("TEMBREL(解凍)"));
    createControls();
    createMenus();
}

void meltform::createControls()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);
    client->setFixedSize(TwipsToPixels(6855), TwipsToPixels(3135));
    Text1 = new QLineEdit(client);
    Text1->setObjectName(QStringLiteral("Text1"));
    PlaceInTwips(Text1, 1440, 240, 4935, 270);
    Check3 = new QCheckBox(QStringLiteral("解凍後にﾌｫｰﾑを閉じる"), client);
    Check3->setObjectName(QStringLiteral("Check3"));
    PlaceInTwips(Check3, 360, 1440, 2295, 255);
    tomelt = new QPushButton(QStringLiteral("圧縮..."), client);
    tomelt->setObjectName(QStringLiteral("tomelt"));
    PlaceInTwips(tomelt, 4680, 2760, 975, 255);
    endbutton = new QPushButton(QStringLiteral("閉じる"), client);
    endbutton->setObjectName(QStringLiteral("endbutton"));
    PlaceInTwips(endbutton, 5760, 2760, 975, 255);
    connect(endbutton, &QPushButton::clicked, this, &meltform::closeWindow);
}

void meltform::createMenus()
{
    QMenu* mfile = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mfreeze = mfile->addAction(QStringLiteral("圧縮...(&M)"));
    mfreeze->setObjectName(QStringLiteral("mfreeze"));
    mfile->addSeparator();
    mfile->addAction(QStringLiteral("閉じる(&C)"), this, &meltform::closeWindow);
}

void meltform::loaddata() { Check3->setChecked(GetNumberSetting(QStringLiteral("moption3"), 0) == 1); }

void meltform::savedata() { SaveNumberSetting(QStringLiteral("moption3"), Check3->isChecked() ? 1 : 0); }

void meltform::closeWindow()
{
    savedata();
    UnhookDropWindow(this);
    UnloadWindow(this);
    if (StartedWithFiles == kSet)
        EndProgram();
    else
        HookDropWindow(IconWindow());
}

void meltform::closeEvent(QCloseEvent* event)
{
    // The title bar's close takes the close button's path, so nothing is left half done.
    event->ignore();
    closeWindow();
}
