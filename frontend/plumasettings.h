#pragma once

#include <QSettings>
#include <QString>

// The keys PLUMA keeps under the application "PLUMA", group "ConfigCD".
enum class SettingKey {
    FormatAudio,
    BitRate,
    Language,
    ShutDown,
    OnTheFly,
    AutoDetection,
    WavFmt,
    Debug,
    Eject,
    Host,
    Id,
    Lun,
    CdType,
    CurrentTrack,
};

// Settings access with the defaults of a fresh installation. Values are
// strings; an absent value reads as its default.
class PlumaSettings {
public:
    // `systemIsFrench` chooses the default language.
    explicit PlumaSettings(bool systemIsFrench);

    static bool systemLocaleIsFrench();

    QString value(SettingKey key) const;
    bool isOn(SettingKey key) const { return value(key) == QLatin1String("1"); }
    void setValue(SettingKey key, const QString& value);
    void setOn(SettingKey key, bool on) { setValue(key, on ? QStringLiteral("1") : QStringLiteral("0")); }

    // The language lookup: writes the value back and returns 0 (French) or
    // 1000 (English); anything but "1000" counts as French.
    int languageOffset();

    // Deletes every setting of the application, all groups.
    void clearAll();

    QString fileName() const { return store.fileName(); }
    static const char* keyName(SettingKey key);
    QString defaultValue(SettingKey key) const;

private:
    // Registry keys were case-insensitive, so a stored key matches in any case.
    QString storedKey(SettingKey key) const;

    mutable QSettings store;
    bool french;
};
