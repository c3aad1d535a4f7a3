#include "frontend/plumasettings.h"

#include <QLocale>

#include <array>

namespace {

struct KeyInfo {
    SettingKey key;
    const char* name;
    const char* defaultValue;  // nullptr: depends on the system language
};

constexpr std::array<KeyInfo, 14> keys{{
    {SettingKey::FormatAudio, "Format_Audio", "MP3"},
    {SettingKey::BitRate, "BitRate", "160"},
    {SettingKey::Language, "Language", nullptr},
    {SettingKey::ShutDown, "ShutDown", "0"},
    {SettingKey::OnTheFly, "OnTheFly", "1"},
    {SettingKey::AutoDetection, "AutoDetection", "1"},
    {SettingKey::WavFmt, "WAVFMT", "0"},
    {SettingKey::Debug, "Debug", "1"},
    {SettingKey::Eject, "Eject", "1"},
    {SettingKey::Host, "Host", "0"},
    {SettingKey::Id, "ID", "1"},
    {SettingKey::Lun, "Lun", "0"},
    {SettingKey::CdType, "CDType", "1"},
    {SettingKey::CurrentTrack, "CurrentTrack#", "0"},
}};

const KeyInfo& info(SettingKey key) { return keys[static_cast<size_t>(key)]; }

const QString group = QStringLiteral("ConfigCD");

}  // namespace

PlumaSettings::PlumaSettings(bool systemIsFrench)
    : store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("PLUMA"), QStringLiteral("PLUMA")),
      french(systemIsFrench) {}

bool PlumaSettings::systemLocaleIsFrench() { return QLocale::system().language() == QLocale::French; }

const char* PlumaSettings::keyName(SettingKey key) { return info(key).name; }

QString PlumaSettings::defaultValue(SettingKey key) const {
    if (key == SettingKey::Language) return french ? QStringLiteral("0") : QStringLiteral("1000");
    return QString::fromLatin1(info(key).defaultValue);
}

QString PlumaSettings::storedKey(SettingKey key) const {
    const QString name = QString::fromLatin1(keyName(key));
    store.beginGroup(group);
    const QStringList present = store.childKeys();
    store.endGroup();
    for (const QString& k : present)
        if (k.compare(name, Qt::CaseInsensitive) == 0) return group + QLatin1Char('/') + k;
    return group + QLatin1Char('/') + name;
}

QString PlumaSettings::value(SettingKey key) const {
    return store.value(storedKey(key), defaultValue(key)).toString();
}

void PlumaSettings::setValue(SettingKey key, const QString& value) {
    store.setValue(storedKey(key), value);
    store.sync();
}

int PlumaSettings::languageOffset() {
    setValue(SettingKey::Language, value(SettingKey::Language));
    return value(SettingKey::Language).trimmed().toInt() == 1000 ? 1000 : 0;
}

void PlumaSettings::clearAll() {
    store.clear();
    store.sync();
}
