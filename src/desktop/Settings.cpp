// The shared drawing options in the per-user settings store.
#include "desktop/Settings.h"

#include <QSettings>

namespace ardela {

namespace {

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication, kSettingsApplication);
}

} // namespace

const std::array<QString, kSettingCount>& SettingKeys()
{
    static const std::array<QString, kSettingCount> keys = {
        QStringLiteral("TextHeight"), QStringLiteral("Layer1"), QStringLiteral("Layer2"),
        QStringLiteral("Layer3"), QStringLiteral("Layer4"), QStringLiteral("Layer5"),
        QStringLiteral("Layer6"), QStringLiteral("Layer7"), QStringLiteral("Color"),
        QStringLiteral("Tension"), QStringLiteral("Compression"), QStringLiteral("Layer8"),
        QStringLiteral("Layer9"), QStringLiteral("ScaleFactor"),
    };
    return keys;
}

const std::array<QString, kSettingCount>& SettingDefaults()
{
    static const std::array<QString, kSettingCount> defaults = {
        QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("6"), QStringLiteral("3"),
        QStringLiteral("4"), QStringLiteral("7"), QStringLiteral("5"), QStringLiteral("1"),
        QStringLiteral("-1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("40"),
        QStringLiteral("200"), QStringLiteral("20"),
    };
    return defaults;
}

SettingsArray DefaultSettings()
{
    SettingsArray settings;
    for (std::size_t i = 0; i < kSettingCount; ++i)
        settings[i] = Cell(SettingDefaults()[i]);
    return settings;
}

void LoadSettings(SettingsArray& settings)
{
    QSettings store = Store();
    store.beginGroup(kSettingsSection);
    for (std::size_t i = 0; i < kSettingCount; ++i)
        settings[i] = Cell(store.value(SettingKeys()[i], SettingDefaults()[i]).toString());
    store.endGroup();
}

void SaveSettings(const SettingsArray& settings)
{
    QSettings store = Store();
    store.beginGroup(kSettingsSection);
    for (std::size_t i = 0; i < kSettingCount; ++i)
        store.setValue(SettingKeys()[i], settings[i].ToText());
    store.endGroup();
    store.sync();
}

SettingsArray& Settings()
{
    static SettingsArray settings = DefaultSettings();
    return settings;
}

} // namespace ardela
