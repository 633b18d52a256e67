#pragma once
// The per-user settings store: text values by section and key, kept under the
// application title.
#include <QString>

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString get(const QString& section, const QString& key, const QString& fallback) = 0;
    // Returns false when the value could not be stored.
    virtual bool save(const QString& section, const QString& key, const QString& value) = 0;
    // Where the values are kept, for telling the user; empty when not a file.
    virtual QString location() const { return {}; }
};

QString GetSetting(const QString& section, const QString& key, const QString& fallback = QString());
bool SaveSetting(const QString& section, const QString& key, const QString& value);

// Replaces the store (tests); nullptr restores the real one.
void setSettingsStore(SettingsStore* store);
SettingsStore& settingsStore();
