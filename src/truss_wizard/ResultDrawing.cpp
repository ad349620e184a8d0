// DrawResults and ClearResults: the solved truss drawn back into the drawing.
#include "truss_wizard/ResultDrawing.h"

#include <cmath>

#include <QCoreApplication>


#include "cad/CadError.h"
#include "cad/DrawingLayers.h"
#include "cad/EraseLayers.h"
#include "desktop/Error.h"
#include "cad/modHelpers.h"
#include "desktop/modLocale.h"
#include "desktop/modMessage.h"
#include "truss_wizard/DeflectionDrawing.h"

namespace ardela {

namespace {

using cad::AcadDocument;
using cad::CadError;
using cad::Point3;

constexpr double kPi = 3.14159265358979;

// The label angle of a bar: along the bar, between -pi/2 and pi/2, so it never reads upside down.
double LabelAngle(const Point3& p1, const Point3& p2)
{
    const double dx = p2[0] - p1[0];
    const double dy = p2[1] - p1[1];
    if (dx != 0.0)
        return std::atan(dy / dx);
    return (dy > 0.0 ? 1.0 : dy < 0.0 ? -1.0 : 0.0) * kPi / 2.0;
}

Point3 NodePoint(const TrussModel& model, const Cell& node)
{
    const int row = node.ToInt16();
    return {model.Nodes(row, 1).ToDouble(), model.Nodes(row, 2).ToDouble(), 0.0};
}

void ProcessEvents()
{
    QCoreApplication::processEvents();
}

// The body of DrawResults; throws on the first failure.
void DrawAllResults(const TrussModel& model, const SettingsArray& settings, AcadDocument& document,
                    const cad::DrawingProgress& progress)
{
    cad::EraseLayers(document, AllResultLayers(), cad::EraseFailure::Throw);
    std::shared_ptr<cad::AcadLayers> layers = document.Layers();
    cad::AcadLayerPtr plus = layers->Add(kPlusLayer);
    cad::AcadLayerPtr minus = layers->Add(kMinusLayer);
    if (settings[SetColor].ToBool()) {
        minus->SetLinetype(QStringLiteral("Continuous"));
        plus->SetColor(settings[SetLayer6].ToInt32());
        minus->SetColor(settings[SetLayer7].ToInt32());
    } else {
        cad::EnsureLineType(document, QStringLiteral("DASHED"));
        minus->SetLinetype(QStringLiteral("DASHED"));
        plus->SetColor(7);
        minus->SetColor(7);
    }

    const bool tensionLines = settings[SetTension].NumericEquals(1.0);
    const bool compressionLines = settings[SetCompression].NumericEquals(1.0);
    const double height = settings[SetTextHeight].ToDouble();
    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
    for (int e = 1; e <= model.ElementCount; ++e) {
        const Point3 p1 = NodePoint(model, model.Elements(e, 1));
        const Point3 p2 = NodePoint(model, model.Elements(e, 2));
        const double angle = LabelAngle(p1, p2);
        const double n = model.Elements(e, 6).ToDouble();
        // Tension on Korrin_Plus; compression and zero-force bars on Korrin_Minus.
        if (n > 0.0) {
            document.SetActiveLayer(plus);
            if (tensionLines)
                space->AddLine(p1, p2);
        } else {
            document.SetActiveLayer(minus);
            if (compressionLines)
                space->AddLine(p1, p2);
        }
        cad::AcadEntityPtr label = space->AddText(FormatFixed(n, 3), p1, height);
        label->SetAlignment(13);
        label->SetTextAlignmentPoint({(p1[0] + p2[0]) / 2.0, (p1[1] + p2[1]) / 2.0, 0.0});
        label->SetRotation(angle);
        progress.Step(static_cast<float>(double(e) / double(model.ElementCount)));
        ProcessEvents();
    }
    DrawDeflectionAndReactions(model, settings, document);
    document.Regen(0);
    progress.Done();
    ProcessEvents();
}

AcadDocument* WorkingDrawing()
{
    return cad::CadConnection().AcadDoc.get();
}

} // namespace

bool DrawResults(const TrussModel& model, const SettingsArray& settings, AcadDocument& document, const cad::DrawingProgress& progress)
{
    try {
        DrawAllResults(model, settings, document, progress);
        return true;
    } catch (const CadError&) {
    } catch (const ModelError&) {
    }
    ShowMessage(cad::DrawingFailureMessage(),
                MsgOkOnly + MsgCritical);
    return false;
}

void ClearResults(AcadDocument& document)
{
    cad::EraseLayers(document, AllResultLayers(), cad::EraseFailure::Throw);
}

bool DrawResults(const cad::DrawingProgress& progress)
{
    AcadDocument* document = WorkingDrawing();
    if (!document) {
        ShowMessage(cad::DrawingFailureMessage(),
                    MsgOkOnly + MsgCritical);
        return false;
    }
    return DrawResults(Truss(), Settings(), *document, progress);
}

void ClearResults()
{
    AcadDocument* document = WorkingDrawing();
    if (!document)
        throw CadError(cad::kDisconnected, QStringLiteral("There is no working drawing."));
    ClearResults(*document);
}

} // namespace ardela
