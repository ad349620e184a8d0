// Invariants every drawing must keep after any edit, checked by the engine tests.
#pragma once

#include <set>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfFile.h"

namespace cadhost::test {

// Reads an ENTITIES section (and optional BLOCKS) laid out by hand into a document.
inline void ReadLaid(Document& doc, const QTemporaryDir& dir, const char* entities, const char* blocks = "")
{
    const QByteArray file = QByteArray("  0\nSECTION\n  2\nBLOCKS\n") + blocks + "  0\nENDSEC\n"
        + "  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n";
    QFile f(dir.filePath("laid.dxf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    DxfFile::Read(f.fileName(), doc);
}

inline void ExpectDocumentConsistent(const Document& doc)
{
    ASSERT_GE(doc.Layers().Count(), 1);
    EXPECT_EQ(doc.Layers().At(0).name, QStringLiteral("0"));
    const Layer* active = doc.Layers().Find(doc.ActiveLayer());
    ASSERT_NE(active, nullptr) << "the active layer is missing";
    EXPECT_FALSE(active->frozen) << "the active layer is frozen";
    std::set<QString> names;
    for (int i = 0; i < doc.Layers().Count(); ++i)
        EXPECT_TRUE(names.insert(doc.Layers().At(i).name.toLower()).second) << "two layers share a name";
    std::set<ObjectId> ids;
    std::size_t count = 0;
    doc.ForEachEntity([&](const Entity& e) {
        ++count;
        EXPECT_TRUE(ids.insert(e.id).second) << "ObjectID used twice";
        EXPECT_NE(doc.Layers().Find(e.layer), nullptr) << "entity on a missing layer";
        EXPECT_EQ(doc.Find(e.id), &e);
    });
    EXPECT_EQ(count, doc.EntityCount());
    // The spatial index holds exactly the live entities that have extents (kinds kept but not
    // drawn have none).
    std::size_t placed = 0;
    doc.ForEachEntity([&](const Entity& e) { placed += doc.Bounds(e).IsEmpty() ? 0 : 1; });
    // The extents the drawing keeps up are those of its entities, gathered afresh.
    Box2 gathered;
    doc.ForEachEntity([&](const Entity& e) { gathered.Add(doc.Bounds(e)); });
    const Box2 kept = doc.Extents();
    EXPECT_EQ(kept.IsEmpty(), gathered.IsEmpty()) << "the extents kept and the entities' disagree on being empty";
    if (!kept.IsEmpty() && !gathered.IsEmpty()) {
        EXPECT_TRUE(kept.minX == gathered.minX && kept.minY == gathered.minY && kept.maxX == gathered.maxX
                    && kept.maxY == gathered.maxY)
            << "the extents kept (" << kept.minX << ", " << kept.minY << ") - (" << kept.maxX << ", " << kept.maxY
            << ") are not the entities' (" << gathered.minX << ", " << gathered.minY << ") - (" << gathered.maxX << ", "
            << gathered.maxY << ")";
    }
    if (placed > 0) {
        Box2 all = doc.Extents();
        std::size_t indexed = 0;
        doc.ForEachEntityIn(all, [&](const Entity&) { ++indexed; });
        EXPECT_EQ(indexed, placed);
    }
}

} // namespace cadhost::test
