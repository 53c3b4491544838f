// The per-user settings store: named string values under one application and section.
#pragma once

#include <QString>
#include <QtGlobal>

inline constexpr char kSettingsApp[] = "tembrel";
inline constexpr char kSettingsSection[] = "setting";

// Returns the stored text of `key`, or `defaultText` when the key is missing. Never creates a key.
QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultText);
// Stores `value`, creating what is missing, and writes it through to disk at once.
void SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value);

// Typed readers for the store's value forms. A stored text that does not convert (edited by
// hand, out of the 16-bit range) reads as the default, like a missing key.
qint16 GetNumberSetting(const QString& key, qint16 defaultValue);    // "0", "1", "3"
bool GetTruthSetting(const QString& key, bool defaultValue);         // "True" / "False"
qint16 GetPositionSetting(const QString& key, qint16 defaultTwips);  // twips, "1200" or "1200.5"
QString GetPathSetting(const QString& key);                          // default: empty

// Writers in the value forms.
void SaveNumberSetting(const QString& key, int value);
void SaveTruthSetting(const QString& key, bool value);
void SavePositionSetting(const QString& key, int twips);  // shortest decimal text of a single
void SavePathSetting(const QString& key, const QString& path);

// The shortest decimal text of `twips` as a single-precision value ("1200", "-15", "7.5").
QString PositionText(double twips);
