// The member names a request carries, spelled as the object model spells them: the client calls
// them and the host dispatches on them. A setter is the property's name after "put_".
#pragma once

#include <QLatin1String>

namespace ardela::cad::members {

// The application
inline constexpr QLatin1String kName("Name");
inline constexpr QLatin1String kActiveDocument("ActiveDocument");
inline constexpr QLatin1String kDocuments("Documents");
inline constexpr QLatin1String kVisible("Visible");
inline constexpr QLatin1String kPutVisible("put_Visible");
inline constexpr QLatin1String kQuit("Quit");
inline constexpr QLatin1String kProcessId("ProcessId");
inline constexpr QLatin1String kRootWindow("RootWindow");
inline constexpr QLatin1String kActivateWindow("ActivateWindow");
inline constexpr QLatin1String kSimulateInput("SimulateInput");
inline constexpr QLatin1String kPointPending("PointPending");

// Documents and a document
inline constexpr QLatin1String kCount("Count");
inline constexpr QLatin1String kItem("Item");
inline constexpr QLatin1String kAdd("Add");
inline constexpr QLatin1String kOpen("Open");
inline constexpr QLatin1String kModelSpace("ModelSpace");
inline constexpr QLatin1String kLayers("Layers");
inline constexpr QLatin1String kActiveTextStyle("ActiveTextStyle");
inline constexpr QLatin1String kSelectionSets("SelectionSets");
inline constexpr QLatin1String kUtility("Utility");
inline constexpr QLatin1String kLineTypes("lineTypes");
inline constexpr QLatin1String kFullName("FullName");
inline constexpr QLatin1String kSaved("Saved");
inline constexpr QLatin1String kHWnd("hWnd");
inline constexpr QLatin1String kActiveLayer("ActiveLayer");
inline constexpr QLatin1String kPutActiveLayer("put_ActiveLayer");
inline constexpr QLatin1String kSetVariable("SetVariable");
inline constexpr QLatin1String kGetVariable("GetVariable");
inline constexpr QLatin1String kRegen("Regen");
inline constexpr QLatin1String kSave("Save");
inline constexpr QLatin1String kSaveAs("SaveAs");
inline constexpr QLatin1String kClose("Close");

// Model space
inline constexpr QLatin1String kAddLine("AddLine");
inline constexpr QLatin1String kAddText("AddText");
inline constexpr QLatin1String kAddPoint("AddPoint");
inline constexpr QLatin1String kAddPolyline("AddPolyline");
inline constexpr QLatin1String kAddLightWeightPolyline("AddLightWeightPolyline");
inline constexpr QLatin1String kAddSolid("AddSolid");

// Layers and line types
inline constexpr QLatin1String kColor("Color");
inline constexpr QLatin1String kPutColor("put_Color");
inline constexpr QLatin1String kLinetype("Linetype");
inline constexpr QLatin1String kPutLinetype("put_Linetype");
inline constexpr QLatin1String kLayerOn("LayerOn");
inline constexpr QLatin1String kPutLayerOn("put_LayerOn");
inline constexpr QLatin1String kFreeze("Freeze");
inline constexpr QLatin1String kPutFreeze("put_Freeze");
inline constexpr QLatin1String kLock("Lock");
inline constexpr QLatin1String kPutLock("put_Lock");
inline constexpr QLatin1String kDelete("Delete");
inline constexpr QLatin1String kLoad("Load");

// Selection sets ("count" is spelled in lower case)
inline constexpr QLatin1String kSetCount("count");
inline constexpr QLatin1String kErase("Erase");
inline constexpr QLatin1String kSelect("Select");
inline constexpr QLatin1String kSelectOnScreen("SelectOnScreen");

// Entities and texts
inline constexpr QLatin1String kObjectID("ObjectID");
inline constexpr QLatin1String kObjectName("ObjectName");
inline constexpr QLatin1String kLayer("Layer");
inline constexpr QLatin1String kUpdate("Update");
inline constexpr QLatin1String kAlignment("Alignment");
inline constexpr QLatin1String kPutAlignment("put_Alignment");
inline constexpr QLatin1String kTextAlignmentPoint("TextAlignmentPoint");
inline constexpr QLatin1String kPutTextAlignmentPoint("put_TextAlignmentPoint");
inline constexpr QLatin1String kRotation("Rotation");
inline constexpr QLatin1String kPutRotation("put_Rotation");
inline constexpr QLatin1String kHeight("Height");
inline constexpr QLatin1String kPutHeight("put_Height");
inline constexpr QLatin1String kTextString("TextString");
// Lines and polylines
inline constexpr QLatin1String kStartPoint("StartPoint");
inline constexpr QLatin1String kEndPoint("EndPoint");
inline constexpr QLatin1String kCoordinates("Coordinates");
inline constexpr QLatin1String kClosed("Closed");

// Utility and text style
inline constexpr QLatin1String kGetPoint("GetPoint");
inline constexpr QLatin1String kGetFont("GetFont");
inline constexpr QLatin1String kSetFont("SetFont");

} // namespace ardela::cad::members
