// Direct access to the settings file for tests: what is really on disk.
#pragma once

#include <QSettings>
#include <QStandardPaths>

inline QString StoreFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tembrel/tembrel.ini";
}

// The raw text stored for a key, or a null string when the key is missing.
inline QString StoredText(const QString& key)
{
    QSettings store(StoreFilePath(), QSettings::IniFormat);
    return store.value("setting/" + key).toString();
}

inline void ClearStore()
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "tembrel", "tembrel");
    store.clear();
    store.sync();
}

inline void WriteRaw(const QString& key, const QString& text)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "tembrel", "tembrel");
    store.setValue("setting/" + key, text);
    store.sync();
}
