// The run's state, the global options' loading and saving, and the small rules on names.
#include "services/Session.h"

#include <QCoreApplication>
#include <limits>

#include "services/Settings.h"

GlobalOptions LoadGlobalOptions()
{
    GlobalOptions options;
    options.DefaultBrowseDir =
        GetSetting(kSettingsApp, kSettingsSection, "Defdir", QCoreApplication::applicationDirPath());
    options.SoundFile = GetSetting(kSettingsApp, kSettingsSection, "Snddir", QString());
    options.AlwaysOnTop = GetNumberSetting("Check1", 0);
    options.NotifyMode = GetNumberSetting("Option1", 0);
    options.DefaultArchiveType = GetNumberSetting("Option2", 0);
    return options;
}

void SaveGlobalOptions(const GlobalOptions& options)
{
    SavePathSetting(QStringLiteral("Snddir"), options.SoundFile);
    SavePathSetting(QStringLiteral("Defdir"), options.DefaultBrowseDir);
    SaveNumberSetting(QStringLiteral("Check1"), options.AlwaysOnTop);
    SaveNumberSetting(QStringLiteral("Option1"), options.NotifyMode);
    SaveNumberSetting(QStringLiteral("Option2"), options.DefaultArchiveType);
}

void Session::RecordDroppedFiles(const QStringList& names)
{
    // The count is 16 bits wide; a drop of more names than it holds keeps the first 32767
    // rather than wrapping to a negative count.
    const qsizetype count = std::min<qsizetype>(names.size(), std::numeric_limits<qint16>::max());
    DroppedCount = static_cast<qint16>(count);
    DroppedFiles.resize(count + 1);
    for (qsizetype i = 0; i < count; ++i)
        DroppedFiles[i] = names[i];
}

QString QuotedList(const QStringList& names)
{
    if (names.size() == 1)
        return names.constFirst();
    QStringList quoted;
    for (const QString& name : names)
        quoted << QLatin1Char('"') + name + QLatin1Char('"');
    return quoted.join(QLatin1Char(' '));
}

bool RememberDirectory(QStringList& history, const QString& directory, int size)
{
    if (history.size() < size)
        history.resize(size);
    for (int i = 0; i < size; ++i) {
        if (history[i] == directory)
            return false;
    }
    for (int i = size - 1; i > 0; --i)
        history[i] = history[i - 1];
    history[0] = directory;
    return true;
}
