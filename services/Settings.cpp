// The settings store over an INI file: $XDG_CONFIG_HOME/tembrel/tembrel.ini, group "setting".
#include "services/Settings.h"

#include <QLocale>
#include <QSettings>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

QString groupKey(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

QSettings openStore(const QString& app)
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, app, app);
}

std::optional<qint16> toInt16(double value)
{
    if (!std::isfinite(value) || value < std::numeric_limits<qint16>::min() - 0.5 ||
        value >= std::numeric_limits<qint16>::max() + 0.5)
        return std::nullopt;
    return static_cast<qint16>(std::lround(value));
}

}  // namespace

QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultText)
{
    QSettings store = openStore(app);
    const QVariant value = store.value(groupKey(section, key));
    if (!value.isValid())
        return defaultText;
    // A hand-edited value with a comma comes back as a list; keep it as the text it was.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value)
{
    QSettings store = openStore(app);
    store.setValue(groupKey(section, key), value);
    store.sync();
}

qint16 GetNumberSetting(const QString& key, qint16 defaultValue)
{
    const QString text = GetSetting(kSettingsApp, kSettingsSection, key, QString::number(defaultValue)).trimmed();
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return defaultValue;
    return static_cast<qint16>(value);
}

bool GetTruthSetting(const QString& key, bool defaultValue)
{
    const QString text = GetSetting(kSettingsApp, kSettingsSection, key, defaultValue ? "True" : "False").trimmed();
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok ? number != 0 : defaultValue;
}

qint16 GetPositionSetting(const QString& key, qint16 defaultTwips)
{
    const QString text = GetSetting(kSettingsApp, kSettingsSection, key, QString::number(defaultTwips)).trimmed();
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        return defaultTwips;
    return toInt16(value).value_or(defaultTwips);
}

QString GetPathSetting(const QString& key)
{
    return GetSetting(kSettingsApp, kSettingsSection, key, QString());
}

void SaveNumberSetting(const QString& key, int value)
{
    SaveSetting(kSettingsApp, kSettingsSection, key, QString::number(value));
}

void SaveTruthSetting(const QString& key, bool value)
{
    SaveSetting(kSettingsApp, kSettingsSection, key, value ? QStringLiteral("True") : QStringLiteral("False"));
}

void SavePositionSetting(const QString& key, int twips)
{
    SaveSetting(kSettingsApp, kSettingsSection, key, PositionText(twips));
}

void SavePathSetting(const QString& key, const QString& path)
{
    SaveSetting(kSettingsApp, kSettingsSection, key, path);
}

QString PositionText(double twips)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, static_cast<float>(twips)).ptr;
    return QString::fromLatin1(text, end - text);
}
