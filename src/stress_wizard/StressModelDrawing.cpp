// The model drawing routines of Vendel's wizard: layer preparation, the mesh, subdomain,
// constrained-line and load pictures, the arrow geometry and the layer clearing.
#include "stress_wizard/StressModelDrawing.h"

#include <algorithm>

#include <QCoreApplication>

#include "cad/CadError.h"
#include "cad/DrawingLayers.h"
#include "cad/EraseLayers.h"
#include "cad/ProgramLayers.h"
#include "cad/modHelpers.h"

namespace ardela::vendel {

namespace {

using cad::AcadDocument;
using cad::CadError;
using cad::Point3;

// Switches the layer on, thaws and unlocks it, and makes it current.
// A force cell: empty, or a text of blanks only, is no force (as the solver input reads it).
double ForceValue(const Cell& cell)
{
    if (cell.GetKind() == Cell::Kind::Text && cell.TextValue().trimmed().isEmpty())
        return 0.0;
    return cell.ToDouble();
}

// The smallest and largest value of rows 1 to `count` of one gridline column.
struct Extent {
    double low;
    double high;
};

Extent GridExtent(const StressModel& model, int column, int count)
{
    Extent extent{model.GridLines(1, column).ToDouble(), model.GridLines(1, column).ToDouble()};
    for (int i = 2; i <= count; ++i) {
        const double v = model.GridLines(i, column).ToDouble();
        extent.low = std::min(extent.low, v);
        extent.high = std::max(extent.high, v);
    }
    return extent;
}

StressDrawingTarget ProgramTarget()
{
    return {Stress(), Settings(), cad::WorkingDrawing()};
}

} // namespace

void DrawGrid(const StressDrawingTarget& target, bool regenerate)
{
    AcadDocument& document = target.document;
    cad::PrepareLayer(document, cad::kVendelMesh);
    const StressModel& model = target.model;
    if (model.VertCount > 0 && model.HorzCount > 0) {
        const Extent x = GridExtent(model, 1, model.VertCount);
        const Extent y = GridExtent(model, 2, model.HorzCount);
        std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
        for (int i = 1; i <= model.VertCount; ++i) {
            const double xi = model.GridLines(i, 1).ToDouble();
            space->AddLine({xi, y.low, 0.0}, {xi, y.high, 0.0});
        }
        for (int i = 1; i <= model.HorzCount; ++i) {
            const double yi = model.GridLines(i, 2).ToDouble();
            space->AddLine({x.low, yi, 0.0}, {x.high, yi, 0.0});
        }
    }
    cad::FinishDrawing(document, regenerate);
}

void DrawDomains(const StressDrawingTarget& target, bool regenerate)
{
    AcadDocument& document = target.document;
    cad::PrepareLayer(document, cad::kVendelDomains);
    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
    for (int i = 1; i <= target.model.DomainCount; ++i) {
        const double lowX = target.model.Domains(i, 1).ToDouble();
        const double lowY = target.model.Domains(i, 2).ToDouble();
        const double upX = target.model.Domains(i, 3).ToDouble();
        const double upY = target.model.Domains(i, 4).ToDouble();
        space->AddLightWeightPolyline({lowX, lowY, upX, lowY, upX, upY, lowX, upY, lowX, lowY});
    }
    cad::FinishDrawing(document, regenerate);
}

void DrawLines(const StressDrawingTarget& target, bool regenerate)
{
    AcadDocument& document = target.document;
    cad::PrepareLayer(document, cad::kVendelLines);
    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
    for (int i = 1; i <= target.model.LineCount; ++i) {
        const Table<5>& lines = target.model.ConstrainedLines;
        space->AddLine({lines(i, 1).ToDouble(), lines(i, 2).ToDouble(), 0.0},
                       {lines(i, 3).ToDouble(), lines(i, 4).ToDouble(), 0.0});
    }
    cad::FinishDrawing(document, regenerate);
}

void DrawLoads(const StressDrawingTarget& target, bool regenerate)
{
    AcadDocument& document = target.document;
    cad::PrepareLayer(document, cad::kVendelLoads);
    const float size = static_cast<float>(2.0 * target.settings[SetTextHeight].ToSingle());
    const Table<4>& loads = target.model.NodalLoads;
    for (int i = 1; i <= target.model.NodalLoadCount; ++i) {
        const Point3 p{loads(i, 1).ToDouble(), loads(i, 2).ToDouble(), 0.0};
        const double fx = ForceValue(loads(i, 3));
        const double fy = ForceValue(loads(i, 4));
        if (fx > 0.0)
            DrawLoadArrow(document, p, size, ArrowTowardsPlusX, cad::kVendelLoads);
        else if (fx < 0.0)
            DrawLoadArrow(document, p, size, ArrowTowardsMinusX, cad::kVendelLoads);
        if (fy > 0.0)
            DrawLoadArrow(document, p, size, ArrowTowardsPlusY, cad::kVendelLoads);
        else if (fy < 0.0)
            DrawLoadArrow(document, p, size, ArrowTowardsMinusY, cad::kVendelLoads);
    }
    cad::FinishDrawing(document, regenerate);
}

void DrawLoadArrow(AcadDocument& document, const Point3& point, float size, std::int16_t direction,
                   const QString& layer)
{
    const double x = point[0];
    const double y = point[1];
    const double s = size;
    // The two base corners of the head (its apex is the tip) and the tail end.
    Point3 first{}, second{}, tail{};
    switch (direction) {
    case ArrowTowardsMinusX:
        first = {x + 0.4 * s, y - 0.08 * s, 0.0};
        second = {x + 0.4 * s, y + 0.08 * s, 0.0};
        tail = {x + s, y, 0.0};
        break;
    case ArrowTowardsPlusX:
        first = {x - 0.4 * s, y - 0.08 * s, 0.0};
        second = {x - 0.4 * s, y + 0.08 * s, 0.0};
        tail = {x - s, y, 0.0};
        break;
    case ArrowTowardsMinusY:
        first = {x - 0.08 * s, y + 0.4 * s, 0.0};
        second = {x + 0.08 * s, y + 0.4 * s, 0.0};
        tail = {x, y + s, 0.0};
        break;
    case ArrowTowardsPlusY:
        first = {x - 0.08 * s, y - 0.4 * s, 0.0};
        second = {x + 0.08 * s, y - 0.4 * s, 0.0};
        tail = {x, y - s, 0.0};
        break;
    default:
        throw CadError(cad::kInvalidArgument, QStringLiteral("A load arrow points in direction 1 to 4, not %1.").arg(direction));
    }
    document.SetActiveLayer(document.Layers()->Item(layer));
    const Point3 tip{x, y, 0.0};
    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
    space->AddSolid(tip, first, second, second);
    space->AddLine(tip, tail);
}

void ClearMesh(AcadDocument& document)
{
    cad::EraseLayers(document, {cad::kVendelMesh}, cad::EraseFailure::Ignore);
}

void ClearDomains(AcadDocument& document)
{
    cad::EraseLayers(document, {cad::kVendelDomains}, cad::EraseFailure::Ignore);
}

void ClearLines(AcadDocument& document)
{
    cad::EraseLayers(document, {cad::kVendelLines}, cad::EraseFailure::Ignore);
}

void ClearLoads(AcadDocument& document)
{
    cad::EraseLayers(document, {cad::kVendelLoads}, cad::EraseFailure::Throw);
}

void DrawGrid(bool regenerate)
{
    DrawGrid(ProgramTarget(), regenerate);
}

void DrawDomains(bool regenerate)
{
    DrawDomains(ProgramTarget(), regenerate);
}

void DrawLines(bool regenerate)
{
    DrawLines(ProgramTarget(), regenerate);
}

void DrawLoads(bool regenerate)
{
    DrawLoads(ProgramTarget(), regenerate);
}

void ClearMesh()
{
    cad::OnWorkingDrawing(&ClearMesh);
}

void ClearDomains()
{
    cad::OnWorkingDrawing(&ClearDomains);
}

void ClearLines()
{
    cad::OnWorkingDrawing(&ClearLines);
}

void ClearLoads()
{
    ClearLoads(cad::WorkingDrawing());
}

} // namespace ardela::vendel
