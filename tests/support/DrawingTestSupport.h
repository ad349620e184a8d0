// What the drawing tests share: a real drawing host on a private socket with a fresh drawing,
// a recorder of ShowMessage, and a plain reader of the DXF files the host saves.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cad/AcadObjects.h"
#include "support/HostProcess.h"
#include "desktop/modMessage.h"

namespace ardela::test {

// One entity of a DXF file: its type, its layer and every group value after the type (a code
// may repeat, so all values are kept in order).
struct DxfEntity {
    QString type;
    QString layer;
    std::multimap<int, QString> codes;
    double Number(int code) const;
    QString Text(int code) const;
};

// The entities of a DXF file.
struct DxfContents {
    std::vector<DxfEntity> entities;
    std::vector<DxfEntity> OnLayer(const QString& layer, const QString& type = QString()) const;
};

// Runs `call` and returns the automation code it failed with, 0 when it did not fail.
template <typename Call>
std::uint32_t FailureCode(Call&& call)
{
    try {
        call();
    } catch (const cad::CadError& error) {
        return error.Code();
    }
    return 0;
}

// Reads the group code / value pairs of a DXF file; fails the test when it cannot.
DxfContents ReadDxf(const QString& path);

// A drawing host of its own for every test, with a new drawing and a temporary folder.
class DrawingHostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Saves the drawing as DXF in the temporary folder and reads it back.
    DxfContents SavedDrawing();
    // The entities on `layer` (optionally of one DXF type, "LINE", "TEXT", ...) through a
    // selection set of the host.
    std::vector<cad::AcadEntityPtr> Selected(const QString& layer, const QString& type = QString());

    QTemporaryDir m_dir;
    HostProcess m_host;
    cad::AcadApplicationPtr m_app;
    cad::AcadDocumentPtr m_doc;
    int m_saves = 0;
};

} // namespace ardela::test
