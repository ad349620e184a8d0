// Reading a DXF file group by group into a document and its kept records, and writing a
// document read so back with everything it held.
#pragma once

#include <memory>
#include <string>

#include <QByteArray>
#include <QString>

#include "cadhost/engine/DxfRecord.h"

namespace cadhost {

class Document;
struct Entity;

// DXF text: characters beyond ASCII go out as \U+XXXX escapes, control characters in caret
// notation ("^J" a line feed, "^I" a tab) and a caret itself as "^ ", as DXF readers decode them.
std::string ToDxfText(const QString& text);
QString FromDxfText(std::string_view raw);

// Reads the ASCII DXF text into an empty document: the entities of model space become the
// document's (each keeping its record), layers, line types and the text font its tables;
// everything else is kept in the returned source. Throws EngineError for a malformed file.
std::shared_ptr<DxfSource> ReadDxfGroups(const QByteArray& bytes, Document& doc);

// The DXF text of a document read from `source`: its sections in their order, with the
// document's layers, line types, font and entities put in, handles of new records above the
// file's, written in the file's release.
std::string WriteDxfGroups(const Document& doc, const DxfSource& source);

} // namespace cadhost
