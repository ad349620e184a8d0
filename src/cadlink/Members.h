// The members the automation link carries, one row each: the object kind that has it, the name a
// request carries (spelled as the object model spells it; a setter is the property's name after
// "put_") and how many arguments it takes. The client proxy calls by these rows and the host
// dispatches on them, so a member is written once for both ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include <QLatin1String>
#include <QStringView>

#include "cadlink/Wire.h"

namespace ardela::cad {

// Every member, in the order of kMemberTable.
enum class Member : std::uint8_t {
    // The application
    AppName, AppActiveDocument, AppDocuments, AppVisible, AppPutVisible, AppQuit, AppProcessId,
    AppRootWindow, AppActivateWindow, AppPointPending, AppSimulateInput,
    // The documents
    DocsCount, DocsItem, DocsAdd, DocsOpen,
    // A document
    DocModelSpace, DocLayers, DocActiveTextStyle, DocSelectionSets, DocUtility, DocLineTypes, DocName,
    DocFullName, DocSaved, DocHWnd, DocActiveLayer, DocPutActiveLayer, DocSetVariable, DocGetVariable,
    DocRegen, DocSave, DocSaveAs, DocClose, DocZoomWindow,
    // Model space
    SpaceAddLine, SpaceAddText, SpaceAddPoint, SpaceAddPolyline, SpaceAddLightWeightPolyline, SpaceAddSolid,
    SpaceCount,
    // The layers and a layer
    LayersCount, LayersItem, LayersAdd,
    LayerName, LayerColor, LayerLinetype, LayerOn, LayerFreeze, LayerLock, LayerDelete, LayerPutColor,
    LayerPutLinetype, LayerPutOn, LayerPutFreeze, LayerPutLock,
    // The line types
    LineTypesCount, LineTypesItem, LineTypesLoad,
    // The selection sets and a set
    SetsCount, SetsAdd, SetsItem,
    SetName, SetCount, SetItem, SetErase, SetDelete, SetSelect, SetSelectOnScreen,
    // The utility and the text style
    UtilityGetPoint,
    StyleName, StyleGetFont, StyleSetFont,
    // An entity (the text members answer only on a text)
    EntityObjectID, EntityObjectName, EntityLayer, EntityUpdate, EntityAlignment, EntityTextAlignmentPoint,
    EntityRotation, EntityHeight, EntityTextString, EntityPutAlignment, EntityPutTextAlignmentPoint,
    EntityPutRotation, EntityPutHeight,
    // A line's ends, a polyline's vertices and whether it is closed
    EntityStartPoint, EntityEndPoint, EntityCoordinates, EntityClosed,
};

struct MemberRow {
    Member member;
    HandleKind kind;       // the object that has the member
    QLatin1String name;    // as the request carries it
    std::int8_t minArgs;   // argument count; a range where trailing arguments may be left out
    std::int8_t maxArgs;
    bool testingAid;       // answered only by a host started with the testing aids
};

inline constexpr MemberRow kMemberTable[] = {
    {Member::AppName, HandleKind::Application, QLatin1String("Name"), 0, 0, false},
    {Member::AppActiveDocument, HandleKind::Application, QLatin1String("ActiveDocument"), 0, 0, false},
    {Member::AppDocuments, HandleKind::Application, QLatin1String("Documents"), 0, 0, false},
    {Member::AppVisible, HandleKind::Application, QLatin1String("Visible"), 0, 0, false},
    {Member::AppPutVisible, HandleKind::Application, QLatin1String("put_Visible"), 1, 1, false},
    {Member::AppQuit, HandleKind::Application, QLatin1String("Quit"), 0, 0, false},
    {Member::AppProcessId, HandleKind::Application, QLatin1String("ProcessId"), 0, 0, false},
    {Member::AppRootWindow, HandleKind::Application, QLatin1String("RootWindow"), 1, 1, false},
    {Member::AppActivateWindow, HandleKind::Application, QLatin1String("ActivateWindow"), 1, 1, false},
    {Member::AppPointPending, HandleKind::Application, QLatin1String("PointPending"), 0, 0, true},
    {Member::AppSimulateInput, HandleKind::Application, QLatin1String("SimulateInput"), 3, 3, true},

    {Member::DocsCount, HandleKind::Documents, QLatin1String("Count"), 0, 0, false},
    {Member::DocsItem, HandleKind::Documents, QLatin1String("Item"), 1, 1, false},
    {Member::DocsAdd, HandleKind::Documents, QLatin1String("Add"), 0, 0, false},
    {Member::DocsOpen, HandleKind::Documents, QLatin1String("Open"), 1, 1, false},

    {Member::DocModelSpace, HandleKind::Document, QLatin1String("ModelSpace"), 0, 0, false},
    {Member::DocLayers, HandleKind::Document, QLatin1String("Layers"), 0, 0, false},
    {Member::DocActiveTextStyle, HandleKind::Document, QLatin1String("ActiveTextStyle"), 0, 0, false},
    {Member::DocSelectionSets, HandleKind::Document, QLatin1String("SelectionSets"), 0, 0, false},
    {Member::DocUtility, HandleKind::Document, QLatin1String("Utility"), 0, 0, false},
    {Member::DocLineTypes, HandleKind::Document, QLatin1String("lineTypes"), 0, 0, false},
    {Member::DocName, HandleKind::Document, QLatin1String("Name"), 0, 0, false},
    {Member::DocFullName, HandleKind::Document, QLatin1String("FullName"), 0, 0, false},
    {Member::DocSaved, HandleKind::Document, QLatin1String("Saved"), 0, 0, false},
    {Member::DocHWnd, HandleKind::Document, QLatin1String("hWnd"), 0, 0, false},
    {Member::DocActiveLayer, HandleKind::Document, QLatin1String("ActiveLayer"), 0, 0, false},
    {Member::DocPutActiveLayer, HandleKind::Document, QLatin1String("put_ActiveLayer"), 1, 1, false},
    {Member::DocSetVariable, HandleKind::Document, QLatin1String("SetVariable"), 2, 2, false},
    {Member::DocGetVariable, HandleKind::Document, QLatin1String("GetVariable"), 1, 1, false},
    {Member::DocRegen, HandleKind::Document, QLatin1String("Regen"), 1, 1, false},
    {Member::DocSave, HandleKind::Document, QLatin1String("Save"), 0, 0, false},
    {Member::DocSaveAs, HandleKind::Document, QLatin1String("SaveAs"), 1, 1, false},
    {Member::DocClose, HandleKind::Document, QLatin1String("Close"), 0, 0, false},
    // lower-left and upper-right corners: the document's view shows that window.
    {Member::DocZoomWindow, HandleKind::Document, QLatin1String("ZoomWindow"), 2, 2, false},

    {Member::SpaceAddLine, HandleKind::ModelSpace, QLatin1String("AddLine"), 2, 2, false},
    {Member::SpaceAddText, HandleKind::ModelSpace, QLatin1String("AddText"), 3, 3, false},
    {Member::SpaceAddPoint, HandleKind::ModelSpace, QLatin1String("AddPoint"), 1, 1, false},
    {Member::SpaceAddPolyline, HandleKind::ModelSpace, QLatin1String("AddPolyline"), 1, 1, false},
    {Member::SpaceAddLightWeightPolyline, HandleKind::ModelSpace, QLatin1String("AddLightWeightPolyline"), 1, 1, false},
    {Member::SpaceAddSolid, HandleKind::ModelSpace, QLatin1String("AddSolid"), 4, 4, false},
    {Member::SpaceCount, HandleKind::ModelSpace, QLatin1String("Count"), 0, 0, false},

    {Member::LayersCount, HandleKind::Layers, QLatin1String("Count"), 0, 0, false},
    {Member::LayersItem, HandleKind::Layers, QLatin1String("Item"), 1, 1, false},
    {Member::LayersAdd, HandleKind::Layers, QLatin1String("Add"), 1, 1, false},
    {Member::LayerName, HandleKind::Layer, QLatin1String("Name"), 0, 0, false},
    {Member::LayerColor, HandleKind::Layer, QLatin1String("Color"), 0, 0, false},
    {Member::LayerLinetype, HandleKind::Layer, QLatin1String("Linetype"), 0, 0, false},
    {Member::LayerOn, HandleKind::Layer, QLatin1String("LayerOn"), 0, 0, false},
    {Member::LayerFreeze, HandleKind::Layer, QLatin1String("Freeze"), 0, 0, false},
    {Member::LayerLock, HandleKind::Layer, QLatin1String("Lock"), 0, 0, false},
    {Member::LayerDelete, HandleKind::Layer, QLatin1String("Delete"), 0, 0, false},
    {Member::LayerPutColor, HandleKind::Layer, QLatin1String("put_Color"), 1, 1, false},
    {Member::LayerPutLinetype, HandleKind::Layer, QLatin1String("put_Linetype"), 1, 1, false},
    {Member::LayerPutOn, HandleKind::Layer, QLatin1String("put_LayerOn"), 1, 1, false},
    {Member::LayerPutFreeze, HandleKind::Layer, QLatin1String("put_Freeze"), 1, 1, false},
    {Member::LayerPutLock, HandleKind::Layer, QLatin1String("put_Lock"), 1, 1, false},

    {Member::LineTypesCount, HandleKind::LineTypes, QLatin1String("Count"), 0, 0, false},
    {Member::LineTypesItem, HandleKind::LineTypes, QLatin1String("Item"), 1, 1, false},
    {Member::LineTypesLoad, HandleKind::LineTypes, QLatin1String("Load"), 2, 2, false},

    {Member::SetsCount, HandleKind::SelectionSets, QLatin1String("Count"), 0, 0, false},
    {Member::SetsAdd, HandleKind::SelectionSets, QLatin1String("Add"), 1, 1, false},
    {Member::SetsItem, HandleKind::SelectionSets, QLatin1String("Item"), 1, 1, false},
    {Member::SetName, HandleKind::SelectionSet, QLatin1String("Name"), 0, 0, false},
    {Member::SetCount, HandleKind::SelectionSet, QLatin1String("count"), 0, 0, false},
    {Member::SetItem, HandleKind::SelectionSet, QLatin1String("Item"), 1, 1, false},
    {Member::SetErase, HandleKind::SelectionSet, QLatin1String("Erase"), 0, 0, false},
    {Member::SetDelete, HandleKind::SelectionSet, QLatin1String("Delete"), 0, 0, false},
    // mode, corner 1, corner 2, filter types, filter data; the filter (both arrays) may be left out.
    {Member::SetSelect, HandleKind::SelectionSet, QLatin1String("Select"), 3, 5, false},
    {Member::SetSelectOnScreen, HandleKind::SelectionSet, QLatin1String("SelectOnScreen"), 0, 3, false},

    {Member::UtilityGetPoint, HandleKind::Utility, QLatin1String("GetPoint"), 2, 2, false},

    {Member::StyleName, HandleKind::TextStyle, QLatin1String("Name"), 0, 0, false},
    {Member::StyleGetFont, HandleKind::TextStyle, QLatin1String("GetFont"), 0, 0, false},
    {Member::StyleSetFont, HandleKind::TextStyle, QLatin1String("SetFont"), 5, 5, false},

    {Member::EntityObjectID, HandleKind::Entity, QLatin1String("ObjectID"), 0, 0, false},
    {Member::EntityObjectName, HandleKind::Entity, QLatin1String("ObjectName"), 0, 0, false},
    {Member::EntityLayer, HandleKind::Entity, QLatin1String("Layer"), 0, 0, false},
    {Member::EntityUpdate, HandleKind::Entity, QLatin1String("Update"), 0, 0, false},
    {Member::EntityAlignment, HandleKind::Entity, QLatin1String("Alignment"), 0, 0, false},
    {Member::EntityTextAlignmentPoint, HandleKind::Entity, QLatin1String("TextAlignmentPoint"), 0, 0, false},
    {Member::EntityRotation, HandleKind::Entity, QLatin1String("Rotation"), 0, 0, false},
    {Member::EntityHeight, HandleKind::Entity, QLatin1String("Height"), 0, 0, false},
    {Member::EntityTextString, HandleKind::Entity, QLatin1String("TextString"), 0, 0, false},
    {Member::EntityPutAlignment, HandleKind::Entity, QLatin1String("put_Alignment"), 1, 1, false},
    {Member::EntityPutTextAlignmentPoint, HandleKind::Entity, QLatin1String("put_TextAlignmentPoint"), 1, 1, false},
    {Member::EntityPutRotation, HandleKind::Entity, QLatin1String("put_Rotation"), 1, 1, false},
    {Member::EntityPutHeight, HandleKind::Entity, QLatin1String("put_Height"), 1, 1, false},
    {Member::EntityStartPoint, HandleKind::Entity, QLatin1String("StartPoint"), 0, 0, false},
    {Member::EntityEndPoint, HandleKind::Entity, QLatin1String("EndPoint"), 0, 0, false},
    {Member::EntityCoordinates, HandleKind::Entity, QLatin1String("Coordinates"), 0, 0, false},
    {Member::EntityClosed, HandleKind::Entity, QLatin1String("Closed"), 0, 0, false},
};

inline constexpr std::size_t kMemberCount = std::size(kMemberTable);

// Row i describes member i: the enumeration and the table cannot drift apart.
constexpr bool MemberTableInOrder()
{
    for (std::size_t i = 0; i < kMemberCount; ++i)
        if (static_cast<std::size_t>(kMemberTable[i].member) != i)
            return false;
    return true;
}
static_assert(MemberTableInOrder(), "kMemberTable must list the members in the order of Member");
static_assert(static_cast<std::size_t>(Member::EntityClosed) + 1 == kMemberCount);

constexpr const MemberRow& RowOf(Member member)
{
    return kMemberTable[static_cast<std::size_t>(member)];
}

// The row of `name` on an object of `kind`, or nullptr when that object has no such member.
const MemberRow* FindMember(HandleKind kind, QStringView name);

} // namespace ardela::cad
