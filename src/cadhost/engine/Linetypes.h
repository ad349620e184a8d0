// Line types: reading a ".lin" file and the drawing's table of loaded line types.
#pragma once

#include <vector>

#include <QString>
#include <QStringList>

namespace cadhost {

struct Linetype {
    QString name;
    QString description;
    // Dash lengths in drawing units: positive draws, negative is a gap, 0 is a dot.
    std::vector<double> pattern;
};

// Parses the text of a line type file ("*NAME,description" then "A,.5,-.25,...").
// Throws EngineError naming the line for a malformed definition.
std::vector<Linetype> ParseLinFile(const QString& text, const QString& fileName);

// The drawing's loaded line types; "ByBlock", "ByLayer" and "Continuous" are always present.
class LinetypeTable {
public:
    LinetypeTable();

    int Count() const { return int(m_items.size()); }
    const Linetype& At(int index) const;
    // The loaded line type of that name (any letter case), or nullptr.
    const Linetype* Find(const QString& name) const;
    // Loads `name` from the line type file `fileName`; a bare file name is looked up in the
    // search folders. Fails when the name is already loaded, the file is missing, or it
    // does not define the name.
    void Load(const QString& name, const QString& fileName);
    // Adds a definition directly (used when reading a drawing); replaces one of that name.
    void Define(const Linetype& linetype);

    // Folders where a bare line type file name is looked for, in order.
    static void SetSearchFolders(const QStringList& folders);
    static QStringList SearchFolders();

private:
    std::vector<Linetype> m_items;
};

} // namespace cadhost
