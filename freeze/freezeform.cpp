// The compression window's fields, its settings and its close path.
#include "freeze/freezeform.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

#include "services/Settings.h"
#include "shell/DropReception.h"
#include "shell/SharedState.h"
#include "shell/Twips.h"
#include "shell/Windows.h"
#include "shell/iconform.h"

freezeform::freezeform()
{
    setObjectName(QStringLiteral("freezeform"));
    setWindowTitle(QStringLiteral("TEMBREL(圧縮)"));
    createControls();
    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer1->start();
}

void freezeform::createControls()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);
    client->setFixedSize(TwipsToPixels(6855), TwipsToPixels(2295));
    Check2 = new QCheckBox(QStringLiteral("圧縮後にﾌｫｰﾑを閉じる"), client);
    Check2->setObjectName(QStringLiteral("Check2"));
    PlaceInTwips(Check2, 480, 1200, 2055, 255);
    freezebutton = new QPushButton(QStringLiteral("圧縮"), client);
    freezebutton->setObjectName(QStringLiteral("freezebutton"));
    PlaceInTwips(freezebutton, 3600, 1920, 975, 255);
    endbutton = new QPushButton(QStringLiteral("閉じる"), client);
    endbutton->setObjectName(QStringLiteral("endbutton"));
    PlaceInTwips(endbutton, 5760, 1920, 975, 255);
    connect(endbutton, &QPushButton::clicked, this, &freezeform::closeWindow);
}

void freezeform::loaddata()
{
    Check2->setChecked(GetNumberSetting(QStringLiteral("foption2"), 0) == 1);
    freezebutton->setEnabled(DroppedCount > 0);
}

void freezeform::savedata() { SaveNumberSetting(QStringLiteral("foption2"), Check2->isChecked() ? 1 : 0); }

void freezeform::closeWindow()
{
    savedata();
    UnhookDropWindow(this);
    UnloadWindow(this);
    HookDropWindow(IconWindow());
}

void freezeform::closeEvent(QCloseEvent* event)
{
    event->ignore();
    closeWindow();
}
