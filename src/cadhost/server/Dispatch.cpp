// The member table's handlers on the host: the arguments read and checked, the engine called, the
// result or the failure's code and text returned. A member is found by its row, never by a chain
// of name comparisons.
#include "cadhost/server/Dispatch.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QVariant>

#include "cadlink/ErrorCodes.h"
#include "cadhost/engine/Document.h"
#include "cadhost/engine/DocumentList.h"
#include "cadhost/engine/DxfFile.h"
#include "cadhost/engine/EngineError.h"
#include "cadhost/server/HostFrontEnd.h"

namespace cadhost {

using ardela::cad::Arguments;
using ardela::cad::Handle;
using ardela::cad::HandleKind;
using ardela::cad::Member;
using ardela::cad::MemberRow;
namespace wire = ardela::cad::wire;
namespace codes = ardela::cad;
using Argument = Arguments::Value;

namespace {

// A failed call: the automation code and the text the caller receives.
struct CallError {
    std::uint32_t code;
    QString text;
};

[[noreturn]] void Fail(std::uint32_t code, const QString& text)
{
    throw CallError{code, text};
}

[[noreturn]] void NoMember(const QString& member)
{
    Fail(codes::kMemberNotFound, QStringLiteral("Unknown member \"%1\".").arg(member));
}

// The argument count the member's row allows.
void ExpectArgs(const MemberRow& row, const Arguments& args)
{
    if (row.minArgs == row.maxArgs && args.Size() != row.minArgs)
        Fail(codes::kInvalidArgument, QStringLiteral("Expected %1 argument(s), got %2.").arg(row.minArgs).arg(args.Size()));
    if (args.Size() < row.minArgs || args.Size() > row.maxArgs)
        Fail(codes::kInvalidArgument,
             QStringLiteral("Expected %1 to %2 argument(s), got %3.").arg(row.minArgs).arg(row.maxArgs).arg(args.Size()));
}

QString StringArg(const Arguments& args, qsizetype i)
{
    if (!args[i].IsText())
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be a text.").arg(i + 1));
    return args[i].Text();
}

// An integer is taken where a double is expected; nothing else is.
bool IsNumber(Argument v)
{
    return v.IsDouble() || v.IsInteger();
}

double DoubleArg(const Arguments& args, qsizetype i)
{
    if (!IsNumber(args[i]))
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be a number.").arg(i + 1));
    return args[i].Double();
}

qint64 IntegerArg(const Arguments& args, qsizetype i)
{
    if (!args[i].IsInteger())
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be an integer.").arg(i + 1));
    return args[i].Integer();
}

bool BoolArg(const Arguments& args, qsizetype i)
{
    if (!args[i].IsBool())
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be true or false.").arg(i + 1));
    return args[i].Bool();
}

// Two or three numbers; a missing z is 0.
Point3 PointArg(const Arguments& args, qsizetype position)
{
    const Argument value = args[position];
    if (!value.IsArray() || value.Size() < 2 || value.Size() > 3)
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be a point of three numbers.").arg(position + 1));
    double xyz[3] = {0.0, 0.0, 0.0};
    for (qsizetype i = 0; i < value.Size(); ++i) {
        if (!IsNumber(value[i]))
            Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be a point of three numbers.").arg(position + 1));
        xyz[i] = value[i].Double();
    }
    return {xyz[0], xyz[1], xyz[2]};
}

std::optional<Point3> OptionalPointArg(const Arguments& args, qsizetype i)
{
    if (args[i].IsNull() || args[i].IsUndefined())
        return std::nullopt;
    return PointArg(args, i);
}

std::vector<double> DoublesArg(const Arguments& args, qsizetype i)
{
    const Argument values = args[i];
    if (!values.IsArray())
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be an array of numbers.").arg(i + 1));
    std::vector<double> result;
    result.reserve(std::size_t(values.Size()));
    for (qsizetype k = 0; k < values.Size(); ++k) {
        if (!IsNumber(values[k]))
            Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be an array of numbers.").arg(i + 1));
        result.push_back(values[k].Double());
    }
    return result;
}

QCborValue FromPoint(const Point3& p)
{
    return QCborArray{p.x, p.y, p.z};
}

// The automation code of an engine failure. Whatever was erased or deleted (an entity, a layer,
// a selection set) answers with one code wherever it is met; a closed document is the link's
// "disconnected".
std::uint32_t CodeOf(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::InvalidArgument:
        return codes::kInvalidArgument;
    case ErrorKind::Gone:
        return codes::kDisconnected;
    case ErrorKind::Deleted:
        return codes::kHostFailed;
    case ErrorKind::Refused:
    default:
        return codes::kEngineRefused;
    }
}

// A selection filter given as its group codes and its values, two arrays of one length.
std::vector<FilterItem> FilterArgs(Argument types, Argument data)
{
    if (!types.IsArray() || !data.IsArray() || types.Size() != data.Size())
        Fail(codes::kInvalidArgument, QStringLiteral("The filter types and data must be arrays of one length."));
    std::vector<FilterItem> filter;
    for (qsizetype i = 0; i < types.Size(); ++i) {
        if (!types[i].IsInteger())
            Fail(codes::kInvalidArgument, QStringLiteral("A filter type is an integer group code."));
        FilterItem item;
        item.code = int(types[i].Integer());
        item.value = data[i].IsText() ? data[i].Text() : data[i].ToCbor().toVariant().toString();
        filter.push_back(item);
    }
    return filter;
}

const QString kSnapVariable = QStringLiteral("OSMODE");
const QString kLayerVariable = QStringLiteral("CLAYER");

// Each caller's selection sets are its own: the drawing knows them by the caller's number and
// the name the caller gave, so two callers may each have a "tempss" of their own.
QString SetKey(qint64 caller, const QString& name)
{
    return QStringLiteral("%1|%2").arg(caller).arg(name);
}

bool IsCallersSet(qint64 caller, const QString& key)
{
    return key.startsWith(SetKey(caller, QString()));
}

// The name the caller gave the set.
QString SetNameOf(const QString& key)
{
    return key.mid(key.indexOf(QLatin1Char('|')) + 1);
}

// The caller's own sets of the document, in the order they were added.
std::vector<SelectionSet*> SetsOf(Document& doc, qint64 caller)
{
    std::vector<SelectionSet*> sets;
    for (int i = 0; i < doc.SelectionSetCount(); ++i)
        if (IsCallersSet(caller, doc.SelectionSetAt(i).Name()))
            sets.push_back(&doc.SelectionSetAt(i));
    return sets;
}

// While it lives, the document's additions go to `layer` (empty: its active layer).
class AdditionLayerScope {
public:
    AdditionLayerScope(Document& doc, const QString& layer) : m_doc(doc) { m_doc.SetAdditionLayer(layer); }
    ~AdditionLayerScope() { m_doc.SetAdditionLayer(QString()); }
    AdditionLayerScope(const AdditionLayerScope&) = delete;
    AdditionLayerScope& operator=(const AdditionLayerScope&) = delete;

private:
    Document& m_doc;
};

} // namespace

// One request on its way through its handler: the object the handle names, already found.
struct Dispatcher::Call {
    Dispatcher& host;
    QLocalSocket* caller;
    CallerState& own;                       // what this caller chose
    const QCborValue& id;
    const Arguments& args;
    Document* doc = nullptr;                // every object but the application and the documents
    qint64 docNumber = 0;
    const Layer* layer = nullptr;           // a layer handle
    SelectionSet* set = nullptr;            // a selection set handle
    std::int64_t entityId = 0;              // an entity handle
    const Entity* entity = nullptr;
    bool deferred = false;

    // The entity as a text; the text members answer on nothing else.
    const Entity& Text() const
    {
        const Entity& e = doc->Get(entityId);
        if (e.kind != EntityKind::Text)
            Fail(codes::kMemberNotFound, QStringLiteral("Only a text has this member."));
        return e;
    }
    // The entity as a line, or as a polyline; their members answer on nothing else.
    const Entity& Line() const
    {
        if (entity->kind != EntityKind::Line)
            Fail(codes::kMemberNotFound, QStringLiteral("Only a line has this member."));
        return *entity;
    }
    const Entity& Polyline() const
    {
        if (entity->kind != EntityKind::LwPolyline && entity->kind != EntityKind::Polyline3d)
            Fail(codes::kMemberNotFound, QStringLiteral("Only a polyline has this member."));
        return *entity;
    }
    QCborValue HandleTo(HandleKind kind, const QCborValue& key = QCborValue()) const
    {
        return host.HandleOf(kind, *doc, key);
    }
    // The layer this caller's additions go to and that it reads as the active one: the one it
    // made active, else the drawing's.
    QString OwnLayer() const
    {
        const QString own = host.CallerLayer(this->own, docNumber);
        return own.isEmpty() ? doc->ActiveLayer() : own;
    }
    // Makes `name` this caller's active layer, and the drawing's (the host shows the last one set).
    void MakeOwnLayerActive(const QString& name)
    {
        doc->SetActiveLayer(name);
        own.activeLayers[docNumber] = doc->ActiveLayer();
    }
    // Refuses to delete or freeze a layer some caller adds to.
    void RefuseIfSomeonesActiveLayer(const QString& name, const QString& what) const
    {
        const CallerState* user = host.CallerWithActiveLayer(docNumber, name);
        if (user == &own)
            Fail(codes::kEngineRefused, QStringLiteral("The layer \"%1\" is the active layer and cannot be %2.").arg(name, what));
        if (user)
            Fail(codes::kEngineRefused,
                 QStringLiteral("The layer \"%1\" is the active layer of another program drawing here and cannot be %2.").arg(name, what));
    }
    // The caller's own set of that name; nullptr when it has none.
    SelectionSet* OwnSet(const QString& name) const { return doc->FindSelectionSet(SetKey(own.number, name)); }
    // After a save: no one can be asked for a call of the link, so what the file could not keep
    // is told to the engineer in the host.
    void NoteLeftOut(const QString& leftOut) const
    {
        if (leftOut.isEmpty())
            return;
        host.m_frontEnd.Note(QStringLiteral("%1 was saved without what this program does not keep: %2.").arg(doc->Name(), leftOut));
        doc->SetLeftOut(QString());
    }
};

Dispatcher::Dispatcher(HostFrontEnd& frontEnd, ReplyChannel& channel, QObject* parent)
    : QObject(parent), m_frontEnd(frontEnd), m_channel(channel)
{
    // A closed document's number dies with it, before another document can take its address.
    QPointer<Dispatcher> self(this);
    m_frontEnd.SetClosingListener([self](Document* doc) {
        if (!self)
            return;
        const auto found = self->m_numbers.find(doc);
        if (found != self->m_numbers.end())
            self->ForgetDocument(found->second);
    });
}

void Dispatcher::ForgetCaller(QLocalSocket* caller)
{
    const auto found = m_callers.find(caller);
    if (found == m_callers.end())
        return;
    const qint64 number = found->second.number;
    m_callers.erase(found);
    ForgetClosedDocuments();
    for (const auto& [docNumber, doc] : m_documents)
        for (SelectionSet* set : SetsOf(*doc, number))
            doc->DeleteSelectionSet(set->Name());
}

Dispatcher::CallerState& Dispatcher::StateOf(QLocalSocket* caller)
{
    CallerState& state = m_callers[caller];
    if (state.number == 0)
        state.number = m_nextCaller++;
    return state;
}

QString Dispatcher::CallerLayer(const CallerState& caller, qint64 document) const
{
    const auto found = caller.activeLayers.find(document);
    return found == caller.activeLayers.end() ? QString() : found->second;
}

const Dispatcher::CallerState* Dispatcher::CallerWithActiveLayer(qint64 document, const QString& name) const
{
    for (const auto& [socket, state] : m_callers)
        if (CallerLayer(state, document).compare(name, Qt::CaseInsensitive) == 0)
            return &state;
    return nullptr;
}

template <typename F>
Outcome Dispatcher::Guarded(F&& call)
{
    Outcome outcome;
    try {
        call(outcome);
    } catch (const CallError& error) {
        outcome.error = error.code;
        outcome.text = error.text;
    } catch (const EngineError& error) {
        outcome.error = CodeOf(error.Kind());
        outcome.text = error.Message();
    } catch (const std::exception& error) {
        outcome.error = codes::kHostFailed;
        outcome.text = QString::fromUtf8(error.what());
    }
    return outcome;
}

Outcome Dispatcher::Dispatch(QLocalSocket* caller, const ardela::cad::Request& request)
{
    return Guarded([&](Outcome& outcome) {
        outcome.result = Invoke(caller, QCborValue(request.id), request.handle, request.member, request.args,
                                outcome.deferred);
    });
}

Outcome Dispatcher::Dispatch(QLocalSocket* caller, const QCborMap& request)
{
    return Guarded([&](Outcome& outcome) {
        const QCborValue id = request.value(wire::kId);
        if (!id.isInteger())
            Fail(codes::kMalformedMessage, QStringLiteral("The request has no call id."));
        const std::optional<Handle> handle = Handle::FromCbor(request.value(wire::kHandle));
        if (!handle)
            Fail(codes::kInvalidArgument, QStringLiteral("The request names no object."));
        const QCborValue member = request.value(wire::kMember);
        if (!member.isString())
            Fail(codes::kMalformedMessage, QStringLiteral("The request names no member."));
        const QCborValue args = request.value(wire::kArgs);
        if (!args.isArray() && !args.isUndefined())
            Fail(codes::kMalformedMessage, QStringLiteral("The arguments are not an array."));
        outcome.result = Invoke(caller, id, *handle, member.toString(), Arguments(args.toArray()), outcome.deferred);
    });
}

QCborValue Dispatcher::Invoke(QLocalSocket* caller, const QCborValue& id, const Handle& handle, const QString& member,
                              const Arguments& args, bool& deferred)
{
    Call call{*this, caller, StateOf(caller), id, args};
    // The object first: a closed drawing or a deleted object says so whatever was asked of it.
    std::optional<Document::Step> step;
    std::optional<AdditionLayerScope> additions;
    if (handle.kind != HandleKind::Application && handle.kind != HandleKind::Documents) {
        call.doc = &DocumentOf(handle.document);
        call.docNumber = handle.document;
        // Each call is one step the engineer can undo (Close ends the document itself).
        if (!(handle.kind == HandleKind::Document && member == RowOf(Member::DocClose).name))
            step.emplace(*call.doc);
    }
    switch (handle.kind) {
    case HandleKind::Layer: {
        if (!handle.key.isString())
            Fail(codes::kInvalidArgument, QStringLiteral("A layer handle carries the layer's name."));
        call.layer = call.doc->Layers().Find(handle.key.toString());
        if (!call.layer)
            Fail(codes::kHostFailed, QStringLiteral("The layer \"%1\" has been deleted.").arg(handle.key.toString()));
        break;
    }
    case HandleKind::SelectionSet:
        if (!handle.key.isString())
            Fail(codes::kInvalidArgument, QStringLiteral("A selection set handle carries the set's name."));
        call.set = call.OwnSet(handle.key.toString());
        if (!call.set)
            Fail(codes::kHostFailed, QStringLiteral("The selection set \"%1\" has been deleted.").arg(handle.key.toString()));
        break;
    case HandleKind::Entity:
        if (!handle.key.isInteger())
            Fail(codes::kInvalidArgument, QStringLiteral("An entity handle carries its ObjectID."));
        call.entityId = handle.key.toInteger();
        call.entity = call.doc->Find(call.entityId);
        if (!call.entity)
            Fail(codes::kHostFailed, QStringLiteral("The object %1 has been erased.").arg(call.entityId));
        break;
    case HandleKind::ModelSpace: {
        // Additions go to the layer this caller made active, whatever another caller did since.
        const QString own = CallerLayer(call.own, handle.document);
        if (!own.isEmpty() && member.startsWith(QLatin1String("Add")) && !call.doc->Layers().Find(own))
            Fail(codes::kHostFailed, QStringLiteral("The layer \"%1\", made active by this program, has been deleted.").arg(own));
        additions.emplace(*call.doc, own);
        break;
    }
    default:
        break;
    }
    const MemberRow* row = ardela::cad::FindMember(handle.kind, member);
    if (!row || (row->testingAid && !m_testingAids))
        NoMember(member);
    ExpectArgs(*row, args);
    QCborValue result = Handlers()[static_cast<std::size_t>(row->member)](call);
    deferred = call.deferred;
    return result;
}

bool Dispatcher::EveryMemberHasAHandler()
{
    const auto& handlers = Handlers();
    return std::all_of(handlers.begin(), handlers.end(), [](Handler h) { return h != nullptr; });
}

const std::array<Dispatcher::Handler, ardela::cad::kMemberCount>& Dispatcher::Handlers()
{
    static const std::array<Handler, ardela::cad::kMemberCount> table = [] {
        std::array<Handler, ardela::cad::kMemberCount> t{};
        const auto on = [&t](Member member, Handler handler) { t[static_cast<std::size_t>(member)] = handler; };
        using V = QCborValue;

        // The application
        on(Member::AppName, [](Call&) -> V { return QStringLiteral("cadhost"); });
        on(Member::AppActiveDocument, [](Call& c) -> V {
            Document* active = c.host.m_frontEnd.Documents().Active();
            if (!active)
                Fail(codes::kHostFailed, QStringLiteral("No drawing is open."));
            return c.host.HandleOf(HandleKind::Document, *active);
        });
        on(Member::AppDocuments, [](Call&) -> V { return Handle{HandleKind::Documents, 0, QCborValue()}.ToCbor(); });
        on(Member::AppVisible, [](Call& c) -> V { return c.host.m_frontEnd.IsVisible(); });
        on(Member::AppPutVisible, [](Call& c) -> V {
            c.host.m_frontEnd.SetVisible(BoolArg(c.args, 0));
            return V();
        });
        on(Member::AppQuit, [](Call& c) -> V {
            // The reply leaves first; the host ends once the event loop is back.
            Dispatcher* host = &c.host;
            QTimer::singleShot(0, host, [host] {
                host->m_channel.FlushAll();
                host->m_frontEnd.Quit();
            });
            return V();
        });
        on(Member::AppProcessId, [](Call&) -> V { return qint64(::getpid()); });
        on(Member::AppRootWindow, [](Call& c) -> V {
            return qint64(c.host.m_frontEnd.RootWindow(std::uint64_t(IntegerArg(c.args, 0))));
        });
        on(Member::AppActivateWindow, [](Call& c) -> V {
            c.host.m_frontEnd.ActivateWindow(std::uint64_t(IntegerArg(c.args, 0)));
            return V();
        });
        // Testing aid: whether a point request waits for input.
        on(Member::AppPointPending, [](Call& c) -> V { return c.host.m_frontEnd.PointPending(); });
        // Testing aid: [kind, point or null, text].
        on(Member::AppSimulateInput, [](Call& c) -> V {
            static const std::map<QString, SimulatedInput::Kind> kinds{
                {QStringLiteral("click"), SimulatedInput::Kind::Click},
                {QStringLiteral("rightclick"), SimulatedInput::Kind::RightClick},
                {QStringLiteral("type"), SimulatedInput::Kind::Type},
                {QStringLiteral("enter"), SimulatedInput::Kind::Enter},
                {QStringLiteral("escape"), SimulatedInput::Kind::Escape},
            };
            const auto kind = kinds.find(StringArg(c.args, 0));
            if (kind == kinds.end())
                Fail(codes::kInvalidArgument, QStringLiteral("Unknown kind of input."));
            SimulatedInput input;
            input.kind = kind->second;
            if (std::optional<Point3> at = OptionalPointArg(c.args, 1))
                input.point = *at;
            if (c.args[2].IsText())
                input.text = c.args[2].Text();
            c.host.m_frontEnd.SimulateInput(input);
            return V();
        });

        // The documents
        on(Member::DocsCount, [](Call& c) -> V { return c.host.m_frontEnd.Documents().Count(); });
        on(Member::DocsItem, [](Call& c) -> V {
            const qint64 index = IntegerArg(c.args, 0);
            if (index < 0 || index >= c.host.m_frontEnd.Documents().Count())
                Fail(codes::kKeyNotFound, QStringLiteral("There is no drawing %1.").arg(index));
            return c.host.HandleOf(HandleKind::Document, c.host.m_frontEnd.Documents().Item(int(index)));
        });
        on(Member::DocsAdd, [](Call& c) -> V { return c.host.HandleOf(HandleKind::Document, c.host.m_frontEnd.AddDocument()); });
        on(Member::DocsOpen, [](Call& c) -> V {
            return c.host.HandleOf(HandleKind::Document, c.host.m_frontEnd.OpenDocument(StringArg(c.args, 0)));
        });

        // A document
        on(Member::DocModelSpace, [](Call& c) -> V { return c.HandleTo(HandleKind::ModelSpace); });
        on(Member::DocLayers, [](Call& c) -> V { return c.HandleTo(HandleKind::Layers); });
        on(Member::DocActiveTextStyle, [](Call& c) -> V { return c.HandleTo(HandleKind::TextStyle); });
        on(Member::DocSelectionSets, [](Call& c) -> V { return c.HandleTo(HandleKind::SelectionSets); });
        on(Member::DocUtility, [](Call& c) -> V { return c.HandleTo(HandleKind::Utility); });
        on(Member::DocLineTypes, [](Call& c) -> V { return c.HandleTo(HandleKind::LineTypes); });
        on(Member::DocName, [](Call& c) -> V { return c.doc->Name(); });
        on(Member::DocFullName, [](Call& c) -> V { return c.doc->FullName(); });
        on(Member::DocSaved, [](Call& c) -> V { return c.doc->Saved(); });
        on(Member::DocHWnd, [](Call& c) -> V { return qint64(c.host.m_frontEnd.DocumentWindow(*c.doc)); });
        on(Member::DocActiveLayer, [](Call& c) -> V { return c.HandleTo(HandleKind::Layer, c.OwnLayer()); });
        on(Member::DocPutActiveLayer, [](Call& c) -> V {
            const std::optional<Handle> layer = Handle::FromCbor(c.args[0].ToCbor());
            if (!layer || layer->kind != HandleKind::Layer || !layer->key.isString() || layer->document != c.host.NumberOf(*c.doc))
                Fail(codes::kInvalidArgument, QStringLiteral("The active layer must be a layer of this drawing."));
            c.MakeOwnLayerActive(layer->key.toString());
            return V();
        });
        on(Member::DocSetVariable, [](Call& c) -> V {
            const Argument value = c.args[1];
            if (StringArg(c.args, 0).compare(kLayerVariable, Qt::CaseInsensitive) == 0)
                c.MakeOwnLayerActive(StringArg(c.args, 1));
            else if (value.IsInteger())
                c.doc->SetVariable(StringArg(c.args, 0), QVariant(qlonglong(value.Integer())));
            else if (value.IsDouble())
                c.doc->SetVariable(StringArg(c.args, 0), QVariant(value.Double()));
            else if (value.IsText())
                c.doc->SetVariable(StringArg(c.args, 0), QVariant(value.Text()));
            else
                Fail(codes::kInvalidArgument, QStringLiteral("A system variable takes a number or a text."));
            return V();
        });
        on(Member::DocGetVariable, [](Call& c) -> V {
            // What the view shows: its centre, its height in drawing units, its size in pixels.
            const QString name = StringArg(c.args, 0);
            if (name.compare(kLayerVariable, Qt::CaseInsensitive) == 0)
                return c.OwnLayer();
            if (const std::optional<ViewArea> view = c.host.m_frontEnd.View(*c.doc)) {
                if (name.compare(QLatin1String("VIEWCTR"), Qt::CaseInsensitive) == 0)
                    return QCborArray{view->centerX, view->centerY, 0.0};
                if (name.compare(QLatin1String("VIEWSIZE"), Qt::CaseInsensitive) == 0)
                    return view->height;
                if (name.compare(QLatin1String("SCREENSIZE"), Qt::CaseInsensitive) == 0)
                    return QCborArray{double(view->widthPixels), double(view->heightPixels)};
            }
            const QVariant value = c.doc->GetVariable(name);
            if (value.typeId() == QMetaType::Double)
                return value.toDouble();
            if (value.typeId() == QMetaType::QString)
                return value.toString();
            return qint64(value.toLongLong());
        });
        on(Member::DocRegen, [](Call& c) -> V {
            IntegerArg(c.args, 0);
            c.host.m_frontEnd.Regen(*c.doc);
            return V();
        });
        on(Member::DocSave, [](Call& c) -> V {
            const QString leftOut = c.doc->LeftOut();
            SaveDocument(*c.doc);
            c.NoteLeftOut(leftOut);
            return V();
        });
        on(Member::DocSaveAs, [](Call& c) -> V {
            const QString leftOut = c.doc->LeftOut();
            SaveDocument(*c.doc, StringArg(c.args, 0));
            c.NoteLeftOut(leftOut);
            return V();
        });
        on(Member::DocClose, [](Call& c) -> V {
            c.host.m_frontEnd.CloseDocument(*c.doc);
            c.host.ForgetClosedDocuments();
            return V();
        });
        on(Member::DocZoomWindow, [](Call& c) -> V {
            const Box2 window = Box2::FromCorners(PointArg(c.args, 0), PointArg(c.args, 1));
            if (!std::isfinite(window.minX) || !std::isfinite(window.minY) || !std::isfinite(window.maxX)
                || !std::isfinite(window.maxY))
                Fail(codes::kInvalidArgument, QStringLiteral("The window's corners must be finite."));
            c.host.m_frontEnd.ZoomWindow(*c.doc, window);
            return V();
        });

        // Model space
        on(Member::SpaceAddLine, [](Call& c) -> V {
            return c.HandleTo(HandleKind::Entity, qint64(c.doc->AddLine(PointArg(c.args, 0), PointArg(c.args, 1))));
        });
        on(Member::SpaceAddText, [](Call& c) -> V {
            return c.HandleTo(HandleKind::Entity,
                            qint64(c.doc->AddText(StringArg(c.args, 0), PointArg(c.args, 1), DoubleArg(c.args, 2))));
        });
        on(Member::SpaceAddPoint, [](Call& c) -> V {
            return c.HandleTo(HandleKind::Entity, qint64(c.doc->AddPoint(PointArg(c.args, 0))));
        });
        on(Member::SpaceAddPolyline, [](Call& c) -> V {
            return c.HandleTo(HandleKind::Entity, qint64(c.doc->AddPolyline(DoublesArg(c.args, 0))));
        });
        on(Member::SpaceAddLightWeightPolyline, [](Call& c) -> V {
            return c.HandleTo(HandleKind::Entity, qint64(c.doc->AddLightWeightPolyline(DoublesArg(c.args, 0))));
        });
        on(Member::SpaceAddSolid, [](Call& c) -> V {
            return c.HandleTo(HandleKind::Entity, qint64(c.doc->AddSolid(PointArg(c.args, 0), PointArg(c.args, 1),
                                                                       PointArg(c.args, 2), PointArg(c.args, 3))));
        });
        on(Member::SpaceCount, [](Call& c) -> V { return qint64(c.doc->EntityCount()); });

        // The layers and a layer
        on(Member::LayersCount, [](Call& c) -> V { return c.doc->Layers().Count(); });
        on(Member::LayersItem, [](Call& c) -> V {
            if (c.args[0].IsInteger()) {
                const qint64 index = c.args[0].Integer();
                if (index < 0 || index >= c.doc->Layers().Count())
                    Fail(codes::kKeyNotFound, QStringLiteral("There is no layer %1.").arg(index));
                return c.HandleTo(HandleKind::Layer, c.doc->Layers().At(int(index)).name);
            }
            const Layer* found = c.doc->Layers().Find(StringArg(c.args, 0));
            if (!found)
                Fail(codes::kKeyNotFound, QStringLiteral("There is no layer \"%1\".").arg(c.args[0].Text()));
            return c.HandleTo(HandleKind::Layer, found->name);
        });
        on(Member::LayersAdd, [](Call& c) -> V { return c.HandleTo(HandleKind::Layer, c.doc->AddLayer(StringArg(c.args, 0)).name); });
        on(Member::LayerName, [](Call& c) -> V { return c.layer->name; });
        on(Member::LayerColor, [](Call& c) -> V { return c.layer->color; });
        on(Member::LayerLinetype, [](Call& c) -> V { return c.layer->linetype; });
        on(Member::LayerOn, [](Call& c) -> V { return c.layer->on; });
        on(Member::LayerFreeze, [](Call& c) -> V { return c.layer->frozen; });
        on(Member::LayerLock, [](Call& c) -> V { return c.layer->locked; });
        on(Member::LayerDelete, [](Call& c) -> V {
            c.RefuseIfSomeonesActiveLayer(c.layer->name, QStringLiteral("deleted"));
            c.doc->DeleteLayer(c.layer->name);
            return V();
        });
        on(Member::LayerPutColor, [](Call& c) -> V {
            const qint64 color = IntegerArg(c.args, 0);
            if (color < 1 || color > 255)
                Fail(codes::kInvalidArgument, QStringLiteral("A layer colour is a number from 1 to 255."));
            c.doc->SetLayerColor(c.layer->name, int(color));
            return V();
        });
        on(Member::LayerPutLinetype, [](Call& c) -> V {
            c.doc->SetLayerLinetype(c.layer->name, StringArg(c.args, 0));
            return V();
        });
        on(Member::LayerPutOn, [](Call& c) -> V {
            c.doc->SetLayerOn(c.layer->name, BoolArg(c.args, 0));
            return V();
        });
        on(Member::LayerPutFreeze, [](Call& c) -> V {
            if (BoolArg(c.args, 0))
                c.RefuseIfSomeonesActiveLayer(c.layer->name, QStringLiteral("frozen"));
            c.doc->SetLayerFrozen(c.layer->name, BoolArg(c.args, 0));
            return V();
        });
        on(Member::LayerPutLock, [](Call& c) -> V {
            c.doc->SetLayerLocked(c.layer->name, BoolArg(c.args, 0));
            return V();
        });

        // The line types
        on(Member::LineTypesCount, [](Call& c) -> V { return c.doc->Linetypes().Count(); });
        on(Member::LineTypesItem, [](Call& c) -> V {
            const qint64 index = IntegerArg(c.args, 0);
            if (index < 0 || index >= c.doc->Linetypes().Count())
                Fail(codes::kKeyNotFound, QStringLiteral("There is no line type %1.").arg(index));
            return c.doc->Linetypes().At(int(index)).name;
        });
        on(Member::LineTypesLoad, [](Call& c) -> V {
            c.doc->LoadLinetype(StringArg(c.args, 0), StringArg(c.args, 1));
            return V();
        });

        // The selection sets and a set
        // A caller sees and names only its own sets.
        on(Member::SetsCount, [](Call& c) -> V { return qint64(SetsOf(*c.doc, c.own.number).size()); });
        on(Member::SetsAdd, [](Call& c) -> V {
            const QString name = StringArg(c.args, 0);
            if (name.trimmed().isEmpty())
                Fail(codes::kInvalidArgument, QStringLiteral("A selection set needs a name."));
            if (c.OwnSet(name))
                Fail(codes::kEngineRefused, QStringLiteral("The selection set \"%1\" already exists.").arg(name));
            c.doc->AddSelectionSet(SetKey(c.own.number, name));
            return c.HandleTo(HandleKind::SelectionSet, name);
        });
        on(Member::SetsItem, [](Call& c) -> V {
            SelectionSet* set = c.args[0].IsInteger() ? nullptr : c.OwnSet(StringArg(c.args, 0));
            if (c.args[0].IsInteger()) {
                const qint64 index = c.args[0].Integer();
                const std::vector<SelectionSet*> own = SetsOf(*c.doc, c.own.number);
                if (index < 0 || index >= qint64(own.size()))
                    Fail(codes::kKeyNotFound, QStringLiteral("There is no selection set %1.").arg(index));
                set = own[std::size_t(index)];
            }
            if (!set)
                Fail(codes::kKeyNotFound, QStringLiteral("There is no selection set \"%1\".").arg(c.args[0].Text()));
            return c.HandleTo(HandleKind::SelectionSet, SetNameOf(set->Name()));
        });
        on(Member::SetName, [](Call& c) -> V { return SetNameOf(c.set->Name()); });
        on(Member::SetCount, [](Call& c) -> V { return c.set->Count(); });
        on(Member::SetItem, [](Call& c) -> V {
            const qint64 index = IntegerArg(c.args, 0);
            if (index < 0 || index >= c.set->Count())
                Fail(codes::kKeyNotFound, QStringLiteral("There is no item %1 in the set.").arg(index));
            return c.HandleTo(HandleKind::Entity, qint64(c.set->Item(int(index))));
        });
        on(Member::SetErase, [](Call& c) -> V {
            c.set->Erase();
            return V();
        });
        on(Member::SetDelete, [](Call& c) -> V {
            c.doc->DeleteSelectionSet(c.set->Name());
            return V();
        });
        on(Member::SetSelect, [](Call& c) -> V {
            // mode, corner 1, corner 2, filter types, filter data; the filter may be left out.
            if (c.args.Size() == 4)
                Fail(codes::kInvalidArgument, QStringLiteral("Select takes a mode, two corners and a filter."));
            const qint64 mode = IntegerArg(c.args, 0);
            const std::vector<FilterItem> filter =
                c.args.Size() == 5 ? FilterArgs(c.args[3], c.args[4]) : std::vector<FilterItem>{};
            c.set->Select(int(mode), OptionalPointArg(c.args, 1), OptionalPointArg(c.args, 2), filter);
            return V();
        });
        // Windows and crossings given by the engineer: answered when the engineer ends them.
        on(Member::SetSelectOnScreen, [](Call& c) -> V {
            c.host.RequestSelection(c);
            c.deferred = true;
            return V();
        });

        // The utility: a point is answered when the engineer gives it.
        on(Member::UtilityGetPoint, [](Call& c) -> V {
            c.host.RequestPoint(c);
            c.deferred = true;
            return V();
        });

        // The text style
        on(Member::StyleName, [](Call& c) -> V { return c.doc->ActiveTextStyle().name; });
        on(Member::StyleGetFont, [](Call& c) -> V {
            const FontDesc font = c.doc->GetFont();
            return QCborArray{font.typeface, font.bold, font.italic, font.charset, font.pitchAndFamily};
        });
        on(Member::StyleSetFont, [](Call& c) -> V {
            FontDesc font;
            font.typeface = StringArg(c.args, 0);
            font.bold = BoolArg(c.args, 1);
            font.italic = BoolArg(c.args, 2);
            font.charset = int(IntegerArg(c.args, 3));
            font.pitchAndFamily = int(IntegerArg(c.args, 4));
            c.doc->SetFont(font);
            return V();
        });

        // An entity
        on(Member::EntityObjectID, [](Call& c) -> V { return qint64(c.entity->id); });
        on(Member::EntityObjectName, [](Call& c) -> V { return ObjectModelName(*c.entity); });
        on(Member::EntityLayer, [](Call& c) -> V { return c.entity->layer; });
        on(Member::EntityUpdate, [](Call&) -> V { return V(); });
        on(Member::EntityAlignment, [](Call& c) -> V { return c.Text().alignment; });
        on(Member::EntityTextAlignmentPoint, [](Call& c) -> V { return FromPoint(c.Text().alignmentPoint); });
        on(Member::EntityRotation, [](Call& c) -> V { return c.Text().rotation; });
        on(Member::EntityHeight, [](Call& c) -> V { return c.Text().height; });
        on(Member::EntityTextString, [](Call& c) -> V { return c.Text().text; });
        on(Member::EntityPutAlignment, [](Call& c) -> V {
            c.Text();
            c.doc->SetTextAlignment(c.entityId, int(IntegerArg(c.args, 0)));
            return V();
        });
        on(Member::EntityPutTextAlignmentPoint, [](Call& c) -> V {
            c.Text();
            c.doc->SetTextAlignmentPoint(c.entityId, PointArg(c.args, 0));
            return V();
        });
        on(Member::EntityPutRotation, [](Call& c) -> V {
            c.Text();
            c.doc->SetTextRotation(c.entityId, DoubleArg(c.args, 0));
            return V();
        });
        on(Member::EntityPutHeight, [](Call& c) -> V {
            c.Text();
            c.doc->SetTextHeight(c.entityId, DoubleArg(c.args, 0));
            return V();
        });
        on(Member::EntityStartPoint, [](Call& c) -> V { return FromPoint(c.Line().points[0]); });
        on(Member::EntityEndPoint, [](Call& c) -> V { return FromPoint(c.Line().points[1]); });
        on(Member::EntityCoordinates, [](Call& c) -> V {
            // Two doubles per vertex for a lightweight polyline, three for the others.
            const Entity& e = c.Polyline();
            QCborArray xy;
            for (const Point3& p : e.points) {
                xy.append(p.x);
                xy.append(p.y);
                if (e.kind == EntityKind::Polyline3d)
                    xy.append(p.z);
            }
            return xy;
        });
        on(Member::EntityClosed, [](Call& c) -> V { return c.Polyline().closed; });
        return t;
    }();
    return table;
}

void Dispatcher::RequestPoint(Call& call)
{
    const std::optional<Point3> basePoint = OptionalPointArg(call.args, 0);
    const QString prompt = call.args[1].IsText() ? call.args[1].Text() : QString();
    QPointer<QLocalSocket> caller(call.caller);
    const QCborValue id = call.id;
    auto token = std::make_shared<int>(0);
    const auto answer = [this, caller, id, token](const PointAnswer& point) {
        if (!caller || !m_channel.IsOpen(caller.data()))
            return;
        m_channel.ReleasePoint(caller.data(), *token);
        Outcome outcome;
        switch (point.kind) {
        case PointAnswer::Kind::Point:
            outcome.result = FromPoint(point.point);
            break;
        case PointAnswer::Kind::Ended:
            outcome.error = codes::kInputEnded;
            outcome.text = QStringLiteral("The point input was ended.");
            break;
        case PointAnswer::Kind::Cancelled:
            outcome.error = codes::kCancelled;
            outcome.text = QStringLiteral("The point input was cancelled.");
            break;
        case PointAnswer::Kind::DocumentClosed:
            outcome.error = codes::kDisconnected;
            outcome.text = QStringLiteral("The drawing has been closed.");
            break;
        }
        m_channel.SendReply(caller.data(), id, outcome);
    };
    *token = m_frontEnd.RequestPoint(*call.doc, prompt, basePoint, answer);
    m_channel.HoldPoint(call.caller, *token);
}

void Dispatcher::RequestSelection(Call& call)
{
    // Filter types, filter data and the prompt; each may be left out from the end.
    if (call.args.Size() == 1)
        Fail(codes::kInvalidArgument, QStringLiteral("SelectOnScreen takes a filter (types and data) and a prompt."));
    const std::vector<FilterItem> filter =
        call.args.Size() >= 2 ? FilterArgs(call.args[0], call.args[1]) : std::vector<FilterItem>{};
    SelectionFilter{filter};  // a filter the engine refuses fails the call now
    const QString prompt = call.args.Size() == 3 && call.args[2].IsText() && !call.args[2].Text().isEmpty()
                               ? call.args[2].Text()
                               : QStringLiteral("Select objects:");

    // One window at a time: a first corner, then the other (to its right: window, to its left:
    // crossing); the engineer ends with Enter or the right button, Escape cancels. The running
    // object snap is off meanwhile, so that a corner lands where it is given.
    struct Selecting {
        QPointer<QLocalSocket> caller;
        QCborValue id;
        Document* doc = nullptr;
        QString setName;
        std::vector<FilterItem> filter;
        QString prompt;
        int token = 0;
        QVariant snap;
        std::function<void(const std::optional<Point3>&)> ask;
    };
    Document& doc = *call.doc;
    auto state = std::make_shared<Selecting>(Selecting{QPointer<QLocalSocket>(call.caller), call.id, &doc, call.set->Name(),
                                                       filter, prompt, 0, doc.GetVariable(kSnapVariable), {}});
    doc.SetVariable(kSnapVariable, 0);
    // `doc` is null when the drawing has been closed meanwhile.
    const auto finish = [this, state](const Outcome& outcome, Document* doc) {
        state->ask = nullptr;  // ends the cycle between the state and its request
        if (doc)
            doc->SetVariable(kSnapVariable, state->snap);
        if (state->caller && m_channel.IsOpen(state->caller.data()))
            m_channel.SendReply(state->caller.data(), state->id, outcome);
    };
    std::weak_ptr<Selecting> weak = state;
    state->ask = [this, weak, finish](const std::optional<Point3>& firstCorner) {
        std::shared_ptr<Selecting> s = weak.lock();
        if (!s)
            return;
        const auto answer = [this, s, firstCorner, finish](const PointAnswer& point) {
            Document* doc = point.kind == PointAnswer::Kind::DocumentClosed ? nullptr : s->doc;
            if (!s->caller || !m_channel.IsOpen(s->caller.data())) {
                finish(Outcome{}, doc);
                return;
            }
            m_channel.ReleasePoint(s->caller.data(), s->token);
            Outcome outcome;
            SelectionSet* set = doc ? doc->FindSelectionSet(s->setName) : nullptr;
            switch (point.kind) {
            case PointAnswer::Kind::Point:
                if (!set)
                    break;
                if (!firstCorner) {
                    s->ask(point.point);
                    return;
                }
                try {
                    const int before = set->Count();
                    set->Select(point.point.x >= firstCorner->x ? kSelectWindow : kSelectCrossing, *firstCorner, point.point,
                                s->filter);
                    m_frontEnd.Note(QStringLiteral("%1 found, %2 selected.").arg(set->Count() - before).arg(set->Count()));
                } catch (const EngineError& error) {
                    outcome.error = CodeOf(error.Kind());
                    outcome.text = error.Message();
                    finish(outcome, doc);
                    return;
                }
                s->ask(std::nullopt);
                return;
            case PointAnswer::Kind::Ended:
                if (set)
                    outcome.result = set->Count();
                break;
            case PointAnswer::Kind::Cancelled:
                outcome.error = codes::kCancelled;
                outcome.text = QStringLiteral("The selection was cancelled.");
                finish(outcome, doc);
                return;
            case PointAnswer::Kind::DocumentClosed:
                outcome.error = codes::kDisconnected;
                outcome.text = QStringLiteral("The drawing has been closed.");
                finish(outcome, doc);
                return;
            }
            if (!set) {
                outcome.error = codes::kHostFailed;
                outcome.text = QStringLiteral("The selection set \"%1\" has been deleted.").arg(SetNameOf(s->setName));
            }
            finish(outcome, doc);
        };
        const QString prompt = firstCorner ? QStringLiteral("Other corner (to the right: window, to the left: crossing):")
                                           : s->prompt;
        s->token = m_frontEnd.RequestPoint(*s->doc, prompt, firstCorner, answer);
        m_channel.HoldPoint(s->caller.data(), s->token);
    };
    state->ask(std::nullopt);
}

qint64 Dispatcher::NumberOf(Document& doc)
{
    const auto found = m_numbers.find(&doc);
    if (found != m_numbers.end())
        return found->second;
    const qint64 number = m_nextNumber++;
    m_numbers.emplace(&doc, number);
    m_documents.emplace(number, &doc);
    return number;
}

void Dispatcher::ForgetClosedDocuments()
{
    DocumentList& list = m_frontEnd.Documents();
    std::vector<qint64> closed;
    for (const auto& [number, doc] : m_documents)
        if (list.IndexOf(doc) < 0)
            closed.push_back(number);
    for (qint64 number : closed)
        ForgetDocument(number);
}

// The document may be gone already: only its address is used.
void Dispatcher::ForgetDocument(qint64 number)
{
    const auto found = m_documents.find(number);
    if (found != m_documents.end()) {
        m_numbers.erase(found->second);
        m_documents.erase(found);
    }
    for (auto& [socket, state] : m_callers)
        state.activeLayers.erase(number);
}

Document& Dispatcher::DocumentOf(qint64 number)
{
    ForgetClosedDocuments();
    const auto found = m_documents.find(number);
    if (found == m_documents.end())
        Fail(codes::kDisconnected, QStringLiteral("The drawing has been closed."));
    return *found->second;
}

QCborValue Dispatcher::HandleOf(HandleKind kind, Document& doc, const QCborValue& key)
{
    return Handle{kind, NumberOf(doc), key}.ToCbor();
}

} // namespace cadhost
