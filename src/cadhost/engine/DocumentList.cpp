// The host's open documents.
#include "cadhost/engine/DocumentList.h"

#include <QFileInfo>

#include "cadhost/engine/DxfFile.h"
#include "cadhost/engine/EngineError.h"

namespace cadhost {

Document& DocumentList::Item(int index)
{
    if (index < 0 || index >= Count())
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("There is no document %1.").arg(index));
    return *m_docs[std::size_t(index)];
}

int DocumentList::IndexOf(const Document* doc) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_docs[std::size_t(i)].get() == doc)
            return i;
    return -1;
}

Document& DocumentList::Add()
{
    m_docs.push_back(std::make_unique<Document>(QStringLiteral("Drawing%1.dxf").arg(m_nextNumber++)));
    m_active = m_docs.back().get();
    return *m_active;
}

Document& DocumentList::Open(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    m_lastSkipped = 0;
    for (auto& d : m_docs)
        if (!d->FullName().isEmpty() && d->FullName() == full) {
            m_active = d.get();
            return *d;
        }
    auto doc = std::make_unique<Document>(QFileInfo(path).fileName());
    m_lastSkipped = DxfFile::Read(full, *doc);
    m_docs.push_back(std::move(doc));
    m_active = m_docs.back().get();
    return *m_active;
}

void DocumentList::Close(Document* doc)
{
    const int index = IndexOf(doc);
    if (index < 0)
        throw EngineError(ErrorKind::Gone, QStringLiteral("The document is already closed."));
    m_docs.erase(m_docs.begin() + index);
    if (m_active == doc)
        m_active = m_docs.empty() ? nullptr : m_docs[std::size_t(std::max(0, index - 1))].get();
}

void DocumentList::SetActive(Document* doc)
{
    if (IndexOf(doc) < 0)
        throw EngineError(ErrorKind::Gone, QStringLiteral("The document is closed."));
    m_active = doc;
}

} // namespace cadhost
