// The host's open documents: new drawings named "Drawing1.dxf", "Drawing2.dxf"..., opening
// and closing, and the active one.
#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "cadhost/engine/Document.h"

namespace cadhost {

class DocumentList {
public:
    int Count() const { return int(m_docs.size()); }
    Document& Item(int index);
    int IndexOf(const Document* doc) const;
    // A new empty drawing, named with the next number; it becomes active.
    Document& Add();
    // Opens a DXF file (a DWG or unreadable file fails with EngineError); it becomes active.
    // A file already open is made active instead of being opened twice.
    Document& Open(const QString& path);
    // How many objects the last Open left out (kinds the host does not keep).
    int LastOpenSkipped() const { return m_lastSkipped; }
    // Removes the document (no saving); the last one before it becomes active.
    void Close(Document* doc);
    Document* Active() const { return m_active; }
    void SetActive(Document* doc);

private:
    std::vector<std::unique_ptr<Document>> m_docs;
    Document* m_active = nullptr;
    int m_nextNumber = 1;
    int m_lastSkipped = 0;
};

} // namespace cadhost
