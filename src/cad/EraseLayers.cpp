// The erase through "tempss" that every clear routine shares.
#include "cad/EraseLayers.h"

#include <cstdint>
#include <vector>

#include "cad/LinkFailure.h"

namespace ardela::cad {

namespace {

const QString kTempSet = QStringLiteral("tempss");

// The new set "tempss"; nullptr when a leftover one was deleted instead.
AcadSelectionSetPtr AddTempSet(AcadSelectionSets& sets, EraseFailure onFailure)
{
    try {
        return sets.Add(kTempSet);
    } catch (const CadError&) {
        if (onFailure == EraseFailure::Throw)
            throw;
    }
    sets.Item(kTempSet)->Delete();
    if (onFailure == EraseFailure::ReplaceLeftover)
        return sets.Add(kTempSet);
    return nullptr;
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
        set = AddTempSet(*document.SelectionSets(), onFailure);
        if (!set)
            return;
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
