// The 14 shared drawing options, their store keys and defaults, and the per-user store.
#pragma once

#include <array>
#include <cstddef>

#include <QString>

#include "desktop/Cell.h"

namespace ardela {

constexpr std::size_t kSettingCount = 14;

// Positions in the settings array, in the order of the store and the analysis files.
enum SettingIndex : std::size_t {
    SetTextHeight = 0,
    SetLayer1 = 1,
    SetLayer2 = 2,
    SetLayer3 = 3,
    SetLayer4 = 4,
    SetLayer5 = 5,
    SetLayer6 = 6,
    SetLayer7 = 7,
    SetColor = 8,
    SetTension = 9,
    SetCompression = 10,
    SetLayer8 = 11,
    SetLayer9 = 12,
    SetScaleFactor = 13,
};

using SettingsArray = std::array<Cell, kSettingCount>;

// The store key of each position ("TextHeight", "Layer1", ... "ScaleFactor").
const std::array<QString, kSettingCount>& SettingKeys();
// The default of each position, as the text the store would hold ("5", "2", ... "20").
const std::array<QString, kSettingCount>& SettingDefaults();

// The store: application "Ardela", section "Options", shared by every program of the suite.
inline const QString kSettingsApplication = QStringLiteral("Ardela");
inline const QString kSettingsSection = QStringLiteral("Options");

// Reads the 14 keys in order, each with its default, as texts.
void LoadSettings(SettingsArray& settings);
// Writes the 14 values as texts (the Options dialog's Save).
void SaveSettings(const SettingsArray& settings);
// The array of defaults, as a first start with an empty store reads it.
SettingsArray DefaultSettings();

// The program-wide settings array.
SettingsArray& Settings();

} // namespace ardela
