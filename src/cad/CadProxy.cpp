// The client proxy of the object model over the automation link.
#include "cad/CadProxy.h"

#include <QCborArray>

#include "cad/CadError.h"
#include "cad/CadLink.h"
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
    QCborValue Call(const QString& member, const QCborArray& args = {}) const
    {
        return m_link->Call(m_handle, member, args);
    }
    void Send(const QString& member, const QCborArray& args = {}) const { m_link->Send(m_handle, member, args); }
    template <typename T>
    std::shared_ptr<T> Object(const QString& member, const QCborArray& args = {}) const;

    LinkPtr m_link;
    Handle m_handle;

    friend Handle HandleOf(const ProxyBase& proxy);
};

Handle HandleOf(const ProxyBase& proxy)
{
    return proxy.m_handle;
}

class EntityProxy : public AcadEntity, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::int64_t ObjectID() override { return Call(members::kObjectID).toInteger(); }
    QString ObjectName() override { return Call(members::kObjectName).toString(); }
    QString Layer() override { return Call(members::kLayer).toString(); }
    void Update() override { Call(members::kUpdate); }
    std::int16_t Alignment() override { return static_cast<std::int16_t>(Call(members::kAlignment).toInteger()); }
    void SetAlignment(std::int16_t alignment) override { Call(members::kPutAlignment, {alignment}); }
    Point3 TextAlignmentPoint() override { return ToPoint(Call(members::kTextAlignmentPoint)); }
    void SetTextAlignmentPoint(const Point3& point) override { Call(members::kPutTextAlignmentPoint, {ToCbor(point)}); }
    double Rotation() override { return Call(members::kRotation).toDouble(); }
    void SetRotation(double radians) override { Call(members::kPutRotation, {radians}); }
    double Height() override { return Call(members::kHeight).toDouble(); }
    void SetHeight(double height) override { Call(members::kPutHeight, {height}); }
    QString TextString() override { return Call(members::kTextString).toString(); }
    Point3 StartPoint() override { return ToPoint(Call(members::kStartPoint)); }
    Point3 EndPoint() override { return ToPoint(Call(members::kEndPoint)); }
    std::vector<double> Coordinates() override
    {
        std::vector<double> xy;
        for (const QCborValue& v : Call(members::kCoordinates).toArray())
            xy.push_back(v.toDouble());
        return xy;
    }
    bool Closed() override { return Call(members::kClosed).toBool(); }
};

class ModelSpaceProxy : public AcadModelSpace, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadEntityPtr AddLine(const Point3& start, const Point3& end) override
    {
        return Entity(members::kAddLine, {ToCbor(start), ToCbor(end)});
    }
    AcadEntityPtr AddText(const QString& text, const Point3& insertion, double height) override
    {
        return Entity(members::kAddText, {text, ToCbor(insertion), height});
    }
    AcadEntityPtr AddPoint(const Point3& point) override { return Entity(members::kAddPoint, {ToCbor(point)}); }
    AcadEntityPtr AddPolyline(const std::vector<double>& vertices) override
    {
        return Entity(members::kAddPolyline, Single(Doubles(vertices)));
    }
    AcadEntityPtr AddLightWeightPolyline(const std::vector<double>& vertices) override
    {
        return Entity(members::kAddLightWeightPolyline, Single(Doubles(vertices)));
    }
    AcadEntityPtr AddSolid(const Point3& p1, const Point3& p2, const Point3& p3, const Point3& p4) override
    {
        return Entity(members::kAddSolid, {ToCbor(p1), ToCbor(p2), ToCbor(p3), ToCbor(p4)});
    }
    void AddLineUnanswered(const Point3& start, const Point3& end) override
    {
        Send(members::kAddLine, {ToCbor(start), ToCbor(end)});
    }
    void AddPolylineUnanswered(const std::vector<double>& vertices) override
    {
        Send(members::kAddPolyline, Single(Doubles(vertices)));
    }
    std::int32_t Count() override { return ToInt32(Call(members::kCount)); }

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
    AcadEntityPtr Entity(const QString& member, const QCborArray& args)
    {
        return std::make_shared<EntityProxy>(m_link, ToHandle(Call(member, args)));
    }
};

class LayerProxy : public AcadLayer, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    QString Name() override { return Call(members::kName).toString(); }
    std::int32_t Color() override { return ToInt32(Call(members::kColor)); }
    void SetColor(std::int32_t colorIndex) override { Call(members::kPutColor, {colorIndex}); }
    QString Linetype() override { return Call(members::kLinetype).toString(); }
    void SetLinetype(const QString& name) override { Call(members::kPutLinetype, {name}); }
    bool LayerOn() override { return Call(members::kLayerOn).toBool(); }
    void SetLayerOn(bool on) override { Call(members::kPutLayerOn, {on}); }
    bool Freeze() override { return Call(members::kFreeze).toBool(); }
    void SetFreeze(bool frozen) override { Call(members::kPutFreeze, {frozen}); }
    bool Lock() override { return Call(members::kLock).toBool(); }
    void SetLock(bool locked) override { Call(members::kPutLock, {locked}); }
    void Delete() override { Call(members::kDelete); }
};

class LayersProxy : public AcadLayers, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::int32_t Count() override { return ToInt32(Call(members::kCount)); }
    AcadLayerPtr Item(std::int32_t index) override { return Layer(members::kItem, {index}); }
    AcadLayerPtr Item(const QString& name) override { return Layer(members::kItem, {name}); }
    AcadLayerPtr Add(const QString& name) override { return Layer(members::kAdd, {name}); }

private:
    AcadLayerPtr Layer(const QString& member, const QCborArray& args)
    {
        return std::make_shared<LayerProxy>(m_link, ToHandle(Call(member, args)));
    }
};

class LineTypesProxy : public AcadLineTypes, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::int32_t Count() override { return ToInt32(Call(members::kCount)); }
    QString Name(std::int32_t index) override { return Call(members::kItem, {index}).toString(); }
    void Load(const QString& name, const QString& fileName) override { Call(members::kLoad, {name, fileName}); }
};

class SelectionSetProxy : public AcadSelectionSet, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    QString Name() override { return Call(members::kName).toString(); }
    void Select(std::int16_t mode, const std::optional<Point3>& corner1, const std::optional<Point3>& corner2,
                const std::vector<std::int16_t>& filterTypes, const QStringList& filterData) override
    {
        QCborArray types;
        for (std::int16_t t : filterTypes)
            types.append(t);
        QCborArray data;
        for (const QString& d : filterData)
            data.append(d);
        Call(members::kSelect, {mode, corner1 ? ToCbor(*corner1) : QCborValue(),
                                        corner2 ? ToCbor(*corner2) : QCborValue(), types, data});
    }
    void SelectOnScreen(const std::vector<std::int16_t>& filterTypes, const QStringList& filterData,
                        const QString& prompt) override
    {
        QCborArray types;
        for (std::int16_t t : filterTypes)
            types.append(t);
        QCborArray data;
        for (const QString& d : filterData)
            data.append(d);
        Call(members::kSelectOnScreen, {types, data, prompt});
    }
    std::int32_t count() override { return ToInt32(Call(members::kSetCount)); }
    AcadEntityPtr Item(std::int32_t index) override
    {
        return std::make_shared<EntityProxy>(m_link, ToHandle(Call(members::kItem, {index})));
    }
    void Erase() override { Call(members::kErase); }
    void Delete() override { Call(members::kDelete); }
};

class SelectionSetsProxy : public AcadSelectionSets, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadSelectionSetPtr Add(const QString& name) override { return Set(members::kAdd, name); }
    AcadSelectionSetPtr Item(const QString& name) override { return Set(members::kItem, name); }
    std::int32_t Count() override { return ToInt32(Call(members::kCount)); }

private:
    AcadSelectionSetPtr Set(const QString& member, const QString& name)
    {
        return std::make_shared<SelectionSetProxy>(m_link, ToHandle(Call(member, {name})));
    }
};

class UtilityProxy : public AcadUtility, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    Point3 GetPoint(const std::optional<Point3>& basePoint, const QString& prompt) override
    {
        return ToPoint(Call(members::kGetPoint, {basePoint ? ToCbor(*basePoint) : QCborValue(), prompt}));
    }
};

class TextStyleProxy : public AcadTextStyle, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    QString Name() override { return Call(members::kName).toString(); }
    void GetFont(QString& typeface, bool& bold, bool& italic, std::int32_t& charset, std::int32_t& pitchAndFamily) override
    {
        const QCborArray font = Call(members::kGetFont).toArray();
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
        Call(members::kSetFont, {typeface, bold, italic, charset, pitchAndFamily});
    }
};

class DocumentProxy : public AcadDocument, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::uint64_t hWnd() override { return static_cast<std::uint64_t>(Call(members::kHWnd).toInteger()); }
    std::shared_ptr<AcadModelSpace> ModelSpace() override { return Object<ModelSpaceProxy>(members::kModelSpace); }
    std::shared_ptr<AcadLayers> Layers() override { return Object<LayersProxy>(members::kLayers); }
    AcadLayerPtr ActiveLayer() override { return Object<LayerProxy>(members::kActiveLayer); }
    void SetActiveLayer(const AcadLayerPtr& layer) override
    {
        const auto* proxy = dynamic_cast<const LayerProxy*>(layer.get());
        if (!proxy)
            throw CadError(kInvalidArgument, QStringLiteral("The layer does not belong to this drawing."));
        Call(members::kPutActiveLayer, {HandleOf(*proxy).ToCbor()});
    }
    void SetActiveLayerUnanswered(const AcadLayerPtr& layer) override
    {
        const auto* proxy = dynamic_cast<const LayerProxy*>(layer.get());
        if (!proxy)
            throw CadError(kInvalidArgument, QStringLiteral("The layer does not belong to this drawing."));
        Send(members::kPutActiveLayer, {HandleOf(*proxy).ToCbor()});
    }
    void AwaitUnanswered() override { m_link->AwaitUnanswered(); }
    std::shared_ptr<AcadTextStyle> ActiveTextStyle() override { return Object<TextStyleProxy>(members::kActiveTextStyle); }
    std::shared_ptr<AcadSelectionSets> SelectionSets() override { return Object<SelectionSetsProxy>(members::kSelectionSets); }
    std::shared_ptr<AcadUtility> Utility() override { return Object<UtilityProxy>(members::kUtility); }
    std::shared_ptr<AcadLineTypes> lineTypes() override { return Object<LineTypesProxy>(members::kLineTypes); }
    void SetVariable(const QString& name, std::int16_t value) override { Call(members::kSetVariable, {name, value}); }
    std::int16_t GetVariable(const QString& name) override
    {
        return static_cast<std::int16_t>(Call(members::kGetVariable, {name}).toInteger());
    }
    void Regen(std::int16_t which) override { Call(members::kRegen, {which}); }
    bool Saved() override { return Call(members::kSaved).toBool(); }
    QString Name() override { return Call(members::kName).toString(); }
    QString FullName() override { return Call(members::kFullName).toString(); }
    void Save() override { Call(members::kSave); }
    void SaveAs(const QString& path) override { Call(members::kSaveAs, {path}); }
    void Close() override { Call(members::kClose); }
};

class DocumentsProxy : public AcadDocuments, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadDocumentPtr Add() override { return Object<DocumentProxy>(members::kAdd); }
    AcadDocumentPtr Open(const QString& path) override { return Object<DocumentProxy>(members::kOpen, {path}); }
    std::int32_t Count() override { return ToInt32(Call(members::kCount)); }
    AcadDocumentPtr Item(std::int32_t index) override { return Object<DocumentProxy>(members::kItem, {index}); }
};

class ApplicationProxy : public AcadApplication, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    bool IsLive() const override { return m_link->IsConnected(); }
    bool Visible() override { return Call(members::kVisible).toBool(); }
    void SetVisible(bool visible) override { Call(members::kPutVisible, {visible}); }
    AcadDocumentPtr ActiveDocument() override { return Object<DocumentProxy>(members::kActiveDocument); }
    std::shared_ptr<AcadDocuments> Documents() override { return Object<DocumentsProxy>(members::kDocuments); }
    QString Name() override { return Call(members::kName).toString(); }
    void Quit() override { Call(members::kQuit); }
    std::int64_t ProcessId() override { return Call(members::kProcessId).toInteger(); }
    std::uint64_t RootWindow(std::uint64_t hwnd) override
    {
        return static_cast<std::uint64_t>(Call(members::kRootWindow, {static_cast<qint64>(hwnd)}).toInteger());
    }
    void ActivateWindow(std::uint64_t hwnd) override { Call(members::kActivateWindow, {static_cast<qint64>(hwnd)}); }
    const LinkPtr& Link() const { return m_link; }
};

template <typename T>
std::shared_ptr<T> ProxyBase::Object(const QString& member, const QCborArray& args) const
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
