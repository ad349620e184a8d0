// A drawing: model space of entities, layers, line types, text style, system variables,
// named selection sets, object snap, and its file name.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QVariant>

#include "cadhost/engine/DxfRecord.h"
#include "cadhost/engine/Entity.h"
#include "cadhost/engine/EntityStore.h"
#include "cadhost/engine/LayerTable.h"
#include "cadhost/engine/Linetypes.h"
#include "cadhost/engine/SelectionFilter.h"
#include "cadhost/engine/SnapModes.h"
#include "cadhost/engine/SpatialIndex.h"
#include "cadhost/engine/UndoHistory.h"

namespace cadhost {

class Document;
struct DxfSource;

// The font of a text style as GetFont/SetFont pass it.
struct FontDesc {
    QString typeface;
    bool bold = false;
    bool italic = false;
    int charset = 0;
    int pitchAndFamily = 0;
    friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

struct TextStyle {
    QString name = QStringLiteral("Standard");
    FontDesc font;
};

struct DrawingTables {
    LayerTable layers;
    LinetypeTable linetypes;
    QString activeLayer;
    TextStyle textStyle;
};

// Selection modes of SelectionSet::Select.
enum SelectMode : int { kSelectWindow = 0, kSelectCrossing = 1, kSelectAll = 5 };

// A named selection set of a document: ObjectIDs in selection order.
class SelectionSet {
public:
    SelectionSet(Document* document, const QString& name) : m_doc(document), m_name(name) {}

    const QString& Name() const { return m_name; }
    int Count() const { return int(m_items.size()); }
    // ObjectID of the item at index; throws for an index out of range.
    ObjectId Item(int index) const;
    const std::vector<ObjectId>& Items() const { return m_items; }
    // Adds the matching entities (not yet in the set) of model space. Mode 5 takes all of
    // model space, frozen and locked layers included, and ignores the corners; mode 1 takes
    // those crossing the window of the two corners; mode 0 those wholly inside it.
    void Select(int mode, const std::optional<Point3>& corner1, const std::optional<Point3>& corner2,
                const std::vector<FilterItem>& filter = {});
    // Erases every selected entity still in the drawing and empties the set.
    void Erase();
    void Clear() { m_items.clear(); }

private:
    Document* m_doc;
    QString m_name;
    std::vector<ObjectId> m_items;
};

// Where a snap landed and why.
struct SnapResult {
    Point3 point;
    int mode = 0;   // the SnapMode bit that produced it
};

class Document {
public:
    explicit Document(const QString& name);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // ---- name, file, saved state ----
    // The file name shown in the tab ("Drawing1.dxf" for a new drawing).
    const QString& Name() const { return m_name; }
    // The full path of the file, empty for a drawing never saved.
    const QString& FullName() const { return m_fullName; }
    void SetFileName(const QString& fullPath);   // sets Name and FullName
    // True when nothing changed since the last open or save.
    bool Saved() const { return m_savedRevision == m_revision; }
    void MarkSaved() { m_savedRevision = m_revision; }
    // What the file it was opened from held that this drawing does not keep ("2 circles,
    // 1 arc"), empty when nothing was left out; a save writes the drawing without them.
    const QString& LeftOut() const { return m_leftOut; }
    void SetLeftOut(const QString& summary) { m_leftOut = summary; }
    // What the file it was opened from holds beyond the entities of model space (tables,
    // blocks, objects, paper space, header), written back by a save; null for a new drawing.
    const std::shared_ptr<const DxfSource>& Source() const { return m_source; }
    void SetSource(std::shared_ptr<const DxfSource> source) { m_source = std::move(source); }
    // The block definitions of the file it was read from (none for a new drawing).
    const DxfBlocks& Blocks() const;
    // Every entity gets a DXF handle when it is added (an entity read keeps its own); the
    // next one given out. A drawing read from a file starts it above every handle the file holds.
    std::uint64_t NextHandle() const { return m_nextHandle; }
    void SetNextHandle(std::uint64_t handle) { m_nextHandle = std::max(m_nextHandle, handle); }
    // A handle for a record a save writes for the first time (a new layer's table entry, a
    // polyline's vertices); giving one out is not a change of the drawing.
    std::uint64_t TakeHandle() const { return m_nextHandle++; }
    // Increases on every change; views compare it to know when to redraw.
    std::uint64_t Revision() const { return m_revision; }
    // Increases on every change of the layer table or the active layer.
    std::uint64_t LayerRevision() const { return m_layerRevision; }

    // ---- model space ----
    // Each adds to the layer of additions (the active layer unless another is set) and returns
    // the new entity's ObjectID.
    ObjectId AddLine(const Point3& start, const Point3& end);
    ObjectId AddText(const QString& text, const Point3& insertion, double height);
    ObjectId AddPoint(const Point3& point);
    ObjectId AddPolyline(const std::vector<double>& xyz);          // three doubles per vertex
    ObjectId AddLightWeightPolyline(const std::vector<double>& xy); // two doubles per vertex
    ObjectId AddSolid(const Point3& p1, const Point3& p2, const Point3& p3, const Point3& p4);
    // Adds a complete entity (reading a file); its id is replaced by a fresh one. The extents of
    // a kind kept by its record may be given (the reader knows them); else they are computed.
    ObjectId AddEntity(Entity entity, const std::optional<Box2>& bounds = std::nullopt);

    // The entity of that ObjectID, nullptr when it never existed or was erased. The pointer
    // stays valid until the next change of the document.
    const Entity* Find(ObjectId id) const;
    // As Find, but throws EngineError for a missing entity.
    const Entity& Get(ObjectId id) const;
    std::size_t EntityCount() const { return m_store.LiveCount(); }
    // Makes room for `count` more entities at once (a file about to be read).
    void Reserve(std::size_t count);
    // Visits every entity in creation order.
    void ForEachEntity(const std::function<void(const Entity&)>& visit) const;
    // The entities by their slot, in creation order (SlotCount() slots, erased ones are null).
    // A slot keeps its entity until the erased slots are packed, which ChangedSince tells.
    std::uint32_t SlotCount() const { return std::uint32_t(m_store.Size()); }
    const Entity* AtSlot(std::uint32_t slot) const
    {
        return slot < m_store.Size() && m_store.IsLive(slot) ? &m_store.At(slot) : nullptr;
    }
    // The slots whose entity was added, erased, brought back or changed since the document was
    // at `revision` (a slot may come more than once), for a view that keeps what it drew up to
    // date; false when that is not known any more: the slots were packed since, or more changes
    // happened than are kept (then the caller gathers everything again).
    bool ChangedSince(std::uint64_t revision, std::vector<std::uint32_t>& touched) const;
    // Visits the entities whose extents meet the box (through the spatial index).
    void ForEachEntityIn(const Box2& box, const std::function<void(const Entity&)>& visit) const;
    void Erase(ObjectId id);
    Box2 Extents() const;
    // The extents of an entity in the xy plane (for one of this document, as its index holds them).
    Box2 Bounds(const Entity& e) const;
    // The points an entity is drawn with: its own for the host's kinds, for other kinds the
    // outline computed from its record (pieces separated by break points); empty for a kind
    // without one.
    std::vector<Point3> Outline(const Entity& e) const;
    // True when any part of the entity lies inside or on the window (crossing rule).
    bool CrossesWindow(const Entity& e, const Box2& window) const;

    // Text properties. Alignment 0..14; the alignment point places every alignment but left
    // (setting it on a left-aligned text fails, as its insertion point places it); switching
    // from left to another alignment starts the alignment point at the insertion point.
    void SetTextAlignment(ObjectId id, int alignment);
    void SetTextAlignmentPoint(ObjectId id, const Point3& point);
    void SetTextRotation(ObjectId id, double radians);
    void SetTextHeight(ObjectId id, double height);
    void SetTextString(ObjectId id, const QString& text);
    void SetEntityLayer(ObjectId id, const QString& layer);

    // ---- layers ----
    const LayerTable& Layers() const { return m_layers; }
    // Returns the layer of that name, adding it when missing.
    Layer& AddLayer(const QString& name);
    // Throws for layer "0", the active layer, and a layer that still holds entities.
    void DeleteLayer(const QString& name);
    void SetLayerColor(const QString& name, int color);        // 1..255
    void SetLayerLinetype(const QString& name, const QString& linetype); // must be loaded
    void SetLayerOn(const QString& name, bool on);
    void SetLayerFrozen(const QString& name, bool frozen);     // not the active layer
    void SetLayerLocked(const QString& name, bool locked);
    const QString& ActiveLayer() const { return m_activeLayer; }
    void SetActiveLayer(const QString& name);                  // an existing, thawed layer
    // Where the Add members put new entities: the active layer, or the layer set here (each
    // caller of the automation link adds to the layer it made active, whatever another caller
    // made active since). Empty: the active layer. It is no change of the drawing.
    const QString& AdditionLayer() const { return m_additionLayer.isEmpty() ? m_activeLayer : m_additionLayer; }
    void SetAdditionLayer(const QString& name) { m_additionLayer = name; }
    std::size_t EntitiesOnLayer(const QString& name) const;

    // ---- line types, text style, system variables ----
    const LinetypeTable& Linetypes() const { return m_linetypes; }
    LinetypeTable& Linetypes() { return m_linetypes; }
    void LoadLinetype(const QString& name, const QString& fileName);
    const TextStyle& ActiveTextStyle() const { return m_textStyle; }
    FontDesc GetFont() const { return m_textStyle.font; }
    void SetFont(const FontDesc& font);
    QVariant GetVariable(const QString& name) const;
    void SetVariable(const QString& name, const QVariant& value);

    // ---- selection sets (at most 128, names unique without regard to case) ----
    SelectionSet& AddSelectionSet(const QString& name);
    SelectionSet* FindSelectionSet(const QString& name);
    SelectionSet& SelectionSetAt(int index);
    int SelectionSetCount() const { return int(m_selectionSets.size()); }
    void DeleteSelectionSet(const QString& name);
    static constexpr int kMaxSelectionSets = 128;

    // Entities crossing the window (corners may coincide), in creation order.
    std::vector<ObjectId> SelectCrossing(const Box2& window) const;

    // ---- object snap ----
    // The nearest snap point within `aperture` of `at` for the modes in `modes` (SnapMode bits):
    // ends of lines and polylines, points (node), texts' insertion points, where the exact
    // pieces of entities cross (segments, arcs of circles and ellipses, lines without end), and
    // what each kind drawn from its record offers (ends, centres, quadrants, insertion points);
    // the centre of a curve also while the cursor is on the curve.
    // Entities on layers that are off or frozen are not snapped to.
    std::optional<SnapResult> Snap(const Point3& at, double aperture, int modes) const;

    // ---- undo ----
    // Every change of the drawing (entities added, erased or changed; layers, line types and
    // the text style; not system variables or selection sets) is recorded. The changes between
    // BeginStep and EndStep (nested pairs count as the outer one) make one step; a change
    // outside a step is a step of its own. The last kMaxUndoSteps steps are kept.
    void BeginStep() { m_history.BeginStep(); }
    void EndStep() { m_history.EndStep(); }
    class Step {
    public:
        explicit Step(Document& doc) : m_doc(doc) { m_doc.BeginStep(); }
        ~Step() { m_doc.EndStep(); }
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        Document& m_doc;
    };
    bool CanUndo() const { return m_history.CanUndo(); }
    bool CanRedo() const { return m_history.CanRedo(); }
    // Reverts the last step, entities keeping their ObjectIDs; false when there is none.
    bool Undo();
    // Makes the last undone step again; a change since the undo forgets what can be redone.
    bool Redo();
    // Forgets every step (a drawing just read from its file starts with none).
    void ClearUndo();
    static constexpr std::size_t kMaxUndoSteps = UndoHistory::kMaxSteps;
    // How many times the slots were packed and the whole spatial index built again from every
    // entity. Undo and redo never do it: an erased entity stays in its slot, flagged as erased,
    // as long as a step can bring it back; only entities nothing can bring back are let go.
    std::size_t IndexRebuilds() const { return m_indexRebuilds; }
    // Entities erased but kept whole because a step of undo or redo can bring them back.
    std::size_t ErasedKept() const { return m_store.ErasedCount(); }

    // ---- change notification ----
    // Called after every change with the document; returns a token for RemoveListener.
    int AddListener(std::function<void(const Document&)> listener);
    void RemoveListener(int token);

private:
    friend class SelectionSet;
    // Records an entity added or erased, joining the run the open step ended with when the
    // entity's slot follows it.
    void RecordRun(Revert::Kind kind, std::uint32_t slot);
    void RecordReplace(Entity& e);
    // Records the tables as they are, before a change of them (once per step).
    void RecordTables();
    std::shared_ptr<const DrawingTables> SnapshotTables() const;
    // Performs `revert` and returns what reverts it in turn.
    Revert Apply(Revert&& revert);
    // A record dropped from the history: the entities only it could bring back are let go.
    void Forget(const Revert& revert);
    bool Replay(bool undo);

    Entity& Mutable(ObjectId id);
    ObjectId Insert(Entity&& e, const std::optional<Box2>& bounds = std::nullopt);
    void Reindex(std::uint32_t slot);
    // Notes that the entity of the slot changes (ChangedSince).
    void Touch(std::uint32_t slot);
    void Changed();
    void LayersChanged();
    // Flags a live entity erased (it stays in its slot) and takes it out of the index and extents;
    // the reverse brings it back.
    void EraseSlot(std::uint32_t slot);
    void UneraseSlot(std::uint32_t slot);
    // The first slot of a recorded run, checked to hold the run in the state given.
    std::uint32_t RunSlot(const Revert& run, EntityStore::State state) const;
    void EraseQuietly(ObjectId id);
    void CompactIfSparse();
    void CheckText(const Entity& e) const;
    Layer& LayerOrThrow(const QString& name);

    QString m_name;
    QString m_fullName;
    std::uint64_t m_revision = 0;
    std::uint64_t m_savedRevision = 0;
    QString m_leftOut;
    std::shared_ptr<const DxfSource> m_source;
    mutable std::uint64_t m_nextHandle = 0x100;
    std::uint64_t m_layerRevision = 0;

    EntityStore m_store;
    std::size_t m_indexRebuilds = 0;
    // Slots touched, each with the revision it was touched at; none before m_journalFrom is
    // known. Kept short: once full it starts again from the present revision.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> m_journal;
    std::uint64_t m_journalFrom = 0;
    static constexpr std::size_t kJournalLength = 1 << 16;
    // The extents of model space, kept up as entities come and go: changes of the tables or
    // the active layer leave them, an entity added widens them, and only an entity taken away
    // from their edge (or changed) makes the next Extents gather them again.
    mutable bool m_extentsKnown = false;
    mutable Box2 m_extents;
    void ExtentsLose(const Box2& bounds);
    SpatialIndex m_index;

    LayerTable m_layers;
    LinetypeTable m_linetypes;
    QString m_activeLayer = QStringLiteral("0");
    QString m_additionLayer;
    TextStyle m_textStyle;
    std::vector<std::pair<QString, QVariant>> m_variables;
    std::vector<std::unique_ptr<SelectionSet>> m_selectionSets;
    std::vector<std::pair<int, std::function<void(const Document&)>>> m_listeners;
    UndoHistory m_history{[this](const Revert& revert) { Forget(revert); }};
    int m_nextListener = 1;
};

} // namespace cadhost
