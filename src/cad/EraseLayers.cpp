// The erase through "tempss" that every clear routine shares.
#include "cad/EraseLayers.h"

#include <cstdint>
#include <vector>

#include "cad/LinkFailure.h"

namespace ardela::cad {

namespace {

const QString kTempSet = QStringLiteral("tempss");

AcadSelectionSetPtr AddTempSet(AcadSelectionSets& sets)
{
    try {
        return sets.Add(kTempSet);
    } catch (const CadError&) {
        sets.Item(kTempSet)->Delete();
        return sets.Add(kTempSet);
    }
}

} // namespace

void EraseLayers(AcadDocument& document, const QStringList& layers, EraseFailure onFailure)
{
    if (layers.isEmpty())
        return;
    std::vector<std::int16_t> types;
    QStringList data;
    if (layers.size() == 1) {
        types = {8};
        data = layers;
    } else {
        types.push_back(-4);
        data << QStringLiteral("<or");
        for (const QString& layer : layers) {
            types.push_back(8);
            data << layer;
        }
        types.push_back(-4);
        data << QStringLiteral("or>");
    }
    AcadSelectionSetPtr set;
    try {
        set = AddTempSet(*document.SelectionSets());
        set->Select(5, std::nullopt, std::nullopt, types, data);
        set->Erase();
        set->Delete();
    } catch (const CadError&) {
        if (set)
            IgnoreLinkFailure([&] { set->Delete(); });
        if (onFailure == EraseFailure::Throw)
            throw;
    }
}

} // namespace ardela::cad
