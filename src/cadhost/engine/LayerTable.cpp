// The layer table: names compared without regard to case, layer "0" always first.
#include "cadhost/engine/LayerTable.h"

#include "cadhost/engine/EngineError.h"

namespace cadhost {

LayerTable::LayerTable()
{
    m_items.push_back(Layer{QStringLiteral("0")});
}

Layer& LayerTable::At(int index)
{
    if (index < 0 || index >= Count())
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("Layer index %1 is out of range.").arg(index));
    return m_items[std::size_t(index)];
}

const Layer& LayerTable::At(int index) const
{
    return const_cast<LayerTable*>(this)->At(index);
}

int LayerTable::IndexOf(const QString& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_items[std::size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

Layer* LayerTable::Find(const QString& name)
{
    const int i = IndexOf(name);
    return i < 0 ? nullptr : &m_items[std::size_t(i)];
}

const Layer* LayerTable::Find(const QString& name) const
{
    return const_cast<LayerTable*>(this)->Find(name);
}

Layer& LayerTable::Add(const QString& name)
{
    if (Layer* existing = Find(name))
        return *existing;
    if (!IsValidName(name))
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("\"%1\" is not a valid layer name.").arg(name));
    m_items.push_back(Layer{name});
    return m_items.back();
}

void LayerTable::RemoveAt(int index)
{
    if (index == 0)
        throw EngineError(QStringLiteral("Layer \"0\" cannot be deleted."));
    At(index);
    m_items.erase(m_items.begin() + index);
}

bool LayerTable::IsValidName(const QString& name)
{
    if (name.trimmed().isEmpty() || name.size() > 255)
        return false;
    static const QString forbidden = QStringLiteral("<>/\\\":;?*|=`,");
    for (QChar c : name)
        if (forbidden.contains(c) || c.unicode() < 32)
            return false;
    return true;
}

} // namespace cadhost
