// The six layers each program draws on, with the setting that holds each layer's colour. The
// names are written here once; the drawing routines and the Options dialog take them from here.
#pragma once

#include <array>

#include <QString>

#include "desktop/Settings.h"

namespace ardela::cad {

inline const QString kKorrinNodes = QStringLiteral("Korrin_Nodes");
inline const QString kKorrinBeams = QStringLiteral("Korrin_Beams");
inline const QString kKorrinBlocks = QStringLiteral("Korrin_Blocks");
inline const QString kKorrinLoads = QStringLiteral("Korrin_Loads");
inline const QString kKorrinPlus = QStringLiteral("Korrin_Plus");
inline const QString kKorrinMinus = QStringLiteral("Korrin_Minus");

inline const QString kVendelMesh = QStringLiteral("Vendel_Mesh");
inline const QString kVendelDomains = QStringLiteral("Vendel_Domains");
inline const QString kVendelLines = QStringLiteral("Vendel_Lines");
inline const QString kVendelLoads = QStringLiteral("Vendel_Loads");
inline const QString kVendelPlus = QStringLiteral("Vendel_Plus");
inline const QString kVendelMinus = QStringLiteral("Vendel_Minus");

// A program layer: its name and the Settings position of its colour.
struct LayerSpec {
    QString name;
    SettingIndex colorKey;
};

// A program's layers: the four model layers in drawing order, then tension and compression.
using ProgramLayerSet = std::array<LayerSpec, 6>;

inline const ProgramLayerSet& KorrinLayers()
{
    static const ProgramLayerSet layers{{
        {kKorrinNodes, SetLayer1},
        {kKorrinBeams, SetLayer2},
        {kKorrinBlocks, SetLayer8},
        {kKorrinLoads, SetLayer9},
        {kKorrinPlus, SetLayer6},
        {kKorrinMinus, SetLayer7},
    }};
    return layers;
}

inline const ProgramLayerSet& VendelLayers()
{
    static const ProgramLayerSet layers{{
        {kVendelMesh, SetLayer3},
        {kVendelDomains, SetLayer4},
        {kVendelLines, SetLayer5},
        {kVendelLoads, SetLayer9},
        {kVendelPlus, SetLayer6},
        {kVendelMinus, SetLayer7},
    }};
    return layers;
}

} // namespace ardela::cad
