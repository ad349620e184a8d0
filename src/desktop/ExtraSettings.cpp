// The store keys that live beside the 14 shared settings.
#include "desktop/ExtraSettings.h"

#include <QSettings>

#include "desktop/Settings.h"

namespace ardela {

namespace {

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication, kSettingsApplication);
}

} // namespace

QString ReadExtraSetting(const QString& key, const QString& fallback)
{
    QSettings store = Store();
    store.beginGroup(kSettingsSection);
    const QString value = store.value(key, fallback).toString();
    store.endGroup();
    return value;
}

void WriteExtraSetting(const QString& key, const QString& value)
{
    QSettings store = Store();
    store.beginGroup(kSettingsSection);
    store.setValue(key, value);
    store.endGroup();
    store.sync();
}

} // namespace ardela
