// The truss analysis file (kind 2, "*.krn"): counts, the four tables column by column, the 14
// settings.
#pragma once

#include <QByteArray>

#include "desktop/AnalysisFile.h"
#include "desktop/Settings.h"

namespace ardela {

struct TrussModel;

// Kind 2 (truss) over the given model and settings.
AnalysisFileKind TrussFileKind(TrussModel& model, SettingsArray& settings);

// The truss layout: counts, the four tables column by column, the 14 settings.
QByteArray WriteTrussFile(const TrussModel& model, const SettingsArray& settings);
// Reads a truss image into `model` and `settings` (normally scratch copies); throws ModelError.
void ReadTrussFile(const QByteArray& image, TrussModel& model, SettingsArray& settings);

// The size of a file with every cell empty: 8 + 2 x 17422 bytes.
constexpr qsizetype kEmptyTrussFileSize = 8 + 2 * 17422;

} // namespace ardela
