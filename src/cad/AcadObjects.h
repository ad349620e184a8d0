// The drawing program's automation object model as the wizards use it: application, documents,
// model space, entities, layers, line types, selection sets, utility and text style. Every member
// may throw CadError; points are three doubles (x, y, z) in drawing units.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "cad/CadError.h"

namespace ardela::cad {

using Point3 = std::array<double, 3>;

class AcadEntity {
public:
    virtual ~AcadEntity() = default;
    virtual std::int64_t ObjectID() = 0;
    // The entity's kind as the host names it ("AcDbLine", "AcDbText", ...).
    virtual QString ObjectName() = 0;
    virtual QString Layer() = 0;
    virtual void Update() = 0;
    // Text members; other kinds fail with kMemberNotFound.
    virtual std::int16_t Alignment() = 0;
    virtual void SetAlignment(std::int16_t alignment) = 0;
    virtual Point3 TextAlignmentPoint() = 0;
    virtual void SetTextAlignmentPoint(const Point3& point) = 0;
    virtual double Rotation() = 0;
    virtual void SetRotation(double radians) = 0;
    virtual double Height() = 0;
    virtual void SetHeight(double height) = 0;
    virtual QString TextString() = 0;
    // Line members: its two ends. Polyline members: the vertices (two doubles each for a
    // lightweight polyline, three for the others) and whether it is closed. Other kinds fail
    // with kMemberNotFound.
    virtual Point3 StartPoint() { throw CadError(kMemberNotFound, QStringLiteral("StartPoint")); }
    virtual Point3 EndPoint() { throw CadError(kMemberNotFound, QStringLiteral("EndPoint")); }
    virtual std::vector<double> Coordinates() { throw CadError(kMemberNotFound, QStringLiteral("Coordinates")); }
    virtual bool Closed() { throw CadError(kMemberNotFound, QStringLiteral("Closed")); }
};
using AcadEntityPtr = std::shared_ptr<AcadEntity>;

class AcadModelSpace {
public:
    virtual ~AcadModelSpace() = default;
    virtual AcadEntityPtr AddLine(const Point3& start, const Point3& end) = 0;
    virtual AcadEntityPtr AddText(const QString& text, const Point3& insertion, double height) = 0;
    virtual AcadEntityPtr AddPoint(const Point3& point) = 0;
    // Three doubles per vertex.
    virtual AcadEntityPtr AddPolyline(const std::vector<double>& vertices) = 0;
    // Two doubles per vertex.
    virtual AcadEntityPtr AddLightWeightPolyline(const std::vector<double>& vertices) = 0;
    virtual AcadEntityPtr AddSolid(const Point3& p1, const Point3& p2, const Point3& p3, const Point3& p4) = 0;
    // The same where the caller needs no entity back: the call may go out without waiting for
    // its reply (AcadDocument::AwaitUnanswered collects the outcome).
    virtual void AddLineUnanswered(const Point3& start, const Point3& end) { AddLine(start, end); }
    virtual void AddPolylineUnanswered(const std::vector<double>& vertices) { AddPolyline(vertices); }
    virtual std::int32_t Count() = 0;
};

class AcadLayer {
public:
    virtual ~AcadLayer() = default;
    virtual QString Name() = 0;
    virtual std::int32_t Color() = 0;
    virtual void SetColor(std::int32_t colorIndex) = 0;
    virtual QString Linetype() = 0;
    virtual void SetLinetype(const QString& name) = 0;
    virtual bool LayerOn() = 0;
    virtual void SetLayerOn(bool on) = 0;
    virtual bool Freeze() = 0;
    virtual void SetFreeze(bool frozen) = 0;
    virtual bool Lock() = 0;
    virtual void SetLock(bool locked) = 0;
    virtual void Delete() = 0;
};
using AcadLayerPtr = std::shared_ptr<AcadLayer>;

class AcadLayers {
public:
    virtual ~AcadLayers() = default;
    virtual std::int32_t Count() = 0;
    virtual AcadLayerPtr Item(std::int32_t index) = 0;
    virtual AcadLayerPtr Item(const QString& name) = 0;
    // The layer of that name, made when missing.
    virtual AcadLayerPtr Add(const QString& name) = 0;
};

class AcadLineTypes {
public:
    virtual ~AcadLineTypes() = default;
    virtual std::int32_t Count() = 0;
    // The name of the line type at `index`.
    virtual QString Name(std::int32_t index) = 0;
    virtual void Load(const QString& name, const QString& fileName) = 0;
};

class AcadSelectionSet {
public:
    virtual ~AcadSelectionSet() = default;
    virtual QString Name() = 0;
    // mode 5: all of model space (corners ignored); mode 1: crossing window of the two corners.
    virtual void Select(std::int16_t mode, const std::optional<Point3>& corner1, const std::optional<Point3>& corner2,
                        const std::vector<std::int16_t>& filterTypes, const QStringList& filterData) = 0;
    // The engineer selects on screen: window or crossing selections in the drawing, each adding
    // the entities the filter lets through, until input is ended (Enter or the right button);
    // `prompt` is shown first. Escape fails with kCancelled.
    virtual void SelectOnScreen(const std::vector<std::int16_t>& filterTypes, const QStringList& filterData,
                                const QString& prompt)
    {
        (void)filterTypes, (void)filterData, (void)prompt;
        throw CadError(kMemberNotFound, QStringLiteral("SelectOnScreen"));
    }
    virtual std::int32_t count() = 0;
    virtual AcadEntityPtr Item(std::int32_t index) = 0;
    virtual void Erase() = 0;
    virtual void Delete() = 0;
};
using AcadSelectionSetPtr = std::shared_ptr<AcadSelectionSet>;

class AcadSelectionSets {
public:
    virtual ~AcadSelectionSets() = default;
    // Fails when a set of that name exists.
    virtual AcadSelectionSetPtr Add(const QString& name) = 0;
    virtual AcadSelectionSetPtr Item(const QString& name) = 0;
    virtual std::int32_t Count() = 0;
};

class AcadUtility {
public:
    virtual ~AcadUtility() = default;
    // Waits for the engineer's point; kInputEnded when input ended, kCancelled on Escape.
    virtual Point3 GetPoint(const std::optional<Point3>& basePoint, const QString& prompt) = 0;
};

class AcadTextStyle {
public:
    virtual ~AcadTextStyle() = default;
    virtual QString Name() = 0;
    virtual void GetFont(QString& typeface, bool& bold, bool& italic, std::int32_t& charset, std::int32_t& pitchAndFamily) = 0;
    virtual void SetFont(const QString& typeface, bool bold, bool italic, std::int32_t charset, std::int32_t pitchAndFamily) = 0;
};

class AcadDocument {
public:
    virtual ~AcadDocument() = default;
    // The native id of the document's window.
    virtual std::uint64_t hWnd() = 0;
    virtual std::shared_ptr<AcadModelSpace> ModelSpace() = 0;
    virtual std::shared_ptr<AcadLayers> Layers() = 0;
    virtual AcadLayerPtr ActiveLayer() = 0;
    virtual void SetActiveLayer(const AcadLayerPtr& layer) = 0;
    // SetActiveLayer without waiting for the reply (see AwaitUnanswered).
    virtual void SetActiveLayerUnanswered(const AcadLayerPtr& layer) { SetActiveLayer(layer); }
    // Waits until every call this program sent to the drawing host without waiting has been
    // answered, and throws the first failure among them; the host carried out none after it.
    virtual void AwaitUnanswered() {}
    virtual std::shared_ptr<AcadTextStyle> ActiveTextStyle() = 0;
    virtual std::shared_ptr<AcadSelectionSets> SelectionSets() = 0;
    virtual std::shared_ptr<AcadUtility> Utility() = 0;
    virtual std::shared_ptr<AcadLineTypes> lineTypes() = 0;
    virtual void SetVariable(const QString& name, std::int16_t value) = 0;
    virtual std::int16_t GetVariable(const QString& name) = 0;
    // A system variable holding a real number ("VIEWSIZE": the view's height in drawing units)
    // or a point ("VIEWCTR": the view's centre; "SCREENSIZE": the view's width and height in
    // pixels, z 0).
    virtual double GetRealVariable(const QString& name) { throw CadError(kMemberNotFound, name); }
    virtual Point3 GetPointVariable(const QString& name) { throw CadError(kMemberNotFound, name); }
    // The drawing's view shows the window between the two corners, whole and centred.
    virtual void ZoomWindow(const Point3& lowerLeft, const Point3& upperRight)
    {
        (void)lowerLeft, (void)upperRight;
        throw CadError(kMemberNotFound, QStringLiteral("ZoomWindow"));
    }
    virtual void Regen(std::int16_t which) = 0;
    virtual bool Saved() = 0;
    virtual QString Name() = 0;
    // Empty for a drawing never saved.
    virtual QString FullName() = 0;
    virtual void Save() = 0;
    virtual void SaveAs(const QString& path) = 0;
    virtual void Close() = 0;
};
using AcadDocumentPtr = std::shared_ptr<AcadDocument>;

class AcadDocuments {
public:
    virtual ~AcadDocuments() = default;
    virtual AcadDocumentPtr Add() = 0;
    virtual AcadDocumentPtr Open(const QString& path) = 0;
    virtual std::int32_t Count() = 0;
    virtual AcadDocumentPtr Item(std::int32_t index) = 0;
};

class AcadApplication {
public:
    virtual ~AcadApplication() = default;
    // False once the host behind the reference has gone away (the reference is then dead).
    virtual bool IsLive() const = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual AcadDocumentPtr ActiveDocument() = 0;
    virtual std::shared_ptr<AcadDocuments> Documents() = 0;
    virtual QString Name() = 0;
    virtual void Quit() = 0;
    // The host's process identity.
    virtual std::int64_t ProcessId() = 0;
    // The top-level window holding the native window `hwnd` of the host, 0 when none.
    virtual std::uint64_t RootWindow(std::uint64_t hwnd) = 0;
    // Raises and activates the host window `hwnd`, restoring it when minimised.
    virtual void ActivateWindow(std::uint64_t hwnd) = 0;
};
using AcadApplicationPtr = std::shared_ptr<AcadApplication>;

} // namespace ardela::cad
