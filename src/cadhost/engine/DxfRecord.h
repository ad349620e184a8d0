// What a drawing file holds, group by group, for what the host keeps without interpreting it.
#pragma once

#include <charconv>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QByteArray>
#include <QString>

#include "cadhost/engine/Geometry.h"
#include "cadhost/engine/LayerTable.h"

namespace cadhost {

// One group: its code and its value as the file spells it.
struct DxfGroup {
    int code = 0;
    std::string value;
};

// The groups of one record: an entity with the records that belong to it (a POLYLINE's
// VERTEX and SEQEND, an INSERT's ATTRIB and SEQEND), a table entry, or a whole section.
struct DxfRecord {
    std::vector<DxfGroup> groups;
};

// Walks the text of a record as the file spelled it, two lines a group ("  0\nLINE\n  5\n1F\n
// ..."), every line ended by a line feed. Comments (group 999) are passed over.
class DxfGroupWalker {
public:
    explicit DxfGroupWalker(std::string_view text) : m_p(text.data()), m_end(text.data() + text.size()) {}
    // The next group; false at the end of the text.
    bool Next(int& code, std::string_view& value)
    {
        for (;;) {
            if (m_p >= m_end)
                return false;
            std::string_view line = Line();
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
                line.remove_prefix(1);
            while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
                line.remove_suffix(1);
            if (!line.empty() && line.front() == '+')
                line.remove_prefix(1);
            code = -1;
            std::from_chars(line.data(), line.data() + line.size(), code);
            value = Line();
            if (code != 999)
                return true;
        }
    }
    // Where the next group's code line starts.
    const char* Position() const { return m_p; }

private:
    std::string_view Line()
    {
        const char* start = m_p;
        while (m_p < m_end && *m_p != '\n')
            ++m_p;
        const std::string_view line(start, std::size_t(m_p - start));
        if (m_p < m_end)
            ++m_p;
        return line;
    }
    const char* m_p;
    const char* m_end;
};

// The groups of a record's text, each value spelled as the file had it.
inline DxfRecord ParseRecord(std::string_view text)
{
    DxfRecord record;
    DxfGroupWalker walk(text);
    int code = 0;
    std::string_view value;
    while (walk.Next(code, value))
        record.groups.push_back(DxfGroup{code, std::string(value)});
    return record;
}

// The value of the record text's first group (its type name, "LINE"), without surrounding blanks.
inline std::string_view RecordType(std::string_view text)
{
    DxfGroupWalker walk(text);
    int code = 0;
    std::string_view value;
    if (!walk.Next(code, value))
        return {};
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    return value;
}

// Visits the groups of the record's own part with their index: up to the first record that
// belongs to it (a VERTEX, an ATTRIB, a SEQEND), leaving out its application groups ({...})
// and its extended data.
template <typename Visit>
void ForOwnGroups(const DxfRecord& record, Visit visit)
{
    int braces = 0;
    for (std::size_t i = 1; i < record.groups.size(); ++i) {
        const DxfGroup& g = record.groups[i];
        if (g.code == 0 || g.code >= 1000)
            return;
        if (g.code == 102) {
            braces += g.value.find('{') != std::string::npos ? 1 : (braces > 0 ? -1 : 0);
            continue;
        }
        if (braces == 0)
            visit(i, g);
    }
}

// As ForOwnGroups, on the text of a record: visit(code, value) for its own groups.
template <typename Visit>
void ForOwnGroups(std::string_view text, Visit visit)
{
    DxfGroupWalker walk(text);
    int code = 0;
    std::string_view value;
    if (!walk.Next(code, value))
        return;
    int braces = 0;
    while (walk.Next(code, value)) {
        if (code == 0 || code >= 1000)
            return;
        if (code == 102) {
            braces += value.find('{') != std::string_view::npos ? 1 : (braces > 0 ? -1 : 0);
            continue;
        }
        if (braces == 0)
            visit(code, value);
    }
}

// A block definition: its base point and its entities' records.
struct DxfBlock {
    Point3 base;
    std::vector<DxfRecord> entities;
};
// Blocks by upper-case name.
using DxfBlocks = std::map<std::string, DxfBlock>;

// A table of the TABLES section: the groups of its head ("0 TABLE" excluded) and its entries.
struct DxfTable {
    std::string name;             // LAYER, LTYPE, ...
    std::vector<DxfGroup> head;
    std::vector<DxfRecord> entries;
    std::string handle;           // the table's own handle, empty in files without handles
};

// A drawing file as read: every section kept in its order, the entities of model space left
// to the document (which holds each with its record), paper space entities kept here.
struct DxfSource {
    // The file's text, every line ended by a line feed alone: the records of model space are
    // kept as views into it (Entity::record), so it lives as long as the document.
    QByteArray text;
    struct Section {
        std::string name;                  // HEADER, CLASSES, TABLES, BLOCKS, ENTITIES, ...
        std::vector<DxfGroup> groups;      // everything between "2 NAME" and ENDSEC
        std::vector<DxfTable> tables;      // TABLES only: its tables
    };
    std::vector<Section> sections;
    std::vector<DxfRecord> paperSpace;    // entities of paper space, written after model space
    // The block definitions as read, for what references draw, show and snap to.
    std::shared_ptr<const DxfBlocks> blocks;
    // Model space entities that own an extension dictionary (their handles): a save leaves out
    // the dictionaries (and what they hold) of those erased since.
    std::vector<std::uint64_t> extensionDictionaryOwners;
    std::string release;                  // $ACADVER: AC1009 (R12) ... AC1032 (R2018)
    bool handles = true;                  // entities carry handles (group 5)
    std::string modelSpaceOwner;          // handle of *Model_Space's block record (R2000 on)
    std::vector<Layer> layersRead;        // layers the document took from the LAYER table, as read
    QString fontRead;                     // the Standard text style's typeface as read
    // Handles a save gives to what the drawing gains start above every handle of the file.
    std::uint64_t firstFreeHandle = 1;
    // True from release R2000 (AC1015) on: subclass markers and owners are written.
    bool Modern() const { return release >= "AC1015"; }
};

} // namespace cadhost
