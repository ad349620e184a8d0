// DrawStresses and ClearStresses: the solver's principal stresses drawn into the drawing.
#include "stress_wizard/StressDrawing.h"

#include <cmath>
#include <cstdint>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "cad/CadError.h"
#include "cad/DrawingLayers.h"
#include "cad/EraseLayers.h"
#include "cad/LinkFailure.h"
#include "cad/ProgramLayers.h"
#include "cad/modHelpers.h"
#include "desktop/Error.h"
#include "desktop/modMessage.h"

namespace ardela::vendel {

namespace {

using cad::AcadDocument;
using cad::CadError;
using cad::Point3;

constexpr double kPi = 3.14159265358979;

const QStringList& StressLayers()
{
    static const QStringList layers{cad::kVendelMesh, cad::kVendelPlus, cad::kVendelMinus};
    return layers;
}

// The principal stress segments alone: the mesh layer stays until results replace it.
const QStringList& SegmentLayers()
{
    static const QStringList layers{cad::kVendelPlus, cad::kVendelMinus};
    return layers;
}

void ShowDrawingFailure()
{
    ShowMessage(cad::DrawingFailureMessage(),
                MsgOkOnly + MsgCritical);
}

// A drawing coordinate from the results; a value that is not finite is not drawn.
double Finite(double value)
{
    if (!std::isfinite(value))
        throw ModelError(QStringLiteral("a result coordinate is not a finite number"));
    return value;
}

// Lets pending window messages run about every 20 ms: once per element, the checking alone costs
// more than the drawing of a large mesh.
void LetWindowMessagesRun()
{
    static QElapsedTimer since;
    if (since.isValid() && since.elapsed() < 20)
        return;
    QCoreApplication::processEvents();
    since.start();
}

// Makes a layer active; a layer that is active already is not set again (the drawing is the same,
// and a large mesh saves one call per segment).
class ActiveLayer {
public:
    explicit ActiveLayer(AcadDocument& document) : m_document(document) {}
    void Set(const cad::AcadLayerPtr& layer)
    {
        if (layer.get() == m_current)
            return;
        m_document.SetActiveLayerUnanswered(layer);
        m_current = layer.get();
    }

private:
    AcadDocument& m_document;
    const cad::AcadLayer* m_current = nullptr;
};

// One principal stress of every element: a segment through the element's centre along `turn`
// plus the element's angle, on the layer of its sign.
void DrawPrincipal(const StressModel& model, std::size_t n, ActiveLayer& active, cad::AcadModelSpace& space,
                   const cad::AcadLayerPtr& plus, const cad::AcadLayerPtr& minus, const SettingsArray& settings,
                   std::size_t which, double turn, float scale, float progressStart, const cad::DrawingProgress& progress)
{
    for (std::size_t e = 0; e < n; ++e) {
        // Corners 1 and 4 of an element are opposite: their midpoint is its centre.
        const auto& c1 = model.StressPoints[4 * e];
        const auto& c4 = model.StressPoints[4 * e + 3];
        const double cx = (double(c1[0]) + double(c4[0])) / 2.0;
        const double cy = (double(c1[1]) + double(c4[1])) / 2.0;
        const double sigma = model.StressValues[e][which];
        const double theta = double(model.StressValues[e][2]) * kPi / 180.0 + turn;
        const double h = std::fabs(sigma) * double(scale);
        const double dx = h * std::cos(theta);
        const double dy = h * std::sin(theta);
        const Point3 from{Finite(cx - dx), Finite(cy - dy), 0.0};
        const Point3 to{Finite(cx + dx), Finite(cy + dy), 0.0};
        // Tension on Vendel_Plus; compression and zero stress on Vendel_Minus.
        if (sigma > 0.0) {
            active.Set(plus);
            if (settings[SetTension].NumericEquals(1.0))
                space.AddLineUnanswered(from, to);
        } else {
            active.Set(minus);
            if (settings[SetCompression].NumericEquals(1.0))
                space.AddLineUnanswered(from, to);
        }
        progress.Step(progressStart + static_cast<float>(double(e + 1) / (3.0 * double(n))));
        LetWindowMessagesRun();
    }
}

// The results as ResetStressResults leaves them (a single empty element) stand for no results:
// drawn, they would put a phantom element at the origin.
bool NoResults(const StressModel& model)
{
    if (model.StressValues.size() != 1 || model.StressPoints.size() != 4)
        return false;
    const auto zero = [](float v) { return v == 0.0f; };
    for (const auto& p : model.StressPoints)
        if (!zero(p[0]) || !zero(p[1]))
            return false;
    const auto& v = model.StressValues[0];
    return zero(v[0]) && zero(v[1]) && zero(v[2]);
}

// The body of DrawStresses; throws on the first failure.
void DrawAllStresses(const StressModel& model, const SettingsArray& settings, AcadDocument& document, bool regenerate,
                     const cad::DrawingProgress& progress)
{
    const std::size_t n = NoResults(model) ? 0 : model.StressValues.size();
    if (model.StressPoints.size() < 4 * n)
        throw ModelError(QStringLiteral("the results hold %1 corners for %2 elements").arg(model.StressPoints.size()).arg(n));

    // Without results the mesh drawn so far (the gridlines or the last results' outlines) stays.
    cad::EraseLayers(document, n > 0 ? StressLayers() : SegmentLayers(), cad::EraseFailure::Throw);
    std::shared_ptr<cad::AcadLayers> layers = document.Layers();
    cad::AcadLayerPtr plus = layers->Add(cad::kVendelPlus);
    cad::AcadLayerPtr minus = layers->Add(cad::kVendelMinus);
    if (settings[SetColor].ToBool()) {
        minus->SetLinetype(QStringLiteral("Continuous"));
        plus->SetColor(settings[SetLayer6].ToInt32());
        minus->SetColor(settings[SetLayer7].ToInt32());
    } else {
        cad::EnsureLineType(document, QStringLiteral("DASHDOT"));
        minus->SetLinetype(QStringLiteral("DASHDOT"));
        plus->SetColor(7);
        minus->SetColor(7);
    }
    ActiveLayer active(document);
    active.Set(layers->Item(cad::kVendelMesh));

    std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
    std::vector<double> outline(15, 0.0);
    for (std::size_t e = 0; e < n; ++e) {
        // Corners 1, 2, 4, 3 go round the element; the fifth vertex closes it.
        static constexpr int kRound[5] = {0, 1, 3, 2, 0};
        for (int v = 0; v < 5; ++v) {
            const auto& corner = model.StressPoints[4 * e + std::size_t(kRound[v])];
            outline[std::size_t(3 * v)] = Finite(corner[0]);
            outline[std::size_t(3 * v + 1)] = Finite(corner[1]);
        }
        space->AddPolylineUnanswered(outline);
        progress.Step(static_cast<float>(double(e + 1) / (3.0 * double(n))));
        LetWindowMessagesRun();
    }

    // The outlines, segments and layer switches go out without waiting for each reply; the host
    // carries them out in order and none after a failure, which the wait at each third reports.
    document.AwaitUnanswered();
    const float scale = settings[SetScaleFactor].ToSingle();
    DrawPrincipal(model, n, active, *space, plus, minus, settings, 0, 0.0, scale, 1.0f / 3.0f, progress);
    document.AwaitUnanswered();
    DrawPrincipal(model, n, active, *space, plus, minus, settings, 1, kPi / 2.0, scale, 2.0f / 3.0f, progress);
    document.AwaitUnanswered();

    if (regenerate)
        document.Regen(0);
    progress.Done();
    QCoreApplication::processEvents();
}

} // namespace

bool DrawStresses(const StressModel& model, const SettingsArray& settings, AcadDocument& document, bool regenerate,
                  const cad::DrawingProgress& progress)
{
    try {
        DrawAllStresses(model, settings, document, regenerate, progress);
        return true;
    } catch (const CadError& error) {
        if (cad::ReportedByLinkWatch(error))
            return false;
    } catch (const ModelError&) {
    }
    // Calls still in flight belong to this failed drawing: their outcome is not a later call's.
    cad::IgnoreLinkFailure([&] { document.AwaitUnanswered(); });
    ShowDrawingFailure();
    return false;
}

void ClearStresses(StressModel& model, AcadDocument& document)
{
    ResetStressResults(model);
    cad::EraseLayers(document, SegmentLayers(), cad::EraseFailure::Throw);
}

bool DrawStresses(bool regenerate, const cad::DrawingProgress& progress)
{
    AcadDocument* document = cad::CadConnection().AcadDoc.get();
    if (!document) {
        if (!cad::DrawingLostWithLink())
            ShowDrawingFailure();
        return false;
    }
    return DrawStresses(Stress(), Settings(), *document, regenerate, progress);
}

void ClearStresses()
{
    AcadDocument* document = cad::CadConnection().AcadDoc.get();
    if (!document) {
        ResetStressResults(Stress());
        throw CadError(cad::kDisconnected, QStringLiteral("There is no working drawing."));
    }
    ClearStresses(Stress(), *document);
}

} // namespace ardela::vendel
