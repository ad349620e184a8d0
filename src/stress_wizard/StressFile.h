// The plane-stress analysis file (kind 1, "*.vdl"): counts, four tables, the 14 settings.
#pragma once

#include <QByteArray>

#include "desktop/AnalysisFile.h"
#include "desktop/Settings.h"

namespace ardela {

struct StressModel;

// The file image: the five counts, then every table whole (1024 rows, column by column) and
// the settings, as cell records. Throws ModelError when a value cannot be stored.
QByteArray WriteStressFile(const StressModel& model, const SettingsArray& settings);
// Reads an image into `model` and `settings` (normally scratch copies); throws ModelError when
// the image is not one complete file.
void ReadStressFile(const QByteArray& image, StressModel& model, SettingsArray& settings);

// The size of a file with every cell empty: 10 + 2 x 18446 bytes.
constexpr qsizetype kEmptyStressFileSize = 10 + 2 * 18446;

// Kind 1 over the given model and settings; only a complete, valid file replaces them.
AnalysisFileKind StressFileKind(StressModel& model, SettingsArray& settings);

} // namespace ardela
