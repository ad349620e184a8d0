// The client proxy of the object model over the automation link.
#include "cad/CadProxy.h"

#include <QCborArray>

#include "cad/CadError.h"
#include "cad/CadLink.h"

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
    std::int64_t ObjectID() override { return Call(QStringLiteral("ObjectID")).toInteger(); }
    QString ObjectName() override { return Call(QStringLiteral("ObjectName")).toString(); }
    QString Layer() override { return Call(QStringLiteral("Layer")).toString(); }
    void Update() override { Call(QStringLiteral("Update")); }
    std::int16_t Alignment() override { return static_cast<std::int16_t>(Call(QStringLiteral("Alignment")).toInteger()); }
    void SetAlignment(std::int16_t alignment) override { Call(QStringLiteral("put_Alignment"), {alignment}); }
    Point3 TextAlignmentPoint() override { return ToPoint(Call(QStringLiteral("TextAlignmentPoint"))); }
    void SetTextAlignmentPoint(const Point3& point) override { Call(QStringLiteral("put_TextAlignmentPoint"), {ToCbor(point)}); }
    double Rotation() override { return Call(QStringLiteral("Rotation")).toDouble(); }
    void SetRotation(double radians) override { Call(QStringLiteral("put_Rotation"), {radians}); }
    double Height() override { return Call(QStringLiteral("Height")).toDouble(); }
    void SetHeight(double height) override { Call(QStringLiteral("put_Height"), {height}); }
    QString TextString() override { return Call(QStringLiteral("TextString")).toString(); }
};

class ModelSpaceProxy : public AcadModelSpace, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadEntityPtr AddLine(const Point3& start, const Point3& end) override
    {
        return Entity(QStringLiteral("AddLine"), {ToCbor(start), ToCbor(end)});
    }
    AcadEntityPtr AddText(const QString& text, const Point3& insertion, double height) override
    {
        return Entity(QStringLiteral("AddText"), {text, ToCbor(insertion), height});
    }
    AcadEntityPtr AddPoint(const Point3& point) override { return Entity(QStringLiteral("AddPoint"), {ToCbor(point)}); }
    AcadEntityPtr AddPolyline(const std::vector<double>& vertices) override
    {
        return Entity(QStringLiteral("AddPolyline"), Single(Doubles(vertices)));
    }
    AcadEntityPtr AddLightWeightPolyline(const std::vector<double>& vertices) override
    {
        return Entity(QStringLiteral("AddLightWeightPolyline"), Single(Doubles(vertices)));
    }
    AcadEntityPtr AddSolid(const Point3& p1, const Point3& p2, const Point3& p3, const Point3& p4) override
    {
        return Entity(QStringLiteral("AddSolid"), {ToCbor(p1), ToCbor(p2), ToCbor(p3), ToCbor(p4)});
    }
    std::int32_t Count() override { return ToInt32(Call(QStringLiteral("Count"))); }

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
    QString Name() override { return Call(QStringLiteral("Name")).toString(); }
    std::int32_t Color() override { return ToInt32(Call(QStringLiteral("Color"))); }
    void SetColor(std::int32_t colorIndex) override { Call(QStringLiteral("put_Color"), {colorIndex}); }
    QString Linetype() override { return Call(QStringLiteral("Linetype")).toString(); }
    void SetLinetype(const QString& name) override { Call(QStringLiteral("put_Linetype"), {name}); }
    bool LayerOn() override { return Call(QStringLiteral("LayerOn")).toBool(); }
    void SetLayerOn(bool on) override { Call(QStringLiteral("put_LayerOn"), {on}); }
    bool Freeze() override { return Call(QStringLiteral("Freeze")).toBool(); }
    void SetFreeze(bool frozen) override { Call(QStringLiteral("put_Freeze"), {frozen}); }
    bool Lock() override { return Call(QStringLiteral("Lock")).toBool(); }
    void SetLock(bool locked) override { Call(QStringLiteral("put_Lock"), {locked}); }
    void Delete() override { Call(QStringLiteral("Delete")); }
};

class LayersProxy : public AcadLayers, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::int32_t Count() override { return ToInt32(Call(QStringLiteral("Count"))); }
    AcadLayerPtr Item(std::int32_t index) override { return Layer(QStringLiteral("Item"), {index}); }
    AcadLayerPtr Item(const QString& name) override { return Layer(QStringLiteral("Item"), {name}); }
    AcadLayerPtr Add(const QString& name) override { return Layer(QStringLiteral("Add"), {name}); }

private:
    AcadLayerPtr Layer(const QString& member, const QCborArray& args)
    {
        return std::make_shared<LayerProxy>(m_link, ToHandle(Call(member, args)));
    }
};

class LineTypesProxy : public AcadLineTypes, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::int32_t Count() override { return ToInt32(Call(QStringLiteral("Count"))); }
    QString Name(std::int32_t index) override { return Call(QStringLiteral("Item"), {index}).toString(); }
    void Load(const QString& name, const QString& fileName) override { Call(QStringLiteral("Load"), {name, fileName}); }
};

class SelectionSetProxy : public AcadSelectionSet, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    QString Name() override { return Call(QStringLiteral("Name")).toString(); }
    void Select(std::int16_t mode, const std::optional<Point3>& corner1, const std::optional<Point3>& corner2,
                const std::vector<std::int16_t>& filterTypes, const QStringList& filterData) override
    {
        QCborArray types;
        for (std::int16_t t : filterTypes)
            types.append(t);
        QCborArray data;
        for (const QString& d : filterData)
            data.append(d);
        Call(QStringLiteral("Select"), {mode, corner1 ? ToCbor(*corner1) : QCborValue(),
                                        corner2 ? ToCbor(*corner2) : QCborValue(), types, data});
    }
    std::int32_t count() override { return ToInt32(Call(QStringLiteral("count"))); }
    AcadEntityPtr Item(std::int32_t index) override
    {
        return std::make_shared<EntityProxy>(m_link, ToHandle(Call(QStringLiteral("Item"), {index})));
    }
    void Erase() override { Call(QStringLiteral("Erase")); }
    void Delete() override { Call(QStringLiteral("Delete")); }
};

class SelectionSetsProxy : public AcadSelectionSets, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadSelectionSetPtr Add(const QString& name) override { return Set(QStringLiteral("Add"), name); }
    AcadSelectionSetPtr Item(const QString& name) override { return Set(QStringLiteral("Item"), name); }
    std::int32_t Count() override { return ToInt32(Call(QStringLiteral("Count"))); }

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
        return ToPoint(Call(QStringLiteral("GetPoint"), {basePoint ? ToCbor(*basePoint) : QCborValue(), prompt}));
    }
};

class TextStyleProxy : public AcadTextStyle, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    QString Name() override { return Call(QStringLiteral("Name")).toString(); }
    void GetFont(QString& typeface, bool& bold, bool& italic, std::int32_t& charset, std::int32_t& pitchAndFamily) override
    {
        const QCborArray font = Call(QStringLiteral("GetFont")).toArray();
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
        Call(QStringLiteral("SetFont"), {typeface, bold, italic, charset, pitchAndFamily});
    }
};

class DocumentProxy : public AcadDocument, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    std::uint64_t hWnd() override { return static_cast<std::uint64_t>(Call(QStringLiteral("hWnd")).toInteger()); }
    std::shared_ptr<AcadModelSpace> ModelSpace() override { return Object<ModelSpaceProxy>(QStringLiteral("ModelSpace")); }
    std::shared_ptr<AcadLayers> Layers() override { return Object<LayersProxy>(QStringLiteral("Layers")); }
    AcadLayerPtr ActiveLayer() override { return Object<LayerProxy>(QStringLiteral("ActiveLayer")); }
    void SetActiveLayer(const AcadLayerPtr& layer) override
    {
        const auto* proxy = dynamic_cast<const LayerProxy*>(layer.get());
        if (!proxy)
            throw CadError(kInvalidArgument, QStringLiteral("The layer does not belong to this drawing."));
        Call(QStringLiteral("put_ActiveLayer"), {HandleOf(*proxy).ToCbor()});
    }
    std::shared_ptr<AcadTextStyle> ActiveTextStyle() override { return Object<TextStyleProxy>(QStringLiteral("ActiveTextStyle")); }
    std::shared_ptr<AcadSelectionSets> SelectionSets() override { return Object<SelectionSetsProxy>(QStringLiteral("SelectionSets")); }
    std::shared_ptr<AcadUtility> Utility() override { return Object<UtilityProxy>(QStringLiteral("Utility")); }
    std::shared_ptr<AcadLineTypes> lineTypes() override { return Object<LineTypesProxy>(QStringLiteral("lineTypes")); }
    void SetVariable(const QString& name, std::int16_t value) override { Call(QStringLiteral("SetVariable"), {name, value}); }
    std::int16_t GetVariable(const QString& name) override
    {
        return static_cast<std::int16_t>(Call(QStringLiteral("GetVariable"), {name}).toInteger());
    }
    void Regen(std::int16_t which) override { Call(QStringLiteral("Regen"), {which}); }
    bool Saved() override { return Call(QStringLiteral("Saved")).toBool(); }
    QString Name() override { return Call(QStringLiteral("Name")).toString(); }
    QString FullName() override { return Call(QStringLiteral("FullName")).toString(); }
    void Save() override { Call(QStringLiteral("Save")); }
    void SaveAs(const QString& path) override { Call(QStringLiteral("SaveAs"), {path}); }
    void Close() override { Call(QStringLiteral("Close")); }
};

class DocumentsProxy : public AcadDocuments, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    AcadDocumentPtr Add() override { return Object<DocumentProxy>(QStringLiteral("Add")); }
    AcadDocumentPtr Open(const QString& path) override { return Object<DocumentProxy>(QStringLiteral("Open"), {path}); }
    std::int32_t Count() override { return ToInt32(Call(QStringLiteral("Count"))); }
    AcadDocumentPtr Item(std::int32_t index) override { return Object<DocumentProxy>(QStringLiteral("Item"), {index}); }
};

class ApplicationProxy : public AcadApplication, public ProxyBase {
public:
    using ProxyBase::ProxyBase;
    bool IsLive() const override { return m_link->IsConnected(); }
    bool Visible() override { return Call(QStringLiteral("Visible")).toBool(); }
    void SetVisible(bool visible) override { Call(QStringLiteral("put_Visible"), {visible}); }
    AcadDocumentPtr ActiveDocument() override { return Object<DocumentProxy>(QStringLiteral("ActiveDocument")); }
    std::shared_ptr<AcadDocuments> Documents() override { return Object<DocumentsProxy>(QStringLiteral("Documents")); }
    QString Name() override { return Call(QStringLiteral("Name")).toString(); }
    void Quit() override { Call(QStringLiteral("Quit")); }
    std::int64_t ProcessId() override { return Call(QStringLiteral("ProcessId")).toInteger(); }
    std::uint64_t RootWindow(std::uint64_t hwnd) override
    {
        return static_cast<std::uint64_t>(Call(QStringLiteral("RootWindow"), {static_cast<qint64>(hwnd)}).toInteger());
    }
    void ActivateWindow(std::uint64_t hwnd) override { Call(QStringLiteral("ActivateWindow"), {static_cast<qint64>(hwnd)}); }
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
