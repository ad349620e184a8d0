// The drawing's layer table: colour index, line type, on/frozen/locked; layer "0" always present.
#pragma once

#include <vector>

#include <QString>

namespace cadhost {

struct Layer {
    QString name;
    int color = 7;                     // colour index 1..255
    QString linetype = QStringLiteral("Continuous");
    bool on = true;
    bool frozen = false;
    bool locked = false;
    bool Visible() const { return on && !frozen; }
};

// Layer names are compared without regard to letter case. The rules that need the rest of
// the drawing (the active layer, layers holding entities) are enforced by Document.
class LayerTable {
public:
    LayerTable();

    int Count() const { return int(m_items.size()); }
    Layer& At(int index);
    const Layer& At(int index) const;
    // Index of the layer of that name (any letter case), or -1.
    int IndexOf(const QString& name) const;
    Layer* Find(const QString& name);
    const Layer* Find(const QString& name) const;
    // Adds a layer, or returns the existing one of that name. Throws for an invalid name.
    Layer& Add(const QString& name);
    // Removes the layer at index; layer "0" cannot be removed.
    void RemoveAt(int index);

    // True for a name a layer may carry: not empty, at most 255 characters, none of <>/\":;?*|=`
    static bool IsValidName(const QString& name);

private:
    std::vector<Layer> m_items;
};

} // namespace cadhost
