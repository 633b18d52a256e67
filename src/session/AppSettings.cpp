#include "session/AppSettings.h"

#include "platform/Settings.h"
#include "store/NumberText.h"

QString ReadDefaultsSetting(const QString& key) { return GetSetting(SettingsSection, key, QString()); }

bool SaveDefaultsSetting(const QString& key, const QString& value) { return SaveSetting(SettingsSection, key, value); }

bool ShouldShowNewUserOverview() { return ReadDefaultsSetting(SettingKey::NewUser) != QLatin1String("NoShow"); }

double FadeStatusValue()
{
    // Read as a number: "2" counts, empty or non-numeric text counts as 0.
    return LeadingNumber(ReadDefaultsSetting(SettingKey::FadeStatus));
}

QString DefaultValueKey(int index)
{
    switch (index) {
    case 1: return SettingKey::DefaultNCICNumber;
    case 2: return SettingKey::DefaultEnteredBy;
    case 3: return SettingKey::DefaultCounty;
    case 4: return SettingKey::DefaultCity;
    case 5: return SettingKey::DefaultCourtName;
    default: return QString();
    }
}
