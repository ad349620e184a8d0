// Reading and writing drawings as DXF; the only place that knows dxflib (new drawings' writer).
#pragma once

#include <QString>
#include <QtGlobal>

namespace cadhost {

class Document;

class DxfFile {
public:
    // The largest drawing Read takes (512 MiB): the text and the document built from it fit
    // several times into the memory of an engineer's machine.
    static constexpr qint64 kMaxDrawingBytes = 512LL * 1024 * 1024;

    // Reads a DXF file (releases R12 to R2018) into an empty document: the entities of model
    // space, layers, line types and the text font; everything else (other tables, blocks,
    // objects, paper space, header, unknown groups) is kept as the document's Source. Returns
    // how many objects were left out: none. Throws EngineError for a missing,
    // unreadable, DWG or malformed file, for what is not a regular file and for a file larger
    // than kMaxDrawingBytes, the last two before anything is read.
    static int Read(const QString& path, Document& doc);
    // Writes the document: one read from a file in that file's release with all it held, a new
    // one as DXF release 12 (read by every CAD program); the old file stays intact when writing
    // fails (EngineError).
    static void Write(const Document& doc, const QString& path);
};

// Saving a document under a path: a ".dwg" name is saved as DXF under the same name with
// ".dxf", and the document takes the name it was saved under. Returns the path written.
QString SaveDocument(Document& doc, const QString& path);
// Saves the document under its FullName; fails for a drawing that has never been saved.
void SaveDocument(Document& doc);

} // namespace cadhost
