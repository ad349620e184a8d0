// The model drawing routines of Korrin's wizard: layer preparation, the node, bar, support and
// load pictures, the symbol geometry and the layer clearing.
#include "truss_wizard/ModelDrawing.h"

#include <cmath>
#include <limits>

#include <QCoreApplication>

#include "cad/CadError.h"
#include "cad/DrawingLayers.h"
#include "cad/EraseLayers.h"
#include "cad/modHelpers.h"

namespace ardela {

namespace {

using cad::AcadDocument;
using cad::CadError;
using cad::Point3;

constexpr double kPi = 3.14159265358979;

// The node `node` (a cell holding a node number) as a drawing point; ModelError when the number
// or the coordinates are not usable.
Point3 NodePoint(const TrussModel& model, const Cell& node)
{
    const int row = node.ToInt16();
    return {model.Nodes(row, 1).ToDouble(), model.Nodes(row, 2).ToDouble(), 0.0};
}

// Switches the layer on, thaws and unlocks it, and makes it current.
// The text height of the settings, and the symbol size derived from it.
double TextHeight(const SettingsArray& settings)
{
    return settings[SetTextHeight].ToDouble();
}

float SymbolSize(const SettingsArray& settings)
{
    return static_cast<float>(2.0 * TextHeight(settings));
}

ModelDrawingTarget ProgramTarget()
{
    return {Truss(), Settings(), cad::WorkingDrawing()};
}

} // namespace

void DrawNodes(const ModelDrawingTarget& target, bool regenerate)
{
    AcadDocument& document = target.document;
    cad::PrepareLayer(document, kNodesLayer);
    const double h = TextHeight(target.settings);
    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
    for (int i = 1; i <= target.model.NodeCount; ++i) {
        const Point3 p{target.model.Nodes(i, 1).ToDouble(), target.model.Nodes(i, 2).ToDouble(), 0.0};
        cad::AcadEntityPtr point = space->AddPoint(p);
        point->Update();
        const std::int64_t id = point->ObjectID();
        // Picking maps points back to nodes by this number: a truncated one would find the wrong node.
        if (id < std::numeric_limits<std::int32_t>::min() || id > std::numeric_limits<std::int32_t>::max())
            throw CadError(cad::kHostFailed, QStringLiteral("The ObjectID %1 does not fit the Nodes table.").arg(id));
        target.model.Nodes(i, 3) = Cell(static_cast<std::int32_t>(id));
        cad::AcadEntityPtr label = space->AddText(QString::number(i), p, h);
        label->Update();
    }
    cad::FinishDrawing(document, regenerate);
}

void DrawElements(const ModelDrawingTarget& target, bool regenerate)
{
    AcadDocument& document = target.document;
    cad::PrepareLayer(document, kBeamsLayer);
    const double h = TextHeight(target.settings);
    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
    for (int i = 1; i <= target.model.ElementCount; ++i) {
        const Point3 p1 = NodePoint(target.model, target.model.Elements(i, 1));
        const Point3 p2 = NodePoint(target.model, target.model.Elements(i, 2));
        space->AddLine(p1, p2)->Update();
        // The number reads along the bar, its top centre on the midpoint, never upside down.
        const double dx = p2[0] - p1[0];
        const double dy = p2[1] - p1[1];
        double angle = 0.0;
        if (dx != 0.0)
            angle = std::atan(dy / dx);
        else
            angle = (dy > 0.0 ? 1.0 : dy < 0.0 ? -1.0 : 0.0) * kPi / 2.0;
        cad::AcadEntityPtr label = space->AddText(QString::number(i), p1, h);
        label->SetAlignment(7);
        label->SetTextAlignmentPoint({(p1[0] + p2[0]) / 2.0, (p1[1] + p2[1]) / 2.0, 0.0});
        label->SetRotation(angle);
        label->Update();
    }
    cad::FinishDrawing(document, regenerate);
}

void DrawBlocks(const ModelDrawingTarget& target, bool regenerate)
{
    AcadDocument& document = target.document;
    cad::PrepareLayer(document, kBlocksLayer);
    const float s = SymbolSize(target.settings);
    for (int i = 1; i <= target.model.BlockCount; ++i) {
        const Point3 p = NodePoint(target.model, target.model.Blocks(i, 1));
        if (target.model.Blocks(i, 2).NumericEquals(1.0))
            DrawSymbol(document, p, s, SymbolTowardsPlusX, kBlocksLayer, false);
        if (target.model.Blocks(i, 3).NumericEquals(1.0))
            DrawSymbol(document, p, s, SymbolTowardsPlusY, kBlocksLayer, false);
    }
    cad::FinishDrawing(document, regenerate);
}

void DrawLoads(const ModelDrawingTarget& target, bool regenerate)
{
    AcadDocument& document = target.document;
    cad::PrepareLayer(document, kLoadsLayer);
    const float s = SymbolSize(target.settings);
    for (int i = 1; i <= target.model.LoadCount; ++i) {
        const Point3 p = NodePoint(target.model, target.model.Loads(i, 1));
        const double fx = target.model.Loads(i, 2).ToDouble();
        const double fy = target.model.Loads(i, 3).ToDouble();
        if (fx > 0.0)
            DrawSymbol(document, p, s, SymbolTowardsPlusX, kLoadsLayer, true);
        else if (fx < 0.0)
            DrawSymbol(document, p, s, SymbolTowardsMinusX, kLoadsLayer, true);
        if (fy < 0.0)
            DrawSymbol(document, p, s, SymbolTowardsMinusY, kLoadsLayer, true);
        else if (fy > 0.0)
            DrawSymbol(document, p, s, SymbolTowardsPlusY, kLoadsLayer, true);
    }
    cad::FinishDrawing(document, regenerate);
}

void DrawSymbol(AcadDocument& document, const Point3& point, float size, std::int16_t direction,
                const QString& layer, bool isLoad)
{
    const double x = point[0];
    const double y = point[1];
    const double s = size;
    // Corners B and C of the triangle whose apex is the node, and the tail D of a load arrow.
    Point3 b{}, c{}, d{};
    if (isLoad) {
        switch (direction) {
        case SymbolTowardsMinusX:
            b = {x + 0.4 * s, y - 0.08 * s, 0.0};
            c = {x + 0.4 * s, y + 0.08 * s, 0.0};
            d = {x + s, y, 0.0};
            break;
        case SymbolTowardsPlusX:
            b = {x - 0.4 * s, y - 0.08 * s, 0.0};
            c = {x - 0.4 * s, y + 0.08 * s, 0.0};
            d = {x - s, y, 0.0};
            break;
        case SymbolTowardsMinusY:
            b = {x - 0.08 * s, y + 0.4 * s, 0.0};
            c = {x + 0.08 * s, y + 0.4 * s, 0.0};
            d = {x, y + s, 0.0};
            break;
        case SymbolTowardsPlusY:
            b = {x - 0.08 * s, y - 0.4 * s, 0.0};
            c = {x + 0.08 * s, y - 0.4 * s, 0.0};
            d = {x, y - s, 0.0};
            break;
        default:
            throw CadError(cad::kInvalidArgument, QStringLiteral("A load points in direction 1 to 4."));
        }
    } else {
        switch (direction) {
        case SymbolTowardsPlusX:
            b = {x - 0.22 * s, y - 0.08 * s, 0.0};
            c = {x - 0.22 * s, y + 0.08 * s, 0.0};
            break;
        case SymbolTowardsPlusY:
            b = {x - 0.08 * s, y - 0.22 * s, 0.0};
            c = {x + 0.08 * s, y - 0.22 * s, 0.0};
            break;
        default:
            throw CadError(cad::kInvalidArgument, QStringLiteral("A support holds direction 2 or 4."));
        }
    }
    document.SetActiveLayer(document.Layers()->Item(layer));
    const Point3 p{x, y, 0.0};
    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
    space->AddSolid(p, b, c, c);
    if (isLoad)
        space->AddLine(p, d);
}

void ClearNodes(AcadDocument& document)
{
    cad::EraseLayers(document, {kNodesLayer}, cad::EraseFailure::Ignore);
}

void ClearBeams(AcadDocument& document)
{
    cad::EraseLayers(document, {kBeamsLayer}, cad::EraseFailure::Ignore);
}

void ClearBlocks(AcadDocument& document)
{
    cad::EraseLayers(document, {kBlocksLayer}, cad::EraseFailure::Ignore);
}

void ClearLoads(AcadDocument& document)
{
    cad::EraseLayers(document, {kLoadsLayer}, cad::EraseFailure::Ignore);
}

void DrawNodes(bool regenerate)
{
    DrawNodes(ProgramTarget(), regenerate);
}

void DrawElements(bool regenerate)
{
    DrawElements(ProgramTarget(), regenerate);
}

void DrawBlocks(bool regenerate)
{
    DrawBlocks(ProgramTarget(), regenerate);
}

void DrawLoads(bool regenerate)
{
    DrawLoads(ProgramTarget(), regenerate);
}

void ClearNodes()
{
    cad::OnWorkingDrawing(&ClearNodes);
}

void ClearBeams()
{
    cad::OnWorkingDrawing(&ClearBeams);
}

void ClearBlocks()
{
    cad::OnWorkingDrawing(&ClearBlocks);
}

void ClearLoads()
{
    cad::OnWorkingDrawing(&ClearLoads);
}

} // namespace ardela
