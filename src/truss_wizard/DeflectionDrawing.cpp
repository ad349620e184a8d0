// The deflected shape and the support reactions of a solved truss, drawn into the drawing.
#include "truss_wizard/DeflectionDrawing.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "cad/DrawingLayers.h"
#include "desktop/Error.h"
#include "desktop/ExtraSettings.h"
#include "desktop/modLocale.h"
#include "truss/TrussModel.h"
#include "truss_wizard/ResultDrawing.h"

namespace ardela {

namespace {

using cad::Point3;

int StoredColour(const QString& key, int fallback)
{
    bool ok = false;
    const int colour = ReadExtraSetting(key, QString::number(fallback)).trimmed().toInt(&ok);
    return ok && colour >= 1 && colour <= 255 ? colour : fallback;
}

int NodeOf(const TrussModel& model, const Cell& cell, const char* what, int row)
{
    const int n = cell.ToInt16();
    if (n < 1 || n > model.NodeCount)
        throw ModelError(QStringLiteral("%1 %2 names node %3; the model has nodes 1 to %4")
                             .arg(QLatin1String(what)).arg(row).arg(n).arg(model.NodeCount));
    return n;
}

// The tail-side text anchor of an arrow and the alignment that keeps the text clear of it.
struct LabelPlace {
    Point3 point;
    std::int16_t alignment;
};

LabelPlace ReactionLabelPlace(const ReactionArrow& arrow, double height)
{
    const double dx = arrow.rx / arrow.magnitude;
    const double dy = arrow.ry / arrow.magnitude;
    const Point3 at{arrow.tail[0] - 0.5 * height * dx, arrow.tail[1] - 0.5 * height * dy, 0.0};
    // Alignments: 11 middle right, 9 middle left, 7 top centre, 13 bottom centre.
    if (std::abs(dx) >= std::abs(dy))
        return {at, std::int16_t(dx > 0.0 ? 11 : 9)};
    return {at, std::int16_t(dy > 0.0 ? 7 : 13)};
}

void DrawArrow(cad::AcadModelSpace& space, const ReactionArrow& arrow, double symbol)
{
    // The head as the load arrows have it: 0.4 s long and 0.16 s wide, its apex on the node.
    const double dx = arrow.rx / arrow.magnitude;
    const double dy = arrow.ry / arrow.magnitude;
    const Point3& p = arrow.head;
    const Point3 base{p[0] - 0.4 * symbol * dx, p[1] - 0.4 * symbol * dy, 0.0};
    const Point3 b{base[0] + 0.08 * symbol * dy, base[1] - 0.08 * symbol * dx, 0.0};
    const Point3 c{base[0] - 0.08 * symbol * dy, base[1] + 0.08 * symbol * dx, 0.0};
    space.AddSolid(p, b, c, c);
    space.AddLine(arrow.tail, p);
}

cad::AcadLayerPtr PrepareLayer(cad::AcadDocument& document, const QString& name, int colour, const QString& lineType)
{
    cad::AcadLayerPtr layer = document.Layers()->Add(name);
    layer->SetLinetype(lineType);
    layer->SetColor(colour);
    return layer;
}

} // namespace

int DeformedLayerColour()
{
    return StoredColour(kDeformedColourKey, kDeformedColourDefault);
}

int ReactionsLayerColour()
{
    return StoredColour(kReactionsColourKey, kReactionsColourDefault);
}

DeformedShape ComputeDeformedShape(const TrussModel& model)
{
    DeformedShape shape;
    const int count = std::clamp<int>(model.NodeCount, 0, kTableRows);
    shape.nodes.assign(static_cast<std::size_t>(count) + 1, {0.0, 0.0});
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    for (int n = 1; n <= count; ++n) {
        const double x = model.Nodes(n, 1).ToDouble();
        const double y = model.Nodes(n, 2).ToDouble();
        xmin = n == 1 ? x : std::min(xmin, x);
        xmax = n == 1 ? x : std::max(xmax, x);
        ymin = n == 1 ? y : std::min(ymin, y);
        ymax = n == 1 ? y : std::max(ymax, y);
        const double ux = model.Displacements[static_cast<std::size_t>(2 * n - 2)];
        const double uy = model.Displacements[static_cast<std::size_t>(2 * n - 1)];
        shape.largest = std::max(shape.largest, std::hypot(ux, uy));
    }
    shape.size = std::max(xmax - xmin, ymax - ymin);
    if (shape.largest > 0.0 && shape.size > 0.0)
        shape.scale = shape.size / 20.0 / shape.largest;
    for (int n = 1; n <= count; ++n) {
        // Entry 2n is the vertical displacement positive downward: the drawing's y goes up.
        const double ux = model.Displacements[static_cast<std::size_t>(2 * n - 2)];
        const double uy = -double(model.Displacements[static_cast<std::size_t>(2 * n - 1)]);
        shape.nodes[static_cast<std::size_t>(n)] = {model.Nodes(n, 1).ToDouble() + shape.scale * ux,
                                                    model.Nodes(n, 2).ToDouble() + shape.scale * uy};
    }
    return shape;
}

QString DeformedScaleText(const DeformedShape& shape)
{
    if (!(shape.largest > 0.0) || !(shape.size > 0.0))
        return QStringLiteral("Deformed shape: no displacement");
    // Four significant digits.
    const int magnitude = int(std::floor(std::log10(shape.scale)));
    const int decimals = std::clamp(3 - magnitude, 0, 12);
    return QStringLiteral("Deformed shape, displacements x %1").arg(FormatFixed(shape.scale, decimals));
}

std::vector<ReactionArrow> ComputeReactionArrows(const TrussModel& model, double textHeight)
{
    std::vector<ReactionArrow> arrows;
    std::set<int> seen;
    const double length = 4.0 * textHeight;
    for (int b = 1; b <= model.BlockCount; ++b) {
        const int node = NodeOf(model, model.Blocks(b, 1), "support row", b);
        if (!seen.insert(node).second)
            continue;
        ReactionArrow arrow;
        arrow.node = node;
        arrow.rx = model.Blocks(b, 4).ToDouble();
        arrow.ry = model.Blocks(b, 5).ToDouble();
        arrow.magnitude = std::hypot(arrow.rx, arrow.ry);
        arrow.head = {model.Nodes(node, 1).ToDouble(), model.Nodes(node, 2).ToDouble(), 0.0};
        arrow.tail = arrow.head;
        if (arrow.magnitude >= 0.0005) {
            arrow.tail[0] -= length * arrow.rx / arrow.magnitude;
            arrow.tail[1] -= length * arrow.ry / arrow.magnitude;
        }
        arrows.push_back(arrow);
    }
    return arrows;
}

QString ReactionText(const ReactionArrow& arrow)
{
    return FormatFixed(arrow.magnitude, 3) + QStringLiteral(" daN");
}

void DrawDeflectionAndReactions(const TrussModel& model, const SettingsArray& settings, cad::AcadDocument& document)
{
    const bool colour = settings[SetColor].ToBool();
    const double height = settings[SetTextHeight].ToDouble();
    const DeformedShape shape = ComputeDeformedShape(model);
    const std::vector<ReactionArrow> arrows = ComputeReactionArrows(model, height);

    if (!colour)
        cad::EnsureLineType(document, QStringLiteral("PHANTOM"));
    cad::AcadLayerPtr deformed = PrepareLayer(document, kDeformedLayer, colour ? DeformedLayerColour() : 7,
                                              colour ? QStringLiteral("Continuous") : QStringLiteral("PHANTOM"));
    cad::AcadLayerPtr reactions = PrepareLayer(document, kReactionsLayer, colour ? ReactionsLayerColour() : 7,
                                               QStringLiteral("Continuous"));
    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();

    document.SetActiveLayer(deformed);
    double top = 0.0;
    double left = 0.0;
    for (int n = 1; n < static_cast<int>(shape.nodes.size()); ++n) {
        const double x = std::min(shape.nodes[static_cast<std::size_t>(n)][0], model.Nodes(n, 1).ToDouble());
        const double y = std::max(shape.nodes[static_cast<std::size_t>(n)][1], model.Nodes(n, 2).ToDouble());
        left = n == 1 ? x : std::min(left, x);
        top = n == 1 ? y : std::max(top, y);
    }
    for (int e = 1; e <= model.ElementCount; ++e) {
        const auto& p1 = shape.nodes[static_cast<std::size_t>(NodeOf(model, model.Elements(e, 1), "bar", e))];
        const auto& p2 = shape.nodes[static_cast<std::size_t>(NodeOf(model, model.Elements(e, 2), "bar", e))];
        space->AddLine({p1[0], p1[1], 0.0}, {p2[0], p2[1], 0.0});
    }
    if (model.NodeCount > 0) {
        // Above the truss and its load arrows (2 text heights long), left-aligned with it.
        space->AddText(DeformedScaleText(shape), {left, top + 3.0 * height, 0.0}, height);
    }

    document.SetActiveLayer(reactions);
    for (const ReactionArrow& arrow : arrows) {
        if (arrow.tail == arrow.head) {
            space->AddText(ReactionText(arrow), arrow.head, height);
            continue;
        }
        DrawArrow(*space, arrow, 2.0 * height);
        const LabelPlace place = ReactionLabelPlace(arrow, height);
        cad::AcadEntityPtr label = space->AddText(ReactionText(arrow), place.point, height);
        label->SetAlignment(place.alignment);
        label->SetTextAlignmentPoint(place.point);
    }
}

QStringList AllResultLayers()
{
    return {kPlusLayer, kMinusLayer, kDeformedLayer, kReactionsLayer};
}

} // namespace ardela
