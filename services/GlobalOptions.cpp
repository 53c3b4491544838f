// Global options and their loading from the settings store.
#include "services/GlobalOptions.h"

#include <QCoreApplication>

#include "services/Settings.h"

QString DefaultBrowseDir;
QString SoundFile;
qint16 AlwaysOnTop = 0;
qint16 NotifyMode = 0;
qint16 DefaultArchiveType = 0;

void LoadGlobalOptions()
{
    DefaultBrowseDir = GetSetting(kSettingsApp, kSettingsSection, "Defdir", QCoreApplication::applicationDirPath());
    SoundFile = GetSetting(kSettingsApp, kSettingsSection, "Snddir", QString());
    AlwaysOnTop = GetNumberSetting("Check1", 0);
    NotifyMode = GetNumberSetting("Option1", 0);
    DefaultArchiveType = GetNumberSetting("Option2", 0);
}
