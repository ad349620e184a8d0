// The drawing side of the Options dialog's OK.
#include "cad/OptionsDrawing.h"

#include <cstdint>
#include <vector>

#include <QCoreApplication>

#include "cad/CadError.h"
#include "cad/LinkFailure.h"
#include "cad/ProgramLayers.h"
#include "desktop/Error.h"
#include "desktop/modMessage.h"

namespace ardela::cad {

namespace {

const QString kTempSet = QStringLiteral("tempss");

// The colour a layer takes from a setting; 0 when the setting names no colour.
std::int32_t LayerColor(const Cell& value)
{
    try {
        const std::int32_t color = value.ToInt32();
        return color >= 1 && color <= 255 ? color : 0;
    } catch (const ModelError&) {
        return 0;
    }
}

} // namespace

void ResizeTexts(AcadDocument& document, double height)
{
    std::shared_ptr<AcadSelectionSets> sets = document.SelectionSets();
    AcadSelectionSetPtr set;
    try {
        set = sets->Add(kTempSet);
    } catch (const CadError& error) {
        if (error.Code() == kDisconnected)
            throw;
        sets->Item(kTempSet)->Delete();
        set = sets->Add(kTempSet);
    }
    try {
        set->Select(5, std::nullopt, std::nullopt, {0}, {QStringLiteral("TEXT")});
        const std::int32_t count = set->count();
        for (std::int32_t i = 0; i < count; ++i)
            set->Item(i)->SetHeight(height);
        set->Delete();
    } catch (const CadError&) {
        // The set goes even when a text refused its height, so the next use of the name works.
        IgnoreLinkFailure([&] { set->Delete(); });
        throw;
    }
}

void RecolorProgramLayers(AcadDocument& document, const SettingsArray& settings)
{
    std::vector<LayerSpec> programLayers(KorrinLayers().begin(), KorrinLayers().end());
    programLayers.insert(programLayers.end(), VendelLayers().begin(), VendelLayers().end());

    std::shared_ptr<AcadLayers> layers = document.Layers();
    const std::int32_t count = layers->Count();
    for (std::int32_t i = 0; i < count; ++i) {
        AcadLayerPtr layer = layers->Item(i);
        const QString name = layer->Name();
        for (const LayerSpec& programLayer : programLayers) {
            if (programLayer.name != name)
                continue;
            const std::int32_t color = LayerColor(settings[programLayer.colorKey]);
            if (color != 0)
                layer->SetColor(color);
            break;
        }
    }
}

bool ApplyOptionsToDrawing(const AcadDocumentPtr& document, const OptionsChanges& changes,
                           const OptionsRedraw& redraw, const QString& title, const SettingsArray& settings,
                           const OptionsDrawingTexts& texts)
{
    if (!document)
        return true;
    try {
        ResizeTexts(*document, settings[SetTextHeight].ToDouble());
        RecolorProgramLayers(*document, settings);
        if (redraw)
            redraw(changes);
        document->Regen(0);
        QCoreApplication::processEvents();
        return true;
    } catch (const CadError& error) {
        ShowMessage(error.Code() == kDisconnected ? texts.linkLost : texts.failed + error.Text(), MsgCritical, title);
    } catch (const ModelError& error) {
        ShowMessage(texts.failed + QString::fromStdString(error.what()), MsgCritical, title);
    }
    return false;
}

} // namespace ardela::cad
