// What a drawing file holds, group by group, for what the host keeps without interpreting it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QString>

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
    struct Section {
        std::string name;                  // HEADER, CLASSES, TABLES, BLOCKS, ENTITIES, ...
        std::vector<DxfGroup> groups;      // everything between "2 NAME" and ENDSEC
        std::vector<DxfTable> tables;      // TABLES only: its tables
    };
    std::vector<Section> sections;
    std::vector<DxfRecord> paperSpace;    // entities of paper space, written after model space
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
