// A drawing: model space, its tables, selection sets and object snap.
#include "cadhost/engine/Document.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <unordered_set>

#include <QFileInfo>

#include "cadhost/engine/DxfOutline.h"
#include "cadhost/engine/DxfRecord.h"
#include "cadhost/engine/EngineError.h"

namespace cadhost {

namespace {

// ObjectIDs are unique in the whole host and never reused; they stay within 32 bits for any
// drawing a session can hold, as callers keep them in 32-bit cells.
std::atomic<ObjectId> g_nextId{1000};

// Coordinates and sizes beyond this are refused: extents and text boxes must stay finite.
constexpr double kLargest = 1e15;

void CheckPoint(const Point3& p)
{
    if (!(std::abs(p.x) <= kLargest) || !(std::abs(p.y) <= kLargest) || !(std::abs(p.z) <= kLargest))
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("A coordinate is not a number or is too large."));
}

void CheckHeight(double height)
{
    if (!(height > 0.0) || !(height <= kLargest))
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("The text height must be a positive number."));
}

} // namespace

// ---------------------------------------------------------------- SelectionSet

ObjectId SelectionSet::Item(int index) const
{
    if (index < 0 || index >= Count())
        throw EngineError(ErrorKind::InvalidArgument,
                          QStringLiteral("Selection set \"%1\" has no item %2.").arg(m_name).arg(index));
    return m_items[std::size_t(index)];
}

void SelectionSet::Select(int mode, const std::optional<Point3>& corner1, const std::optional<Point3>& corner2,
                          const std::vector<FilterItem>& filterItems)
{
    const SelectionFilter filter(filterItems);
    // Each way of selecting meets an entity once: only a set that holds items already must
    // look out for those it has.
    const bool holding = !m_items.empty();
    std::unordered_set<ObjectId> held(m_items.begin(), m_items.end());
    auto take = [&](const Entity& e) {
        if (filter.Matches(e) && (!holding || held.insert(e.id).second))
            m_items.push_back(e.id);
    };
    switch (mode) {
    case kSelectAll:
        m_doc->ForEachEntity(take);
        return;
    case kSelectCrossing:
    case kSelectWindow: {
        if (!corner1 || !corner2)
            throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("Selection mode %1 needs two corners.").arg(mode));
        CheckPoint(*corner1);
        CheckPoint(*corner2);
        const Box2 window = Box2::FromCorners(*corner1, *corner2);
        if (mode == kSelectCrossing) {
            for (ObjectId id : m_doc->SelectCrossing(window))
                take(m_doc->Get(id));
        } else {
            std::vector<const Entity*> inside;
            m_doc->ForEachEntityIn(window, [&](const Entity& e) {
                const Box2 b = m_doc->Bounds(e);
                if (window.Contains(b.minX, b.minY) && window.Contains(b.maxX, b.maxY))
                    inside.push_back(&e);
            });
            std::sort(inside.begin(), inside.end(), [](const Entity* a, const Entity* b) { return a->id < b->id; });
            for (const Entity* e : inside)
                take(*e);
        }
        return;
    }
    default:
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("Selection mode %1 is not supported.").arg(mode));
    }
}

void SelectionSet::Erase()
{
    // Every entity stays in its slot, flagged as erased; the step names runs of slots.
    const Document::Step step(*m_doc);
    for (ObjectId id : m_items) {
        const std::int64_t slot = m_doc->m_store.LiveSlotOf(id);
        if (slot < 0)
            continue;
        m_doc->EraseSlot(std::uint32_t(slot));
        m_doc->RecordRun(Revert::Kind::Unerase, std::uint32_t(slot));
    }
    const bool held = !m_items.empty();
    m_items.clear();
    m_items.shrink_to_fit();
    if (held)
        m_doc->Changed();
}

// ---------------------------------------------------------------- Document

Document::Document(const QString& name) : m_name(name)
{
    m_variables = {
        {QStringLiteral("OSMODE"), QVariant(int(kSnapEndpoint | kSnapIntersection))},
        {QStringLiteral("PDMODE"), QVariant(0)},
        {QStringLiteral("PDSIZE"), QVariant(0.0)},
        {QStringLiteral("TEXTSIZE"), QVariant(2.5)},
        {QStringLiteral("LTSCALE"), QVariant(1.0)},
    };
}

Document::~Document() = default;

void Document::SetFileName(const QString& fullPath)
{
    m_fullName = QFileInfo(fullPath).absoluteFilePath();
    m_name = QFileInfo(fullPath).fileName();
    Changed();
    MarkSaved();
}

void Document::Changed()
{
    CompactIfSparse();
    ++m_revision;
    for (auto& [token, listener] : m_listeners)
        listener(*this);
}

void Document::LayersChanged()
{
    ++m_layerRevision;
    Changed();
}

int Document::AddListener(std::function<void(const Document&)> listener)
{
    m_listeners.emplace_back(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void Document::RemoveListener(int token)
{
    std::erase_if(m_listeners, [token](const auto& l) { return l.first == token; });
}

// ---- model space

ObjectId Document::Insert(Entity&& e, const std::optional<Box2>& given)
{
    for (const Point3& p : e.points)
        if (!(e.kind == EntityKind::Other && IsBreak(p)))
            CheckPoint(p);
    if (e.kind == EntityKind::Text) {
        CheckPoint(e.alignmentPoint);
        CheckHeight(e.height);
        if (!std::isfinite(e.rotation))
            throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("The rotation is not a finite number."));
    }
    const Layer* layer = m_layers.Find(e.layer);
    if (!layer)
        throw EngineError(QStringLiteral("The layer \"%1\" does not exist.").arg(e.layer));
    e.layer = layer->name;
    e.id = g_nextId++;
    if (e.handle == 0)
        e.handle = m_nextHandle++;
    else
        m_nextHandle = std::max(m_nextHandle, e.handle + 1);
    const Box2 bounds = given ? *given : Bounds(e);
    const ObjectId id = e.id;
    const std::uint32_t slot = m_store.Append(std::move(e));   // ids only grow: the store stays sorted
    m_index.Insert(slot, bounds);
    Touch(slot);
    RecordRun(Revert::Kind::Erase, slot);
    // Known extents grow by the new entity instead of being gathered again from every entity: a
    // drawing built entity by entity stays linear in its size.
    if (m_extentsKnown)
        m_extents.Add(bounds);
    Changed();
    return id;
}

ObjectId Document::AddLine(const Point3& start, const Point3& end)
{
    Entity e;
    e.kind = EntityKind::Line;
    e.layer = AdditionLayer();
    e.points = {start, end};
    return Insert(std::move(e));
}

ObjectId Document::AddText(const QString& text, const Point3& insertion, double height)
{
    CheckHeight(height);
    Entity e;
    e.kind = EntityKind::Text;
    e.layer = AdditionLayer();
    e.points = {insertion};
    e.text = text;
    e.height = height;
    e.alignmentPoint = insertion;
    return Insert(std::move(e));
}

ObjectId Document::AddPoint(const Point3& point)
{
    Entity e;
    e.kind = EntityKind::Point;
    e.layer = AdditionLayer();
    e.points = {point};
    return Insert(std::move(e));
}

ObjectId Document::AddPolyline(const std::vector<double>& xyz)
{
    if (xyz.size() % 3 != 0 || xyz.size() < 6)
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("A 3D polyline needs at least two vertices of three coordinates each."));
    Entity e;
    e.kind = EntityKind::Polyline3d;
    e.layer = AdditionLayer();
    for (std::size_t i = 0; i < xyz.size(); i += 3)
        e.points.push_back({xyz[i], xyz[i + 1], xyz[i + 2]});
    return Insert(std::move(e));
}

ObjectId Document::AddLightWeightPolyline(const std::vector<double>& xy)
{
    if (xy.size() % 2 != 0 || xy.size() < 4)
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("A polyline needs at least two vertices of two coordinates each."));
    Entity e;
    e.kind = EntityKind::LwPolyline;
    e.layer = AdditionLayer();
    for (std::size_t i = 0; i < xy.size(); i += 2)
        e.points.push_back({xy[i], xy[i + 1], 0.0});
    return Insert(std::move(e));
}

ObjectId Document::AddSolid(const Point3& p1, const Point3& p2, const Point3& p3, const Point3& p4)
{
    Entity e;
    e.kind = EntityKind::Solid;
    e.layer = AdditionLayer();
    e.points = {p1, p2, p3, p4};
    return Insert(std::move(e));
}

ObjectId Document::AddEntity(Entity entity, const std::optional<Box2>& bounds)
{
    if (entity.layer.isEmpty())
        entity.layer = m_activeLayer;
    if (entity.kind == EntityKind::Text && (!(entity.height > 0.0) || entity.alignment < 0 || entity.alignment > 14))
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("A text needs a positive height and an alignment from 0 to 14."));
    const std::size_t least = entity.kind == EntityKind::Other ? 0
        : entity.kind == EntityKind::Line ? 2
        : entity.kind == EntityKind::Solid ? 4
        : (entity.kind == EntityKind::Polyline3d || entity.kind == EntityKind::LwPolyline) ? 2 : 1;
    if (entity.points.size() < least)
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("A %1 needs at least %2 points.")
                                                .arg(EntityTypeName(entity.kind)).arg(least));
    return Insert(std::move(entity), entity.kind == EntityKind::Other ? bounds : std::nullopt);
}

void Document::Reserve(std::size_t count)
{
    m_store.Reserve(count);
    m_index.Reserve(m_store.Size() + count);
}

const Entity* Document::Find(ObjectId id) const
{
    const std::int64_t slot = m_store.LiveSlotOf(id);
    return slot < 0 ? nullptr : &m_store.At(std::size_t(slot));
}

const Entity& Document::Get(ObjectId id) const
{
    if (const Entity* e = Find(id))
        return *e;
    throw EngineError(ErrorKind::Deleted, QStringLiteral("The object %1 has been erased.").arg(id));
}

Entity& Document::Mutable(ObjectId id)
{
    Entity& e = const_cast<Entity&>(Get(id));
    Touch(std::uint32_t(m_store.SlotOfEntity(e)));
    return e;
}

void Document::Touch(std::uint32_t slot)
{
    if (m_journal.size() >= kJournalLength) {
        m_journal.clear();
        m_journalFrom = m_revision + 1;
    }
    m_journal.emplace_back(m_revision, slot);
}

bool Document::ChangedSince(std::uint64_t revision, std::vector<std::uint32_t>& touched) const
{
    if (revision < m_journalFrom || revision > m_revision)
        return false;
    // The journal is in the order of the changes: the ones since `revision` are at its end.
    auto it = m_journal.end();
    while (it != m_journal.begin() && std::prev(it)->first >= revision)
        --it;
    for (; it != m_journal.end(); ++it)
        touched.push_back(it->second);
    return true;
}

void Document::ForEachEntity(const std::function<void(const Entity&)>& visit) const
{
    m_store.ForEachLive(visit);
}

void Document::ForEachEntityIn(const Box2& box, const std::function<void(const Entity&)>& visit) const
{
    m_index.Query(box, [&](std::uint32_t slot) {
        visit(m_store.At(slot));
        return true;
    });
}

void Document::EraseSlot(std::uint32_t slot)
{
    ExtentsLose(m_index.BoxOf(slot));
    m_index.Hide(slot);
    m_store.Erase(slot);
    Touch(slot);
}

void Document::UneraseSlot(std::uint32_t slot)
{
    m_store.Unerase(slot);
    m_index.Show(slot);
    Touch(slot);
    if (m_extentsKnown)
        m_extents.Add(m_index.BoxOf(slot));
}

void Document::EraseQuietly(ObjectId id)
{
    const std::int64_t slot = m_store.LiveSlotOf(id);
    if (slot < 0)
        throw EngineError(ErrorKind::Deleted, QStringLiteral("The object %1 has been erased.").arg(id));
    EraseSlot(std::uint32_t(slot));
    RecordRun(Revert::Kind::Unerase, std::uint32_t(slot));
}

void Document::Erase(ObjectId id)
{
    EraseQuietly(id);
    Changed();
}

// Drawings that are erased and redrawn again and again would keep the slots of entities nothing
// can bring back forever: once those outnumber the others, they are packed (creation order kept)
// and the index built again. Entities a step can bring back keep their slots (packing only moves
// them down, runs of slots stay runs), so undo and redo never move any other entity.
void Document::CompactIfSparse()
{
    const std::size_t empty = m_store.EmptyCount();
    if (empty < std::max<std::size_t>(1024, m_store.LiveCount() + m_store.ErasedCount()))
        return;
    // Every entity keeps the extents it had: nothing is computed again.
    m_store.Pack([&](std::uint32_t from, std::uint32_t to) { m_index.MoveSlot(from, to); });
    m_index.Truncate(m_store.Size());
    // Every slot may have moved: views gather the drawing again.
    m_journal.clear();
    m_journalFrom = m_revision + 1;
    ++m_indexRebuilds;
}

Box2 Document::Extents() const
{
    if (!m_extentsKnown) {
        // The index holds the extents of every live entity that has any.
        m_extents = m_index.Extents();
        m_extentsKnown = true;
    }
    return m_extents;
}

void Document::ExtentsLose(const Box2& bounds)
{
    // An entity wholly inside the extents, off their edges, leaves them as they are; so does
    // one without bounds, which takes no part in them.
    const bool inside = !bounds.IsBounded()
        || (bounds.minX > m_extents.minX && bounds.maxX < m_extents.maxX && bounds.minY > m_extents.minY
            && bounds.maxY < m_extents.maxY);
    if (!inside)
        m_extentsKnown = false;
}

const DxfBlocks& Document::Blocks() const
{
    static const DxfBlocks none;
    return m_source && m_source->blocks ? *m_source->blocks : none;
}

Box2 Document::Bounds(const Entity& e) const
{
    // The index holds the extents of every entity of the document as it was put in.
    if (const std::int64_t slot = m_store.SlotOfEntity(e); slot >= 0)
        return m_index.BoxOf(std::uint32_t(slot));
    if (e.kind != EntityKind::Other)
        return EntityBounds(e);
    if (e.Record().empty())
        return Box2{};
    return ExtentsOf(ParseRecord(e.Record()), Blocks());
}

std::vector<Point3> Document::Outline(const Entity& e) const
{
    if (e.kind != EntityKind::Other)
        return e.points;
    if (e.Record().empty())
        return {};
    // One of this document without extents is one whose values are no numbers: not drawn.
    if (const std::int64_t slot = m_store.SlotOfEntity(e); slot >= 0 && m_index.BoxOf(std::uint32_t(slot)).IsEmpty())
        return {};
    return OutlineOf(ParseRecord(e.Record()), Blocks());
}

bool Document::CrossesWindow(const Entity& e, const Box2& window) const
{
    if (e.kind != EntityKind::Other)
        return EntityCrossesWindow(e, window);
    // A line without end meets a window wherever it crosses it.
    if (!e.Record().empty() && !Bounds(e).IsEmpty() && !Bounds(e).IsBounded()) {
        Point3 a, b;
        for (const EndlessLine& line : EndlessLinesOf(ParseRecord(e.Record())))
            if (ClipEndless(line, window, a, b))
                return true;
    }
    return OutlineMeetsWindow(Outline(e), e.closed, window);
}

std::vector<ObjectId> Document::SelectCrossing(const Box2& window) const
{
    std::vector<std::uint32_t> hits;
    m_index.Query(window, [&](std::uint32_t slot) {
        if (CrossesWindow(m_store.At(slot), window))
            hits.push_back(slot);
        return true;
    });
    std::sort(hits.begin(), hits.end());
    std::vector<ObjectId> ids;
    ids.reserve(hits.size());
    for (std::uint32_t s : hits)
        ids.push_back(m_store.IdAt(s));
    return ids;
}

void Document::Reindex(std::uint32_t slot)
{
    // A kind kept by its record changes no geometry here: it keeps its extents. Another entity
    // changed in place: its old extent is not known any more.
    m_extentsKnown = false;
    const Entity& e = m_store.At(slot);
    const Box2 bounds = e.kind == EntityKind::Other ? m_index.BoxOf(slot) : EntityBounds(e);
    m_index.Insert(slot, bounds);
}

void Document::CheckText(const Entity& e) const
{
    if (e.kind != EntityKind::Text)
        throw EngineError(QStringLiteral("The object %1 is not a text.").arg(e.id));
}

// Keeps the insertion point of an aligned text at the left end of its baseline, where the
// alignment puts it.
static void PlaceInsertion(Entity& e)
{
    if (e.alignment != kAlignLeft)
        e.points[0] = TextCorners(e)[0];
}

void Document::SetTextAlignment(ObjectId id, int alignment)
{
    Entity& e = Mutable(id);
    CheckText(e);
    if (alignment < 0 || alignment > 14)
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("Text alignment %1 is out of range.").arg(alignment));
    RecordReplace(e);
    if (e.alignment == kAlignLeft && alignment != kAlignLeft)
        e.alignmentPoint = e.points[0];
    e.alignment = alignment;
    PlaceInsertion(e);
    Reindex(std::uint32_t(m_store.SlotOf(id)));
    Changed();
}

void Document::SetTextAlignmentPoint(ObjectId id, const Point3& point)
{
    Entity& e = Mutable(id);
    CheckText(e);
    CheckPoint(point);
    if (e.alignment == kAlignLeft)
        throw EngineError(QStringLiteral("A left-aligned text is placed by its insertion point; its alignment point cannot be set."));
    RecordReplace(e);
    e.alignmentPoint = point;
    PlaceInsertion(e);
    Reindex(std::uint32_t(m_store.SlotOf(id)));
    Changed();
}

void Document::SetTextRotation(ObjectId id, double radians)
{
    Entity& e = Mutable(id);
    CheckText(e);
    if (!std::isfinite(radians))
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("The rotation is not a finite number."));
    RecordReplace(e);
    e.rotation = radians;
    PlaceInsertion(e);
    Reindex(std::uint32_t(m_store.SlotOf(id)));
    Changed();
}

void Document::SetTextHeight(ObjectId id, double height)
{
    Entity& e = Mutable(id);
    CheckText(e);
    CheckHeight(height);
    RecordReplace(e);
    e.height = height;
    PlaceInsertion(e);
    Reindex(std::uint32_t(m_store.SlotOf(id)));
    Changed();
}

void Document::SetTextString(ObjectId id, const QString& text)
{
    Entity& e = Mutable(id);
    CheckText(e);
    RecordReplace(e);
    e.text = text;
    PlaceInsertion(e);
    Reindex(std::uint32_t(m_store.SlotOf(id)));
    Changed();
}

void Document::SetEntityLayer(ObjectId id, const QString& layer)
{
    Entity& e = Mutable(id);
    const QString name = LayerOrThrow(layer).name;
    RecordReplace(e);
    e.layer = name;
    Changed();
}

// ---- layers

Layer& Document::LayerOrThrow(const QString& name)
{
    if (Layer* l = m_layers.Find(name))
        return *l;
    throw EngineError(ErrorKind::Deleted, QStringLiteral("The layer \"%1\" does not exist.").arg(name));
}

Layer& Document::AddLayer(const QString& name)
{
    const int before = m_layers.Count();
    if (!m_layers.Find(name) && LayerTable::IsValidName(name))
        RecordTables();
    Layer& l = m_layers.Add(name);
    if (m_layers.Count() != before)
        LayersChanged();
    return l;
}

std::size_t Document::EntitiesOnLayer(const QString& name) const
{
    std::size_t n = 0;
    m_store.ForEachLive([&](const Entity& e) { n += e.layer.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0; });
    return n;
}

void Document::DeleteLayer(const QString& name)
{
    const int index = m_layers.IndexOf(name);
    if (index < 0)
        throw EngineError(ErrorKind::Deleted, QStringLiteral("The layer \"%1\" does not exist.").arg(name));
    if (index == 0)
        throw EngineError(QStringLiteral("Layer \"0\" cannot be deleted."));
    if (m_activeLayer.compare(name, Qt::CaseInsensitive) == 0)
        throw EngineError(QStringLiteral("The layer \"%1\" is the active layer and cannot be deleted.").arg(name));
    if (EntitiesOnLayer(name) != 0)
        throw EngineError(QStringLiteral("The layer \"%1\" still holds objects and cannot be deleted.").arg(name));
    RecordTables();
    m_layers.RemoveAt(index);
    LayersChanged();
}

void Document::SetLayerColor(const QString& name, int color)
{
    Layer& l = LayerOrThrow(name);
    if (color < 1 || color > 255)
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("Colour %1 is not a colour index from 1 to 255.").arg(color));
    RecordTables();
    l.color = color;
    LayersChanged();
}

void Document::SetLayerLinetype(const QString& name, const QString& linetype)
{
    Layer& l = LayerOrThrow(name);
    const Linetype* lt = m_linetypes.Find(linetype);
    if (!lt)
        throw EngineError(QStringLiteral("The line type \"%1\" is not loaded.").arg(linetype));
    RecordTables();
    l.linetype = lt->name;
    LayersChanged();
}

void Document::SetLayerOn(const QString& name, bool on)
{
    Layer& l = LayerOrThrow(name);
    RecordTables();
    l.on = on;
    LayersChanged();
}

void Document::SetLayerFrozen(const QString& name, bool frozen)
{
    Layer& l = LayerOrThrow(name);
    if (frozen && m_activeLayer.compare(l.name, Qt::CaseInsensitive) == 0)
        throw EngineError(QStringLiteral("The active layer cannot be frozen."));
    RecordTables();
    l.frozen = frozen;
    LayersChanged();
}

void Document::SetLayerLocked(const QString& name, bool locked)
{
    Layer& l = LayerOrThrow(name);
    RecordTables();
    l.locked = locked;
    LayersChanged();
}

void Document::SetActiveLayer(const QString& name)
{
    const Layer& l = LayerOrThrow(name);
    if (l.frozen)
        throw EngineError(QStringLiteral("The frozen layer \"%1\" cannot be made active.").arg(l.name));
    RecordTables();
    m_activeLayer = l.name;
    LayersChanged();
}

// ---- line types, text style, variables

void Document::LoadLinetype(const QString& name, const QString& fileName)
{
    // The table is recorded as it was only once the line type has loaded.
    const std::shared_ptr<const DrawingTables> before = SnapshotTables();
    m_linetypes.Load(name, fileName);
    if (m_history.Recording() && !m_history.TablesRecorded()) {
        Revert revert;
        revert.kind = Revert::Kind::Tables;
        revert.tables = before;
        m_history.Record(std::move(revert));
        m_history.NoteTablesRecorded();
    }
    Changed();
}

void Document::SetFont(const FontDesc& font)
{
    RecordTables();
    m_textStyle.font = font;
    Changed();
}

QVariant Document::GetVariable(const QString& name) const
{
    if (name.compare(QLatin1String("CLAYER"), Qt::CaseInsensitive) == 0)
        return m_activeLayer;
    for (const auto& [key, value] : m_variables)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    throw EngineError(QStringLiteral("Unknown system variable \"%1\".").arg(name));
}

void Document::SetVariable(const QString& name, const QVariant& value)
{
    if (name.compare(QLatin1String("CLAYER"), Qt::CaseInsensitive) == 0) {
        SetActiveLayer(value.toString());
        return;
    }
    for (auto& [key, current] : m_variables) {
        if (key.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        if (current.typeId() == QMetaType::Int) {
            const double d = value.toDouble(&ok);
            const int lowest = 0, highest = key == QLatin1String("OSMODE") ? 16383 : 100;
            if (!ok || d != std::floor(d) || d < lowest || d > highest)
                throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("%1 takes an integer from %2 to %3.")
                                                        .arg(key).arg(lowest).arg(highest));
            current = QVariant(int(d));
        } else {
            const double d = value.toDouble(&ok);
            const bool positive = key == QLatin1String("TEXTSIZE") || key == QLatin1String("LTSCALE");
            if (!ok || !std::isfinite(d) || (positive && d <= 0.0))
                throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("%1 takes a number.").arg(key));
            current = QVariant(d);
        }
        Changed();
        return;
    }
    throw EngineError(QStringLiteral("Unknown system variable \"%1\".").arg(name));
}

// ---- selection sets

SelectionSet& Document::AddSelectionSet(const QString& name)
{
    if (name.trimmed().isEmpty())
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("A selection set needs a name."));
    if (FindSelectionSet(name))
        throw EngineError(QStringLiteral("The selection set \"%1\" already exists.").arg(name));
    if (SelectionSetCount() >= kMaxSelectionSets)
        throw EngineError(QStringLiteral("No more than %1 selection sets can exist.").arg(kMaxSelectionSets));
    m_selectionSets.push_back(std::make_unique<SelectionSet>(this, name));
    return *m_selectionSets.back();
}

SelectionSet* Document::FindSelectionSet(const QString& name)
{
    for (auto& s : m_selectionSets)
        if (s->Name().compare(name, Qt::CaseInsensitive) == 0)
            return s.get();
    return nullptr;
}

SelectionSet& Document::SelectionSetAt(int index)
{
    if (index < 0 || index >= SelectionSetCount())
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("Selection set index %1 is out of range.").arg(index));
    return *m_selectionSets[std::size_t(index)];
}

void Document::DeleteSelectionSet(const QString& name)
{
    const auto before = m_selectionSets.size();
    std::erase_if(m_selectionSets, [&](const auto& s) { return s->Name().compare(name, Qt::CaseInsensitive) == 0; });
    if (m_selectionSets.size() == before)
        throw EngineError(ErrorKind::Deleted, QStringLiteral("The selection set \"%1\" does not exist.").arg(name));
}

// ---- undo

void Document::RecordRun(Revert::Kind kind, std::uint32_t slot)
{
    if (!m_history.Recording())
        return;
    const ObjectId id = m_store.IdAt(slot);
    if (Revert* open = m_history.OpenRecord();
        open && open->kind == kind && slot > 0 && m_store.IdAt(slot - 1) == open->last) {
        open->last = id;
        ++open->count;
        return;
    }
    Revert revert;
    revert.kind = kind;
    revert.first = revert.last = id;
    revert.count = 1;
    m_history.Record(std::move(revert));
}

void Document::RecordReplace(Entity& e)
{
    if (m_history.Recording()) {
        Revert revert;
        revert.kind = Revert::Kind::Replace;
        revert.entity = std::make_unique<Entity>(e);
        m_history.Record(std::move(revert));
    }
    // Every change of an entity passes here first: its record is written with the change.
    e.edited = true;
}

std::shared_ptr<const DrawingTables> Document::SnapshotTables() const
{
    return std::make_shared<const DrawingTables>(DrawingTables{m_layers, m_linetypes, m_activeLayer, m_textStyle});
}

void Document::RecordTables()
{
    if (!m_history.Recording() || m_history.TablesRecorded())
        return;
    Revert revert;
    revert.kind = Revert::Kind::Tables;
    revert.tables = SnapshotTables();
    m_history.Record(std::move(revert));
    m_history.NoteTablesRecorded();
}

std::uint32_t Document::RunSlot(const Revert& run, EntityStore::State state) const
{
    const std::int64_t first = m_store.SlotOf(run.first);
    const std::size_t end = std::size_t(first) + run.count;
    // Packing keeps the slots of every entity a step names, in their order.
    bool whole = first >= 0 && end <= m_store.Size() && m_store.IdAt(end - 1) == run.last;
    for (std::size_t slot = std::size_t(first); whole && slot < end; ++slot)
        whole = m_store.StateAt(slot) == state;
    if (!whole)
        throw EngineError(QStringLiteral("The objects %1 to %2 cannot be restored: their place in the drawing is gone.")
                              .arg(run.first).arg(run.last));
    return std::uint32_t(first);
}

Revert Document::Apply(Revert&& revert)
{
    Revert inverse;
    switch (revert.kind) {
    case Revert::Kind::Erase:
    case Revert::Kind::Unerase: {
        const bool erase = revert.kind == Revert::Kind::Erase;
        const std::uint32_t first = RunSlot(revert, erase ? EntityStore::State::Live : EntityStore::State::Erased);
        for (std::uint32_t slot = first; slot < first + revert.count; ++slot) {
            if (erase)
                EraseSlot(slot);
            else
                UneraseSlot(slot);
        }
        inverse.kind = erase ? Revert::Kind::Unerase : Revert::Kind::Erase;
        inverse.first = revert.first;
        inverse.last = revert.last;
        inverse.count = revert.count;
        break;
    }
    case Revert::Kind::Replace: {
        const auto slot = std::uint32_t(m_store.LiveSlotOf(revert.entity->id));
        inverse.kind = Revert::Kind::Replace;
        inverse.entity = std::make_unique<Entity>(std::move(m_store.At(slot)));
        m_store.At(slot) = std::move(*revert.entity);
        Reindex(slot);
        Touch(slot);
        break;
    }
    case Revert::Kind::Tables:
        inverse.kind = Revert::Kind::Tables;
        inverse.tables = SnapshotTables();
        m_layers = revert.tables->layers;
        m_linetypes = revert.tables->linetypes;
        m_activeLayer = revert.tables->activeLayer;
        m_textStyle = revert.tables->textStyle;
        break;
    }
    return inverse;
}

void Document::Forget(const Revert& revert)
{
    // Only an erase's record can bring its entities back: once it is gone, they are let go.
    if (revert.kind != Revert::Kind::Unerase)
        return;
    const std::int64_t first = m_store.SlotOf(revert.first);
    for (std::size_t slot = std::size_t(std::max<std::int64_t>(first, 0)); first >= 0 && slot < m_store.Size(); ++slot) {
        m_store.Release(slot);
        if (m_store.IdAt(slot) == revert.last)
            break;
    }
}

bool Document::Replay(bool undo)
{
    const auto apply = [this](Revert&& revert) { return Apply(std::move(revert)); };
    if (!(undo ? m_history.Undo(apply) : m_history.Redo(apply)))
        return false;
    LayersChanged();
    return true;
}

bool Document::Undo()
{
    return Replay(true);
}

bool Document::Redo()
{
    return Replay(false);
}

void Document::ClearUndo()
{
    m_history.Clear();
    CompactIfSparse();
}

} // namespace cadhost
