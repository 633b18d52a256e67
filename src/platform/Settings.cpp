#include "platform/Settings.h"

#include "platform/ApplicationTitle.h"

#include <QSettings>

namespace {

// On Linux this is ~/.config/Sennet/Sennet.ini (an INI file), one group per section.
class QtSettingsStore final : public SettingsStore {
public:
    QString get(const QString& section, const QString& key, const QString& fallback) override
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, ApplicationTitle(), ApplicationTitle());
        return s.value(section + QLatin1Char('/') + key, fallback).toString();
    }
    bool save(const QString& section, const QString& key, const QString& value) override
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, ApplicationTitle(), ApplicationTitle());
        s.setValue(section + QLatin1Char('/') + key, value);
        s.sync();
        return s.status() == QSettings::NoError;
    }
    QString location() const override
    {
        return QSettings(QSettings::IniFormat, QSettings::UserScope, ApplicationTitle(), ApplicationTitle()).fileName();
    }
};

QtSettingsStore g_realSettings;
SettingsStore* g_settings = nullptr;

} // namespace

void setSettingsStore(SettingsStore* store) { g_settings = store; }
SettingsStore& settingsStore() { return g_settings ? *g_settings : g_realSettings; }

QString GetSetting(const QString& section, const QString& key, const QString& fallback)
{
    return settingsStore().get(section, key, fallback);
}

bool SaveSetting(const QString& section, const QString& key, const QString& value)
{
    return settingsStore().save(section, key, value);
}
