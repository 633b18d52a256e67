#pragma once
// The program's settings: section "Defaults" under the application title.
#include <QString>

inline const QString SettingsSection = QStringLiteral("Defaults");

namespace SettingKey {
inline const QString NewUser = QStringLiteral("NewUser");
inline const QString FadeStatus = QStringLiteral("FadeStatus");
inline const QString DefaultNCICNumber = QStringLiteral("DefaultNCICNumber");
inline const QString DefaultEnteredBy = QStringLiteral("DefaultEnteredBy");
inline const QString DefaultCounty = QStringLiteral("DefaultCounty");
inline const QString DefaultCity = QStringLiteral("DefaultCity");
inline const QString DefaultCourtName = QStringLiteral("DefaultCourtName");
} // namespace SettingKey

// Reads a key of section "Defaults" (empty when absent).
QString ReadDefaultsSetting(const QString& key);
bool SaveDefaultsSetting(const QString& key, const QString& value);

// True unless "NewUser" is exactly "NoShow".
bool ShouldShowNewUserOverview();
// "FadeStatus" as a number: empty or non-numeric text counts as 0.
double FadeStatusValue();
inline bool FadeStatusOn() { return FadeStatusValue() != 0; }

// The five default field values in the order of the Defaults page (1..5).
QString DefaultValueKey(int index);
