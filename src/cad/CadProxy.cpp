// The client proxy of the object model over the automation link.
#include "cad/CadProxy.h"

#include <QCborArray>

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/DrawnExtents.h"
#include "cadlink/Members.h"

namespace ardela::cad {

namespace {

using LinkPtr = std::shared_ptr<CadLink>;

QCborValue ToCbor(const Point3& point)
{
    return QCborArray{point[0], point[1], point[2]};
}

Point3 ToPoint(const QCborValue& value)
{
    const QCborArray parts = value.toArray();
    if (!value.isArray() || parts.size() != 3)
        throw CadError(kMalformedMessage, QStringLiteral("The host answered with something that is not a point."));
    return {parts[0].toDouble(), parts[1].toDouble(), parts[2].toDouble()};
}

Handle ToHandle(const QCborValue& value)
{
    const std::optional<Handle> handle = Handle::FromCbor(value);
    if (!handle)
        throw CadError(kMalformedMessage, QStringLiteral("The host answered with something that is not an object."));
    return *handle;
}

std::int32_t ToInt32(const QCborValue& value)
{
    return static_cast<std::int32_t>(value.toInteger());
}

// What every proxy object is: a link and the handle of the object on the host.
class ProxyBase {
public:
    ProxyBase(LinkPtr link, Handle handle) : m_link(std::move(link)), m_handle(std::move(handle)) {}

protected:
    // The link is held for the call: what runs while it waits may drop this proxy.
    QCborValue Call(Member member, const QCborArray& args = {}) const
    {
        const LinkPtr link = m_link;
        return link->Call(m_handle, NameOf(member, args), args);
    }
    void Send(Member member, const QCborArray& args = {}) const
    {
        const LinkPtr link = m_link;
        link->Send(m_handle, NameOf(member, args), args);
    }
    template <typename T>
    std::shared_ptr<T> Object(Member member, const QCborArray& args = {}) const;

    LinkPtr m_link;
    Handle m_handle;

private:
    // The name the request carries; the member belongs to this object and takes these arguments.
    QString NameOf(Member member, const QCborArray& args) const
    {
        const MemberRow& row = RowOf(member);
        Q_ASSERT(row.kind == m_handle.kind);
        Q_ASSERT(args.size() >= row.minArgs && args.size() <= row.maxArgs);
        Q_UNUSED(args);
        return row.name;
    }

    friend Handle HandleOf(const ProxyBase& proxy);
};

Handle HandleOf(const ProxyBase& proxy)
{
    return proxy.m_handle;
}

class EntityProxy : public AcadEntity, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::int64_t ObjectID() override { return Call(Member::EntityObjectID).toInteger(); }
    QString ObjectName() override { return Call(Member::EntityObjectName).toString(); }
    QString Layer() override { return Call(Member::EntityLayer).toString(); }
    void Update() override { Call(Member::EntityUpdate); }
    std::int16_t Alignment() override { return static_cast<std::int16_t>(Call(Member::EntityAlignment).toInteger()); }
    void SetAlignment(std::int16_t alignment) override { Call(Member::EntityPutAlignment, {alignment}); }
    Point3 TextAlignmentPoint() override { return ToPoint(Call(Member::EntityTextAlignmentPoint)); }
    void SetTextAlignmentPoint(const Point3& point) override
    {
        NoteDrawnTextMoved(point);
        Call(Member::EntityPutTextAlignmentPoint, {ToCbor(point)});
    }
    double Rotation() override { return Call(Member::EntityRotation).toDouble(); }
    void SetRotation(double radians) override { Call(Member::EntityPutRotation, {radians}); }
    double Height() override { return Call(Member::EntityHeight).toDouble(); }
    void SetHeight(double height) override { Call(Member::EntityPutHeight, {height}); }
    QString TextString() override { return Call(Member::EntityTextString).toString(); }
    Point3 StartPoint() override { return ToPoint(Call(Member::EntityStartPoint)); }
    Point3 EndPoint() override { return ToPoint(Call(Member::EntityEndPoint)); }
    std::vector<double> Coordinates() override
    {
        std::vector<double> xy;
        for (const QCborValue& v : Call(Member::EntityCoordinates).toArray())
            xy.push_back(v.toDouble());
        return xy;
    }
    bool Closed() override { return Call(Member::EntityClosed).toBool(); }
};

class ModelSpaceProxy : public AcadModelSpace, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadEntityPtr AddLine(const Point3& start, const Point3& end) override
    {
        NoteDrawn({start, end});
        return Entity(Member::SpaceAddLine, {ToCbor(start), ToCbor(end)});
    }
    AcadEntityPtr AddText(const QString& text, const Point3& insertion, double height) override
    {
        NoteDrawnText(insertion, height, int(text.size()));
        return Entity(Member::SpaceAddText, {text, ToCbor(insertion), height});
    }
    AcadEntityPtr AddPoint(const Point3& point) override
    {
        NoteDrawn({point});
        return Entity(Member::SpaceAddPoint, {ToCbor(point)});
    }
    AcadEntityPtr AddPolyline(const std::vector<double>& vertices) override
    {
        NoteDrawnVertices(vertices, 3);
        return Entity(Member::SpaceAddPolyline, Single(Doubles(vertices)));
    }
    AcadEntityPtr AddLightWeightPolyline(const std::vector<double>& vertices) override
    {
        NoteDrawnVertices(vertices, 2);
        return Entity(Member::SpaceAddLightWeightPolyline, Single(Doubles(vertices)));
    }
    AcadEntityPtr AddSolid(const Point3& p1, const Point3& p2, const Point3& p3, const Point3& p4) override
    {
        NoteDrawn({p1, p2, p3, p4});
        return Entity(Member::SpaceAddSolid, {ToCbor(p1), ToCbor(p2), ToCbor(p3), ToCbor(p4)});
    }
    void AddLineUnanswered(const Point3& start, const Point3& end) override
    {
        NoteDrawn({start, end});
        Send(Member::SpaceAddLine, {ToCbor(start), ToCbor(end)});
    }
    void AddPolylineUnanswered(const std::vector<double>& vertices) override
    {
        NoteDrawnVertices(vertices, 3);
        Send(Member::SpaceAddPolyline, Single(Doubles(vertices)));
    }
    std::int32_t Count() override { return ToInt32(Call(Member::SpaceCount)); }

private:
    // An argument list of one array (braces would copy the array instead of nesting it).
    static QCborArray Single(const QCborArray& value)
    {
        QCborArray args;
        args.append(value);
        return args;
    }
    static QCborArray Doubles(const std::vector<double>& values)
    {
        QCborArray array;
        for (double v : values)
            array.append(v);
        return array;
    }
    AcadEntityPtr Entity(Member member, const QCborArray& args)
    {
        return std::make_shared<EntityProxy>(m_link, ToHandle(Call(member, args)));
    }
};

class LayerProxy : public AcadLayer, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    QString Name() override { return Call(Member::LayerName).toString(); }
    std::int32_t Color() override { return ToInt32(Call(Member::LayerColor)); }
    void SetColor(std::int32_t colorIndex) override { Call(Member::LayerPutColor, {colorIndex}); }
    QString Linetype() override { return Call(Member::LayerLinetype).toString(); }
    void SetLinetype(const QString& name) override { Call(Member::LayerPutLinetype, {name}); }
    bool LayerOn() override { return Call(Member::LayerOn).toBool(); }
    void SetLayerOn(bool on) override { Call(Member::LayerPutOn, {on}); }
    bool Freeze() override { return Call(Member::LayerFreeze).toBool(); }
    void SetFreeze(bool frozen) override { Call(Member::LayerPutFreeze, {frozen}); }
    bool Lock() override { return Call(Member::LayerLock).toBool(); }
    void SetLock(bool locked) override { Call(Member::LayerPutLock, {locked}); }
    void Delete() override { Call(Member::LayerDelete); }
};

class LayersProxy : public AcadLayers, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::int32_t Count() override { return ToInt32(Call(Member::LayersCount)); }
    AcadLayerPtr Item(std::int32_t index) override { return Layer(Member::LayersItem, {index}); }
    AcadLayerPtr Item(const QString& name) override { return Layer(Member::LayersItem, {name}); }
    AcadLayerPtr Add(const QString& name) override { return Layer(Member::LayersAdd, {name}); }

private:
    AcadLayerPtr Layer(Member member, const QCborArray& args)
    {
        return std::make_shared<LayerProxy>(m_link, ToHandle(Call(member, args)));
    }
};

class LineTypesProxy : public AcadLineTypes, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::int32_t Count() override { return ToInt32(Call(Member::LineTypesCount)); }
    QString Name(std::int32_t index) override { return Call(Member::LineTypesItem, {index}).toString(); }
    void Load(const QString& name, const QString& fileName) override { Call(Member::LineTypesLoad, {name, fileName}); }
};

// A selection filter's group codes and values as the request carries them.
QCborArray Types(const std::vector<std::int16_t>& filterTypes)
{
    QCborArray types;
    for (std::int16_t t : filterTypes)
        types.append(t);
    return types;
}

QCborArray Data(const QStringList& filterData)
{
    QCborArray data;
    for (const QString& d : filterData)
        data.append(d);
    return data;
}

class SelectionSetProxy : public AcadSelectionSet, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    QString Name() override { return Call(Member::SetName).toString(); }
    void Select(std::int16_t mode, const std::optional<Point3>& corner1, const std::optional<Point3>& corner2,
                const std::vector<std::int16_t>& filterTypes, const QStringList& filterData) override
    {
        Call(Member::SetSelect, {mode, corner1 ? ToCbor(*corner1) : QCborValue(),
                                        corner2 ? ToCbor(*corner2) : QCborValue(), Types(filterTypes), Data(filterData)});
    }
    void SelectOnScreen(const std::vector<std::int16_t>& filterTypes, const QStringList& filterData,
                        const QString& prompt) override
    {
        Call(Member::SetSelectOnScreen, {Types(filterTypes), Data(filterData), prompt});
    }
    std::int32_t count() override { return ToInt32(Call(Member::SetCount)); }
    AcadEntityPtr Item(std::int32_t index) override
    {
        return std::make_shared<EntityProxy>(m_link, ToHandle(Call(Member::SetItem, {index})));
    }
    void Erase() override { Call(Member::SetErase); }
    void Delete() override { Call(Member::SetDelete); }
};

class SelectionSetsProxy : public AcadSelectionSets, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadSelectionSetPtr Add(const QString& name) override { return Set(Member::SetsAdd, name); }
    AcadSelectionSetPtr Item(const QString& name) override { return Set(Member::SetsItem, name); }
    std::int32_t Count() override { return ToInt32(Call(Member::SetsCount)); }

private:
    AcadSelectionSetPtr Set(Member member, const QString& name)
    {
        return std::make_shared<SelectionSetProxy>(m_link, ToHandle(Call(member, {name})));
    }
};

class UtilityProxy : public AcadUtility, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    Point3 GetPoint(const std::optional<Point3>& basePoint, const QString& prompt) override
    {
        return ToPoint(Call(Member::UtilityGetPoint, {basePoint ? ToCbor(*basePoint) : QCborValue(), prompt}));
    }
};

class TextStyleProxy : public AcadTextStyle, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    QString Name() override { return Call(Member::StyleName).toString(); }
    void GetFont(QString& typeface, bool& bold, bool& italic, std::int32_t& charset, std::int32_t& pitchAndFamily) override
    {
        const QCborArray font = Call(Member::StyleGetFont).toArray();
        if (font.size() != 5)
            throw CadError(kMalformedMessage, QStringLiteral("The host answered with something that is not a font."));
        typeface = font[0].toString();
        bold = font[1].toBool();
        italic = font[2].toBool();
        charset = ToInt32(font[3]);
        pitchAndFamily = ToInt32(font[4]);
    }
    void SetFont(const QString& typeface, bool bold, bool italic, std::int32_t charset, std::int32_t pitchAndFamily) override
    {
        Call(Member::StyleSetFont, {typeface, bold, italic, charset, pitchAndFamily});
    }
};

class DocumentProxy : public AcadDocument, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::uint64_t hWnd() override { return static_cast<std::uint64_t>(Call(Member::DocHWnd).toInteger()); }
    std::shared_ptr<AcadModelSpace> ModelSpace() override { return Object<ModelSpaceProxy>(Member::DocModelSpace); }
    std::shared_ptr<AcadLayers> Layers() override { return Object<LayersProxy>(Member::DocLayers); }
    AcadLayerPtr ActiveLayer() override { return Object<LayerProxy>(Member::DocActiveLayer); }
    void SetActiveLayer(const AcadLayerPtr& layer) override
    {
        const auto* proxy = dynamic_cast<const LayerProxy*>(layer.get());
        if (!proxy)
            throw CadError(kInvalidArgument, QStringLiteral("The layer does not belong to this drawing."));
        Call(Member::DocPutActiveLayer, {HandleOf(*proxy).ToCbor()});
    }
    void SetActiveLayerUnanswered(const AcadLayerPtr& layer) override
    {
        const auto* proxy = dynamic_cast<const LayerProxy*>(layer.get());
        if (!proxy)
            throw CadError(kInvalidArgument, QStringLiteral("The layer does not belong to this drawing."));
        Send(Member::DocPutActiveLayer, {HandleOf(*proxy).ToCbor()});
    }
    void AwaitUnanswered() override { m_link->AwaitUnanswered(); }
    std::shared_ptr<AcadTextStyle> ActiveTextStyle() override { return Object<TextStyleProxy>(Member::DocActiveTextStyle); }
    std::shared_ptr<AcadSelectionSets> SelectionSets() override { return Object<SelectionSetsProxy>(Member::DocSelectionSets); }
    std::shared_ptr<AcadUtility> Utility() override { return Object<UtilityProxy>(Member::DocUtility); }
    std::shared_ptr<AcadLineTypes> lineTypes() override { return Object<LineTypesProxy>(Member::DocLineTypes); }
    void SetVariable(const QString& name, std::int16_t value) override { Call(Member::DocSetVariable, {name, value}); }
    std::int16_t GetVariable(const QString& name) override
    {
        return static_cast<std::int16_t>(Call(Member::DocGetVariable, {name}).toInteger());
    }
    double GetRealVariable(const QString& name) override
    {
        const QCborValue value = Call(Member::DocGetVariable, {name});
        if (!value.isDouble() && !value.isInteger())
            throw CadError(kMalformedMessage, QStringLiteral("The host answered %1 with something that is not a number.").arg(name));
        return value.isDouble() ? value.toDouble() : double(value.toInteger());
    }
    Point3 GetPointVariable(const QString& name) override
    {
        const QCborArray parts = Call(Member::DocGetVariable, {name}).toArray();
        if (parts.size() < 2 || parts.size() > 3)
            throw CadError(kMalformedMessage, QStringLiteral("The host answered %1 with something that is not a point.").arg(name));
        return {parts[0].toDouble(), parts[1].toDouble(), parts.size() == 3 ? parts[2].toDouble() : 0.0};
    }
    void ZoomWindow(const Point3& lowerLeft, const Point3& upperRight) override
    {
        Call(Member::DocZoomWindow, {ToCbor(lowerLeft), ToCbor(upperRight)});
    }
    void Regen(std::int16_t which) override { Call(Member::DocRegen, {which}); }
    bool Saved() override { return Call(Member::DocSaved).toBool(); }
    QString Name() override { return Call(Member::DocName).toString(); }
    QString FullName() override { return Call(Member::DocFullName).toString(); }
    void Save() override { Call(Member::DocSave); }
    void SaveAs(const QString& path) override { Call(Member::DocSaveAs, {path}); }
    void Close() override { Call(Member::DocClose); }
};

class DocumentsProxy : public AcadDocuments, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadDocumentPtr Add() override { return Object<DocumentProxy>(Member::DocsAdd); }
    AcadDocumentPtr Open(const QString& path) override { return Object<DocumentProxy>(Member::DocsOpen, {path}); }
    std::int32_t Count() override { return ToInt32(Call(Member::DocsCount)); }
    AcadDocumentPtr Item(std::int32_t index) override { return Object<DocumentProxy>(Member::DocsItem, {index}); }
};

class ApplicationProxy : public AcadApplication, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    bool IsLive() const override { return m_link->IsConnected(); }
    bool Visible() override { return Call(Member::AppVisible).toBool(); }
    void SetVisible(bool visible) override { Call(Member::AppPutVisible, {visible}); }
    AcadDocumentPtr ActiveDocument() override { return Object<DocumentProxy>(Member::AppActiveDocument); }
    std::shared_ptr<AcadDocuments> Documents() override { return Object<DocumentsProxy>(Member::AppDocuments); }
    QString Name() override { return Call(Member::AppName).toString(); }
    void Quit() override { Call(Member::AppQuit); }
    std::int64_t ProcessId() override { return Call(Member::AppProcessId).toInteger(); }
    std::uint64_t RootWindow(std::uint64_t hwnd) override
    {
        return static_cast<std::uint64_t>(Call(Member::AppRootWindow, {static_cast<qint64>(hwnd)}).toInteger());
    }
    void ActivateWindow(std::uint64_t hwnd) override { Call(Member::AppActivateWindow, {static_cast<qint64>(hwnd)}); }
    const LinkPtr& Link() const { return m_link; }
};

template <typename T>
std::shared_ptr<T> ProxyBase::Object(Member member, const QCborArray& args) const
{
    return std::make_shared<T>(m_link, ToHandle(Call(member, args)));
}

} // namespace

AcadApplicationPtr ConnectApplication(const QString& socketPath, int timeoutMs)
{
    auto link = std::make_shared<CadLink>();
    if (socketPath.isEmpty() || !link->Connect(socketPath, timeoutMs))
        return nullptr;
    return std::make_shared<ApplicationProxy>(link, Handle{HandleKind::Application, 0, QCborValue()});
}

std::shared_ptr<CadLink> LinkOf(const AcadApplicationPtr& application)
{
    const auto* proxy = dynamic_cast<const ApplicationProxy*>(application.get());
    return proxy ? proxy->Link() : nullptr;
}

} // namespace ardela::cad
