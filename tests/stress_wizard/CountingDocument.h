// A drawing that passes every call on to a real one and counts the regenerations and the layer
// switches, which the saved drawing does not show.
#pragma once

#include <memory>

#include "cad/AcadObjects.h"

namespace ardela::test {

class CountingDocument : public cad::AcadDocument {
public:
    explicit CountingDocument(cad::AcadDocumentPtr inner) : m(std::move(inner)) {}
    int regens = 0;
    int layerSwitches = 0;

    std::uint64_t hWnd() override { return m->hWnd(); }
    std::shared_ptr<cad::AcadModelSpace> ModelSpace() override { return m->ModelSpace(); }
    std::shared_ptr<cad::AcadLayers> Layers() override { return m->Layers(); }
    cad::AcadLayerPtr ActiveLayer() override { return m->ActiveLayer(); }
    void SetActiveLayer(const cad::AcadLayerPtr& layer) override
    {
        ++layerSwitches;
        m->SetActiveLayer(layer);
    }
    std::shared_ptr<cad::AcadTextStyle> ActiveTextStyle() override { return m->ActiveTextStyle(); }
    std::shared_ptr<cad::AcadSelectionSets> SelectionSets() override { return m->SelectionSets(); }
    std::shared_ptr<cad::AcadUtility> Utility() override { return m->Utility(); }
    std::shared_ptr<cad::AcadLineTypes> lineTypes() override { return m->lineTypes(); }
    void SetVariable(const QString& name, std::int16_t value) override { m->SetVariable(name, value); }
    std::int16_t GetVariable(const QString& name) override { return m->GetVariable(name); }
    void Regen(std::int16_t which) override
    {
        if (which == 0)
            ++regens;
        m->Regen(which);
    }
    bool Saved() override { return m->Saved(); }
    QString Name() override { return m->Name(); }
    QString FullName() override { return m->FullName(); }
    void Save() override { m->Save(); }
    void SaveAs(const QString& path) override { m->SaveAs(path); }
    void Close() override { m->Close(); }

private:
    cad::AcadDocumentPtr m;
};

} // namespace ardela::test
