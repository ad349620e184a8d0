// The layer and line-type chores shared by the model, result and stress drawings.
#include "cad/DrawingLayers.h"

#include <QCoreApplication>

#include "cad/CadError.h"
#include "cad/modHelpers.h"

namespace ardela::cad {

AcadDocument& WorkingDrawing()
{
    const AcadDocumentPtr& document = CadConnection().AcadDoc;
    if (!document)
        throw CadError(kDisconnected, QStringLiteral("There is no working drawing."));
    return *document;
}

void OnWorkingDrawing(void (*clear)(AcadDocument&))
{
    if (const AcadDocumentPtr& document = CadConnection().AcadDoc)
        clear(*document);
}

void PrepareLayer(AcadDocument& document, const QString& name)
{
    AcadLayerPtr layer = document.Layers()->Item(name);
    if (!layer->LayerOn())
        layer->SetLayerOn(true);
    if (layer->Freeze())
        layer->SetFreeze(false);
    if (layer->Lock())
        layer->SetLock(false);
    document.SetActiveLayer(layer);
}

void EnsureLineType(AcadDocument& document, const QString& name)
{
    std::shared_ptr<AcadLineTypes> lineTypes = document.lineTypes();
    const std::int32_t count = lineTypes->Count();
    for (std::int32_t i = 0; i < count; ++i)
        if (lineTypes->Name(i).compare(name, Qt::CaseInsensitive) == 0)
            return;
    lineTypes->Load(name, QStringLiteral("acad.lin"));
}

QString DrawingFailureMessage()
{
    return QStringLiteral("There was an error drawing data.\r\nPlease go back and revise your input.");
}

void FinishDrawing(AcadDocument& document, bool regenerate)
{
    if (regenerate)
        document.Regen(0);
    QCoreApplication::processEvents();
}

} // namespace ardela::cad
