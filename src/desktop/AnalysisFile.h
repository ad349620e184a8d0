// The analysis files of both wizards, whatever their layout: the kinds, the open and save
// dialogs, the safe read and write.
#pragma once

#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QString>

namespace ardela {

// One kind of analysis file: its dialog texts, the model's file identity, and its layout.
struct AnalysisFileKind {
    QString openTitle;   // "Open a Korrin file"
    QString filter;      // "Korrin File (*.krn)|*.krn|All Files (*.*)|*.*"
    QString extension;   // "krn"
    QString* path = nullptr;   // the model's AnalysisPath
    QString* title = nullptr;  // the model's AnalysisTitle
    // Reads a whole file image into scratch storage and returns the action that installs it in
    // the live model; throws ModelError when the image is not a complete, valid file.
    std::function<std::function<void()>(const QByteArray&)> parse;
    // The file image of the live model; throws ModelError when a value cannot be stored.
    std::function<QByteArray()> serialize;
};

// Reads the file at `path` into the model of `kind` and makes it the model's file. Only a
// complete, valid file replaces the model, its settings and its file identity; otherwise throws
// ModelError naming the file and what is wrong, and everything stays as it was.
void ReadAnalysisFile(const AnalysisFileKind& kind, const QString& path);
// Writes the model of `kind` to `path` and makes it the model's file. The file is replaced only
// once the whole image was written; otherwise throws ModelError and the old file stays.
void WriteAnalysisFile(const AnalysisFileKind& kind, const QString& path);

// Lets the user choose a file and reads it. Only a complete, valid file replaces the model, its
// settings and its file identity; any failure shows "Could not open analysis file" and leaves
// everything as it was. False when cancelled (no message) or failed.
bool OpenAnalysisFile(const AnalysisFileKind& kind);
// Writes the model to its file, asking for a name first when it has none. The file is replaced
// only when the whole image was written. False when cancelled (no message) or failed.
bool SaveAnalysisFile(const AnalysisFileKind& kind);

// The file of `kind` over the program-wide model and settings. Each program that calls the
// program-wide routines below defines it for the kinds it knows, so a program links only the
// models of its own kinds.
AnalysisFileKind ProgramFileKind(std::int16_t kind);
// The program-wide routines over the kinds of file the program knows.
inline bool OpenAnalysisFile(std::int16_t kind) { return OpenAnalysisFile(ProgramFileKind(kind)); }
inline bool SaveAnalysisFile(std::int16_t kind) { return SaveAnalysisFile(ProgramFileKind(kind)); }

// True when `image` reads whole as `counts` table counts (each within 0..1024) followed by
// exactly `records` cell records: how a file of another kind is told by its layout alone.
bool ReadsAsRecords(const QByteArray& image, int counts, qsizetype records);

// The fixed message of a failed open or save.
QString AnalysisFileFailureMessage();

} // namespace ardela
