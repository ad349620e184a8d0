// The group reader and writer: every group of a file is kept, the kinds the host draws are
// interpreted, and a save puts the document's changes into what was read.
#include "cadhost/engine/DxfGroups.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include <QFileInfo>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfOutline.h"
#include "cadhost/engine/EngineError.h"

namespace cadhost {

std::string ToDxfText(const QString& text)
{
    std::string out;
    for (char32_t c : text.toUcs4()) {
        if (c < 0x20) {
            out += '^';
            out += char(c + 0x40);
        } else if (c == '^') {
            out += "^ ";
        } else if (c < 0x80) {
            out += char(c);
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\U+%04X", unsigned(c));
            out += buf;
        }
    }
    return out;
}

QString FromDxfText(std::string_view raw)
{
    // Files written by other programs may carry UTF-8 or Latin-1; take UTF-8 when it is valid.
    const QByteArray bytes(raw.data(), qsizetype(raw.size()));
    QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter))
        text = QString::fromLatin1(bytes);
    if (!text.contains(QLatin1Char('\\')) && !text.contains(QLatin1Char('^')))
        return text;
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 6 < text.size() && text.mid(i + 1, 2).compare(QLatin1String("U+"), Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const uint code = text.mid(i + 3, 4).toUInt(&ok, 16);
            if (ok) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                i += 6;
                continue;
            }
        }
        if (text[i] == QLatin1Char('^') && i + 1 < text.size()) {
            const char16_t next = text[i + 1].unicode();
            if (next == u' ') {
                out += QLatin1Char('^');
                ++i;
                continue;
            }
            if (next >= 0x40 && next <= 0x5F) {
                out += QChar(char16_t(next - 0x40));
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

namespace {

// Coordinates beyond this are not drawn (the document refuses them); the entity is kept.
constexpr double kLargest = 1e15;

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<double> ToDouble(std::string_view s)
{
    s = Trim(s);
    double v = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::optional<long long> ToInt(std::string_view s)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    long long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::uint64_t ToHandle(std::string_view s)
{
    s = Trim(s);
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    return ec == std::errc() && end == s.data() + s.size() ? v : 0;
}

std::string HandleText(std::uint64_t h)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h));
    return buf;
}

std::string RealText(double v)
{
    char buf[40];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, ec == std::errc() ? end : buf);
    if (s.find_first_of(".eEn") == std::string::npos)
        s += ".0";
    return s;
}

bool SameText(std::string_view a, const char* b)
{
    a = Trim(a);
    const std::string_view bv(b);
    if (a.size() != bv.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(bv[i])))
            return false;
    return true;
}

// ---------------------------------------------------------------- reading

// Walks the file's lines two by two: a group code and its value.
class GroupCursor {
public:
    explicit GroupCursor(const QByteArray& bytes) : m_p(bytes.constData()), m_end(bytes.constData() + bytes.size()) {}

    // The next group, nullopt at the end of the text. Throws for a code that is not a number.
    std::optional<std::pair<int, std::string_view>> Next()
    {
        if (m_peeked) {
            auto g = *m_peeked;
            m_peeked.reset();
            m_start = m_peekedStart;
            return g;
        }
        for (;;) {
            if (m_p >= m_end)
                return std::nullopt;
            m_start = m_p;
            const std::string_view codeLine = Line();
            if (Trim(codeLine).empty() && m_p >= m_end)
                return std::nullopt;
            const auto code = ToInt(codeLine);
            if (!code || *code < -5 || *code > 1071)
                throw EngineError(QStringLiteral("line %1 holds no group code.").arg(m_line - 1));
            if (m_p >= m_end && m_lastLineMissing)
                throw EngineError(QStringLiteral("the file ends after group code %1 on line %2.").arg(*code).arg(m_line - 1));
            std::string_view value = Line();
            while (!value.empty() && value.back() == '\r')
                value.remove_suffix(1);
            if (*code == 999)
                continue;   // a comment
            return std::pair<int, std::string_view>{int(*code), value};
        }
    }

    std::optional<std::pair<int, std::string_view>> Peek()
    {
        if (!m_peeked) {
            const char* start = m_start;
            m_peeked = Next();
            m_peekedStart = *m_peeked ? m_start : m_end;
            m_start = start;
        }
        return *m_peeked;
    }

    // Where the code line of the group Next returned last starts.
    const char* GroupStart() const { return m_start; }
    // Where the code line of the group Next returns next starts (the end of the text at its end).
    const char* NextStart()
    {
        Peek();
        return m_peekedStart;
    }

    int LineNumber() const { return m_line; }

private:
    std::string_view Line()
    {
        const char* start = m_p;
        while (m_p < m_end && *m_p != '\n')
            ++m_p;
        std::string_view line(start, std::size_t(m_p - start));
        m_lastLineMissing = start >= m_end;
        if (m_p < m_end)
            ++m_p;
        ++m_line;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

    const char* m_p;
    const char* m_end;
    const char* m_start = nullptr;
    const char* m_peekedStart = nullptr;
    int m_line = 1;
    bool m_lastLineMissing = false;
    std::optional<std::optional<std::pair<int, std::string_view>>> m_peeked;
};

DxfGroup Keep(int code, std::string_view value)
{
    return DxfGroup{code, std::string(value)};
}

// What the host draws of an entity record: kind, layer, style and geometry. Points that are
// not numbers or lie beyond reach leave the entity a kind that is kept but not drawn.
struct Interpreted {
    Entity entity;
    std::string_view layerText = "0";   // the layer's name as the file spells it (trimmed)
    bool paperSpace = false;
    bool bad = false;       // values that are no numbers, or beyond reach: not drawn
    bool closedForm = false;  // an arc or a circle: `bounds` are its extents
    Box2 bounds;
};

Interpreted Interpret(std::string_view record)
{
    Interpreted out;
    Entity& e = out.entity;
    const std::string_view type = RecordType(record);
    const bool lwPolyline = type == "LWPOLYLINE";
    double v[64] = {};
    bool has[64] = {};
    std::vector<Point3> lwVertices;
    bool bad = false;
    bool bulged = false;   // a polyline with arc segments: drawn from its record
    Point3 normal{0, 0, 1};   // extrusion direction: planar kinds in another plane are drawn from their record
    int flags = 0;
    int hj = 0, vj = 0;
    std::string_view text;
    bool hasText = false;
    ForOwnGroups(record, [&](int code, std::string_view value) {
        switch (code) {
        case 5: e.handle = ToHandle(value); return;
        case 8: out.layerText = Trim(value); return;
        case 6: e.linetype = FromDxfText(Trim(value)); return;
        case 62: if (auto c = ToInt(value)) e.color = int(*c); return;
        case 67: if (auto c = ToInt(value)) out.paperSpace = *c == 1; return;
        case 70: if (auto c = ToInt(value)) flags = int(*c); return;
        case 72: if (auto c = ToInt(value)) hj = int(*c); return;
        case 73: if (auto c = ToInt(value)) vj = int(*c); return;
        case 1: text = value; hasText = true; return;
        case 210: normal.x = ToDouble(value).value_or(0.0); return;
        case 220: normal.y = ToDouble(value).value_or(0.0); return;
        case 230: normal.z = ToDouble(value).value_or(1.0); return;
        default: break;
        }
        if (code >= 10 && code < 60) {
            const auto d = ToDouble(value);
            if (!d) {
                bad = true;
                return;
            }
            if (code == 42 && *d != 0.0)
                bulged = true;
            if (lwPolyline && (code == 10 || code == 20)) {
                if (code == 10)
                    lwVertices.push_back({*d, 0.0, 0.0});
                else if (!lwVertices.empty())
                    lwVertices.back().y = *d;
                return;
            }
            v[code] = *d;
            has[code] = true;
        }
    });
    if (e.color < kColorByBlock || e.color > kColorByLayer)
        e.color = kColorByLayer;
    if (e.linetype.compare(QLatin1String("BYLAYER"), Qt::CaseInsensitive) == 0)
        e.linetype.clear();
    else if (e.linetype.compare(QLatin1String("BYBLOCK"), Qt::CaseInsensitive) == 0)
        e.linetype = QStringLiteral("BYBLOCK");
    auto at = [&](int code) { return Point3{v[code], v[code + 10], v[code + 20]}; };
    e.kind = EntityKind::Other;
    if (type == "LINE") {
        e.kind = EntityKind::Line;
        e.points = {at(10), at(11)};
    } else if (type == "POINT") {
        e.kind = EntityKind::Point;
        e.points = {at(10)};
    } else if (type == "SOLID") {
        e.kind = EntityKind::Solid;
        e.points = {at(10), at(11), at(12), has[13] ? at(13) : at(12)};
    } else if (type == "TEXT") {
        e.kind = EntityKind::Text;
        e.points = {at(10)};
        if (hasText)
            e.text = FromDxfText(text);
        e.height = has[40] && v[40] > 0 ? v[40] : 1.0;
        e.rotation = v[50] * std::numbers::pi / 180.0;
        const int a = AlignmentFromJustification(hj, vj);
        e.alignment = a < 0 ? kAlignLeft : a;
        e.alignmentPoint = e.alignment == kAlignLeft || !has[11] ? e.points[0] : at(11);
        if (!std::isfinite(e.rotation))
            bad = true;
    } else if (lwPolyline) {
        e.kind = EntityKind::LwPolyline;
        for (Point3& p : lwVertices)
            p.z = v[38];
        e.points = std::move(lwVertices);
        e.closed = (flags & 1) != 0;
        if (e.points.size() < 2)
            bad = true;
    } else if (type == "POLYLINE" && (flags & (16 | 64)) == 0) {
        e.kind = (flags & 8) ? EntityKind::Polyline3d : EntityKind::LwPolyline;
        e.closed = (flags & 1) != 0;
        // The vertices are the records that follow.
        DxfGroupWalker walk(record);
        int code = 0;
        std::string_view value;
        walk.Next(code, value);
        bool more = walk.Next(code, value);
        while (more) {
            if (code != 0 || Trim(value) != "VERTEX") {
                more = walk.Next(code, value);
                continue;
            }
            Point3 p;
            int vertexFlags = 0;
            while ((more = walk.Next(code, value)) && code != 0) {
                if (code == 10 || code == 20 || code == 30) {
                    const auto d = ToDouble(value);
                    if (!d)
                        bad = true;
                    (code == 10 ? p.x : code == 20 ? p.y : p.z) = d.value_or(0.0);
                } else if (code == 70) {
                    vertexFlags = int(ToInt(value).value_or(0));
                } else if (code == 42 && ToDouble(value).value_or(0.0) != 0.0) {
                    bulged = true;
                }
            }
            if (vertexFlags & 16)
                continue;   // a spline's frame point, not on the curve
            if (e.kind == EntityKind::LwPolyline)
                p.z = 0.0;
            e.points.push_back(p);
        }
        if (e.points.size() < 2)
            bad = true;
    }
    for (const Point3& p : e.points)
        if (!(std::abs(p.x) <= kLargest && std::abs(p.y) <= kLargest && std::abs(p.z) <= kLargest))
            bad = true;
    if (e.kind == EntityKind::Text
        && !(std::abs(e.alignmentPoint.x) <= kLargest && std::abs(e.alignmentPoint.y) <= kLargest
             && std::abs(e.alignmentPoint.z) <= kLargest && e.height <= kLargest))
        bad = true;
    out.bad = bad;
    const bool ownPlane = (e.kind == EntityKind::LwPolyline || e.kind == EntityKind::Solid || e.kind == EntityKind::Text)
        && !(normal.x == 0.0 && normal.y == 0.0 && normal.z > 0.0);
    if (bad || bulged || ownPlane) {
        e.kind = EntityKind::Other;
        std::vector<Point3>().swap(e.points);   // its memory too: a drawing holds millions
        e.text = QString();
        e.closed = false;
    }
    if (e.kind == EntityKind::Other && !bad) {
        // Arcs and circles are bounded in closed form (their quadrant points where they pass
        // them); the outline of any other kind is computed once for its extents.
        const bool arc = type == "ARC";
        if ((arc || type == "CIRCLE") && has[40] && normal.x == 0.0 && normal.y == 0.0 && normal.z != 0.0) {
            const double r = v[40];
            double a0 = arc ? v[50] * std::numbers::pi / 180 : 0.0;
            double a1 = arc ? v[51] * std::numbers::pi / 180 : 2 * std::numbers::pi;
            while (a1 <= a0)
                a1 += 2 * std::numbers::pi;
            Box2 box;
            auto add = [&](double a) { box.Add(v[10] + r * std::cos(a), v[20] + r * std::sin(a)); };
            add(a0);
            add(a1);
            for (double q = std::ceil(a0 / (std::numbers::pi / 2)) * (std::numbers::pi / 2); q < a1; q += std::numbers::pi / 2)
                if (q > a0)
                    add(q);
            if (normal.z < 0)   // seen from below: x turns over
                box = Box2{-box.maxX, box.minY, -box.minX, box.maxY};
            if (std::isfinite(box.minX) && std::isfinite(box.minY) && std::abs(box.minX) < kLargest
                && std::abs(box.maxX) < kLargest && std::abs(box.minY) < kLargest && std::abs(box.maxY) < kLargest)
                out.bounds = box;
            out.closedForm = true;
        }
    }
    return out;
}

// The value of a header variable: the groups after "9 $NAME" up to the next 9.
std::vector<DxfGroup>::iterator FindVariable(std::vector<DxfGroup>& groups, const char* name)
{
    for (auto it = groups.begin(); it != groups.end(); ++it)
        if (it->code == 9 && SameText(it->value, name))
            return it;
    return groups.end();
}

std::string EntryName(const DxfRecord& entry)
{
    for (std::size_t i = 1; i < entry.groups.size(); ++i)
        if (entry.groups[i].code == 2)
            return std::string(Trim(entry.groups[i].value));
    return {};
}

DxfGroup* FindGroup(DxfRecord& record, int code)
{
    DxfGroup* found = nullptr;
    ForOwnGroups(record, [&](std::size_t i, const DxfGroup&) {
        if (!found && record.groups[i].code == code)
            found = &record.groups[i];
    });
    return found;
}

const DxfGroup* FindGroup(const DxfRecord& record, int code)
{
    return FindGroup(const_cast<DxfRecord&>(record), code);
}

// True when the record names its extension dictionary (102 {ACAD_XDICTIONARY ... 102 }).
bool HasExtensionDictionary(std::string_view record)
{
    if (record.find("{ACAD_XDICTIONARY") == std::string_view::npos)
        return false;   // most records: not worth walking group by group
    DxfGroupWalker walk(record);
    int code = 0;
    std::string_view value;
    bool first = true;
    while (walk.Next(code, value)) {
        if (code == 0 && !first)
            return false;
        first = false;
        if (code == 102 && Trim(value) == "{ACAD_XDICTIONARY")
            return true;
    }
    return false;
}

class Reader {
public:
    // `text` has every line ended by a line feed alone; the source keeps it (shared, not copied).
    Reader(const QByteArray& text, Document& doc) : m_in(text), m_doc(doc), m_source(std::make_shared<DxfSource>())
    {
        m_source->text = text;
    }

    std::shared_ptr<DxfSource> Read()
    {
        m_source->release = "AC1009";
        while (auto g = m_in.Next()) {
            if (g->first == 0 && SameText(g->second, "EOF"))
                break;
            if (g->first != 0 || !SameText(g->second, "SECTION"))
                throw Damaged(QStringLiteral("a section was expected"));
            const auto name = m_in.Next();
            if (!name || name->first != 2)
                throw Damaged(QStringLiteral("a section without a name"));
            DxfSource::Section section;
            section.name = std::string(Trim(name->second));
            for (char& c : section.name)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            if (section.name == "ENTITIES")
                ReadEntities();
            else if (section.name == "TABLES")
                ReadTables(section);
            else
                ReadRaw(section.groups);
            if (section.name == "BLOCKS")
                m_blocks = ReadBlocks(section.groups);
            if (section.name == "HEADER")
                ReadHeader(section.groups);
            m_source->sections.push_back(std::move(section));
        }
        bool hasEntities = false;
        for (const auto& s : m_source->sections)
            hasEntities |= s.name == "ENTITIES";
        if (!hasEntities) {
            // What the drawing gains goes into an ENTITIES section after the blocks.
            auto at = m_source->sections.begin();
            for (auto it = m_source->sections.begin(); it != m_source->sections.end(); ++it)
                if (it->name == "HEADER" || it->name == "CLASSES" || it->name == "TABLES" || it->name == "BLOCKS")
                    at = it + 1;
            DxfSource::Section entities;
            entities.name = "ENTITIES";
            m_source->sections.insert(at, std::move(entities));
        }
        m_source->handles = m_source->handles || m_source->Modern() || m_sawEntityHandle;
        m_source->firstFreeHandle = std::max(m_source->firstFreeHandle, m_highestHandle + 1);
        m_doc.SetNextHandle(m_source->firstFreeHandle);
        AddEntities();
        for (const auto& [layer, linetype] : m_layerLinetypes)
            if (const Linetype* lt = m_doc.Linetypes().Find(linetype))
                m_doc.SetLayerLinetype(layer, lt->name);
        // The active layer cannot be frozen; a file claiming so gets it thawed.
        m_doc.AddLayer(m_doc.ActiveLayer()).frozen = false;
        for (int i = 0; i < m_doc.Layers().Count(); ++i)
            m_source->layersRead.push_back(m_doc.Layers().At(i));
        m_source->fontRead = m_doc.GetFont().typeface;
        return m_source;
    }

private:
    EngineError Damaged(const QString& what) const
    {
        return EngineError(QStringLiteral("%1 near line %2.").arg(what).arg(m_in.LineNumber()));
    }

    std::pair<int, std::string_view> Need()
    {
        auto g = m_in.Next();
        if (!g)
            throw Damaged(QStringLiteral("the file ends inside a section"));
        Note(g->first, g->second);
        return *g;
    }

    void Note(int code, std::string_view value)
    {
        if (code == 5 || code == 105)
            m_highestHandle = std::max(m_highestHandle, ToHandle(value));
    }

    bool AtEndOfSection()
    {
        const auto next = m_in.Peek();
        if (!next)
            throw Damaged(QStringLiteral("the file ends inside a section"));
        if (next->first == 0 && SameText(next->second, "ENDSEC")) {
            m_in.Next();
            return true;
        }
        return false;
    }

    void ReadRaw(std::vector<DxfGroup>& groups)
    {
        while (!AtEndOfSection()) {
            const auto [code, value] = Need();
            groups.push_back(Keep(code, value));
        }
    }

    // The groups after a record's "0 TYPE" up to the next group 0.
    void ReadRecordBody(DxfRecord& record)
    {
        for (auto next = m_in.Peek(); next && next->first != 0; next = m_in.Peek()) {
            const auto [code, value] = Need();
            record.groups.push_back(Keep(code, value));
        }
    }

    void ReadHeader(std::vector<DxfGroup>& groups)
    {
        if (auto it = FindVariable(groups, "$ACADVER"); it != groups.end() && it + 1 != groups.end())
            m_source->release = std::string(Trim((it + 1)->value));
        if (auto it = FindVariable(groups, "$HANDSEED"); it != groups.end() && it + 1 != groups.end())
            m_source->firstFreeHandle = std::max(m_source->firstFreeHandle, ToHandle((it + 1)->value));
        if (auto it = FindVariable(groups, "$HANDLING"); it != groups.end() && it + 1 != groups.end())
            m_source->handles = ToInt((it + 1)->value).value_or(0) != 0;
    }

    void ReadTables(DxfSource::Section& section)
    {
        while (!AtEndOfSection()) {
            const auto [code, value] = Need();
            if (code != 0 || !SameText(value, "TABLE"))
                throw Damaged(QStringLiteral("a table was expected"));
            DxfTable table;
            while (true) {
                const auto next = m_in.Peek();
                if (!next)
                    throw Damaged(QStringLiteral("the file ends inside a table"));
                if (next->first == 0)
                    break;
                const auto [c, v] = Need();
                if (c == 2 && table.name.empty())
                    table.name = std::string(Trim(v));
                if (c == 5 && table.handle.empty())
                    table.handle = std::string(Trim(v));
                table.head.push_back(Keep(c, v));
            }
            for (char& c : table.name)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            while (true) {
                const auto [c, v] = Need();
                if (c == 0 && SameText(v, "ENDTAB"))
                    break;
                if (c == 0 && (SameText(v, "ENDSEC") || SameText(v, "TABLE")))
                    throw Damaged(QStringLiteral("a table without its end"));
                DxfRecord entry;
                entry.groups.push_back(Keep(c, v));
                ReadRecordBody(entry);
                TakeEntry(table.name, entry);
                table.entries.push_back(std::move(entry));
            }
            section.tables.push_back(std::move(table));
        }
    }

    // What the document keeps of a table entry: layers, line types, the Standard style's font,
    // the owner of model space.
    void TakeEntry(const std::string& table, const DxfRecord& entry)
    {
        const QString name = FromDxfText(EntryName(entry));
        auto integer = [&](int code, long long fallback) {
            const DxfGroup* g = FindGroup(entry, code);
            return g ? ToInt(g->value).value_or(fallback) : fallback;
        };
        if (table == "LAYER") {
            if (!LayerTable::IsValidName(name))
                return;
            Layer& l = m_doc.AddLayer(name);
            const long long color = integer(62, 7);
            l.color = std::abs(color) >= 1 && std::abs(color) <= 255 ? int(std::abs(color)) : 7;
            l.on = color >= 0;
            const long long flags = integer(70, 0);
            l.frozen = (flags & 1) != 0;
            l.locked = (flags & 4) != 0;
            const DxfGroup* lt = FindGroup(entry, 6);
            m_layerLinetypes.emplace_back(l.name, lt ? FromDxfText(Trim(lt->value)) : QString());
        } else if (table == "LTYPE") {
            Linetype lt;
            lt.name = name;
            ForOwnGroups(entry, [&](std::size_t, const DxfGroup& g) {
                if (g.code == 3)
                    lt.description = FromDxfText(g.value);
                else if (g.code == 49)
                    lt.pattern.push_back(ToDouble(g.value).value_or(0.0));
            });
            if (!lt.name.isEmpty())
                m_doc.Linetypes().Define(lt);
        } else if (table == "STYLE" && name.compare(QLatin1String("Standard"), Qt::CaseInsensitive) == 0) {
            const DxfGroup* g = FindGroup(entry, 3);
            const QString file = g ? FromDxfText(Trim(g->value)) : QString();
            FontDesc font = m_doc.GetFont();
            font.typeface = file.endsWith(QLatin1String(".ttf"), Qt::CaseInsensitive) ? QFileInfo(file).completeBaseName() : QString();
            m_doc.SetFont(font);
        } else if (table == "BLOCK_RECORD" && name.compare(QLatin1String("*Model_Space"), Qt::CaseInsensitive) == 0) {
            if (const DxfGroup* g = FindGroup(entry, 5))
                m_source->modelSpaceOwner = std::string(Trim(g->value));
        }
    }

    void ReadEntities()
    {
        while (!AtEndOfSection()) {
            const auto [code, value] = Need();
            if (code != 0)
                throw Damaged(QStringLiteral("an entity was expected"));
            const char* start = m_in.GroupStart();
            // A polyline's vertices and a block reference's attributes belong to it, up to SEQEND.
            const std::string_view type = Trim(value);
            bool follows = type == "POLYLINE";
            const bool insert = type == "INSERT";
            int braces = 0;
            bool own = true;
            for (auto next = m_in.Peek(); next && next->first != 0; next = m_in.Peek()) {
                const auto [c, v] = Need();
                // The own groups: not inside application groups ({...}), not extended data.
                if (c >= 1000)
                    own = false;
                if (c == 102)
                    braces += v.find('{') != std::string_view::npos ? 1 : (braces > 0 ? -1 : 0);
                else if (own && braces == 0) {
                    m_sawEntityHandle |= c == 5;
                    follows |= insert && c == 66 && ToInt(v) == 1;
                }
            }
            while (follows) {
                const auto next = m_in.Peek();
                if (!next || next->first != 0)
                    break;
                const std::string_view sub = Trim(next->second);
                if (sub != "VERTEX" && sub != "ATTRIB" && sub != "SEQEND")
                    break;
                Need();
                for (auto body = m_in.Peek(); body && body->first != 0; body = m_in.Peek())
                    Need();
                if (sub == "SEQEND")
                    break;
            }
            m_records.emplace_back(start, std::size_t(m_in.NextStart() - start));
        }
    }

    void AddEntities()
    {
        m_source->blocks = std::make_shared<const DxfBlocks>(std::move(m_blocks));
        // Room for what the wizards add too: the first entity added to a large drawing must not
        // move all the others (room not used costs no memory, only addresses).
        m_doc.Reserve(m_records.size() + m_records.size() / 4 + 1024);
        for (const std::string_view record : m_records) {
            Interpreted in = Interpret(record);
            if (in.paperSpace) {
                m_source->paperSpace.push_back(ParseRecord(record));
                continue;
            }
            Entity& e = in.entity;
            e.layer = LayerName(in.layerText);
            if (!e.linetype.isEmpty() && e.linetype != QLatin1String("BYBLOCK")) {
                const Linetype* lt = m_doc.Linetypes().Find(e.linetype);
                e.linetype = lt ? lt->name : QString();   // one the file does not define: its layer's
            }
            std::optional<Box2> bounds;
            if (e.kind == EntityKind::Other) {
                // Nothing of the outline is kept: only its extents, for the index.
                if (in.closedForm) {
                    bounds = in.bounds;
                } else if (!in.bad) {
                    bounds = ExtentsOf(ParseRecord(record), *m_source->blocks);
                } else {
                    bounds = Box2{};
                }
                if (RecordType(record) == "HATCH") {
                    std::optional<long long> fill;
                    ForOwnGroups(record, [&](int code, std::string_view value) {
                        if (code == 70 && !fill)
                            fill = ToInt(value);
                    });
                    e.filled = fill == 1;
                }
            }
            if (e.handle != 0 && HasExtensionDictionary(record))
                m_source->extensionDictionaryOwners.push_back(e.handle);
            e.SetRecord(record);
            m_doc.AddEntity(std::move(e), bounds);
        }
        m_records.clear();
    }

    // The layer table's spelling of the layer a record names (made when missing); the names
    // met so far are kept by their text in the file, so most records find theirs without
    // decoding or comparing names.
    QString LayerName(std::string_view text)
    {
        if (const auto it = m_layerNames.find(text); it != m_layerNames.end())
            return it->second;
        const QString name = FromDxfText(text);
        const QString taken = m_doc.AddLayer(LayerTable::IsValidName(name) ? name : QStringLiteral("0")).name;
        m_layerNames.emplace(text, taken);
        return taken;
    }

    GroupCursor m_in;
    Document& m_doc;
    std::shared_ptr<DxfSource> m_source;
    std::vector<std::string_view> m_records;   // model space and paper space entities, as read
    std::unordered_map<std::string_view, QString> m_layerNames;   // by the text of the file
    DxfBlocks m_blocks;
    std::vector<std::pair<QString, QString>> m_layerLinetypes;
    std::uint64_t m_highestHandle = 0;
    bool m_sawEntityHandle = false;
};

// ---------------------------------------------------------------- writing

class Writer {
public:
    Writer(const Document& doc, const DxfSource& source) : m_doc(doc), m_src(source), m_modern(source.Modern()) {}

    std::string Write()
    {
        // The header names the next free handle, known only once the rest is written.
        std::string body;
        std::swap(m_out, body);
        // Most of the text is the records as read: room for them, and some for what changed.
        m_out.reserve(std::size_t(m_src.text.size()) + std::size_t(m_src.text.size() / 8) + 4096);
        for (const auto& section : m_src.sections) {
            if (section.name == "HEADER")
                continue;
            Group(0, "SECTION");
            Group(2, section.name);
            if (section.name == "TABLES")
                WriteTables(section);
            else if (section.name == "ENTITIES")
                WriteEntities();
            else if (section.name == "OBJECTS")
                WriteObjects(section.groups);
            else
                WriteGroups(section.groups);
            Group(0, "ENDSEC");
        }
        Group(0, "EOF");
        std::swap(m_out, body);
        for (const auto& section : m_src.sections) {
            if (section.name != "HEADER")
                continue;
            Group(0, "SECTION");
            Group(2, section.name);
            WriteHeader(section.groups);
            Group(0, "ENDSEC");
        }
        m_out += body;
        return std::move(m_out);
    }

private:
    void Group(int code, std::string_view value)
    {
        char buf[16];
        const int n = std::snprintf(buf, sizeof buf, "%3d\n", code);
        m_out.append(buf, std::size_t(n));
        m_out.append(value);
        m_out += '\n';
    }
    void Real(int code, double v) { Group(code, RealText(v)); }
    void Int(int code, long long v) { Group(code, std::to_string(v)); }
    void Point(int code, const Point3& p)
    {
        Real(code, p.x);
        Real(code + 10, p.y);
        Real(code + 20, p.z);
    }
    void WriteGroups(const std::vector<DxfGroup>& groups)
    {
        for (const DxfGroup& g : groups)
            Group(g.code, g.value);
    }
    std::string NewHandle() { return HandleText(m_doc.TakeHandle()); }

    void WriteHeader(const std::vector<DxfGroup>& read)
    {
        std::vector<DxfGroup> groups = read;
        // Extents take in the document's and what the file said (kinds not drawn have none here).
        Box2 box = m_doc.Extents();
        auto point = [&](const char* name) -> std::optional<Point3> {
            auto it = FindVariable(groups, name);
            if (it == groups.end())
                return std::nullopt;
            Point3 p;
            for (auto g = it + 1; g != groups.end() && g->code != 9; ++g) {
                const auto d = ToDouble(g->value);
                if (!d || !(std::abs(*d) < kLargest))
                    return std::nullopt;   // an empty drawing's "none" (1e20) or damage
                (g->code == 10 ? p.x : g->code == 20 ? p.y : p.z) = *d;
            }
            return p;
        };
        const auto fileMin = point("$EXTMIN"), fileMax = point("$EXTMAX");
        if (fileMin && fileMax && fileMin->x <= fileMax->x && fileMin->y <= fileMax->y) {
            box.Add(*fileMin);
            box.Add(*fileMax);
        }
        auto set = [&](const char* name, int code, const std::string& value) {
            auto it = FindVariable(groups, name);
            if (it == groups.end())
                return;
            for (auto g = it + 1; g != groups.end() && g->code != 9; ++g)
                if (g->code == code)
                    g->value = value;
        };
        if (!box.IsEmpty()) {
            set("$EXTMIN", 10, RealText(box.minX));
            set("$EXTMIN", 20, RealText(box.minY));
            set("$EXTMAX", 10, RealText(box.maxX));
            set("$EXTMAX", 20, RealText(box.maxY));
        }
        set("$HANDSEED", 5, HandleText(m_doc.NextHandle()));
        set("$CLAYER", 8, ToDxfText(m_doc.ActiveLayer()));
        WriteGroups(groups);
    }

    // ---- tables

    void WriteTables(const DxfSource::Section& section)
    {
        for (const DxfTable& table : section.tables) {
            std::vector<DxfRecord> entries;
            if (table.name == "LAYER")
                entries = Layers(table);
            else if (table.name == "LTYPE")
                entries = Linetypes(table);
            else if (table.name == "STYLE")
                entries = Styles(table);
            else
                entries = table.entries;
            Group(0, "TABLE");
            bool counted = false;
            for (const DxfGroup& g : table.head) {
                if (g.code == 70 && !counted) {
                    Int(70, (long long)entries.size());
                    counted = true;
                } else {
                    Group(g.code, g.value);
                }
            }
            for (const DxfRecord& entry : entries)
                WriteGroups(entry.groups);
            Group(0, "ENDTAB");
        }
    }

    DxfRecord NewEntry(const char* type, const DxfTable& table, const char* subclass, const QString& name)
    {
        DxfRecord r;
        r.groups.push_back({0, type});
        if (m_src.handles)
            r.groups.push_back({5, NewHandle()});
        if (m_modern) {
            if (!table.handle.empty())
                r.groups.push_back({330, table.handle});
            r.groups.push_back({100, "AcDbSymbolTableRecord"});
            r.groups.push_back({100, subclass});
        }
        r.groups.push_back({2, ToDxfText(name)});
        r.groups.push_back({70, "0"});
        return r;
    }

    // The spelling of a line type as the file's table has it.
    std::string LinetypeSpelling(const QString& name) const
    {
        for (const auto& section : m_src.sections)
            for (const DxfTable& table : section.tables)
                if (table.name == "LTYPE")
                    for (const DxfRecord& entry : table.entries)
                        if (FromDxfText(EntryName(entry)).compare(name, Qt::CaseInsensitive) == 0)
                            return EntryName(entry);
        return ToDxfText(name);
    }

    static void SetGroup(DxfRecord& r, int code, const std::string& value, int after)
    {
        if (DxfGroup* g = FindGroup(r, code)) {
            g->value = value;
            return;
        }
        std::size_t at = r.groups.size();
        ForOwnGroups(r, [&](std::size_t i, const DxfGroup& g) {
            if (g.code == after)
                at = i + 1;
        });
        r.groups.insert(r.groups.begin() + std::ptrdiff_t(at), DxfGroup{code, value});
    }

    // The layer as it was read, nullptr for one the file did not have.
    const Layer* LayerAsRead(const QString& name) const
    {
        for (const Layer& read : m_src.layersRead)
            if (read.name.compare(name, Qt::CaseInsensitive) == 0)
                return &read;
        return nullptr;
    }

    // Puts into a layer's entry what changed since it was read (everything for a new one).
    void PutLayer(DxfRecord& r, const Layer& l, const Layer* read)
    {
        if (!read || read->color != l.color || read->on != l.on)
            SetGroup(r, 62, std::to_string(l.on ? l.color : -l.color), 70);
        if (!read || read->frozen != l.frozen || read->locked != l.locked) {
            const DxfGroup* flagGroup = FindGroup(r, 70);
            const long long flags = flagGroup ? ToInt(flagGroup->value).value_or(0) : 0;
            SetGroup(r, 70, std::to_string((flags & ~5LL) | (l.frozen ? 1 : 0) | (l.locked ? 4 : 0)), 2);
        }
        if (!read || read->linetype.compare(l.linetype, Qt::CaseInsensitive) != 0)
            SetGroup(r, 6, LinetypeSpelling(l.linetype), 62);
    }

    std::vector<DxfRecord> Layers(const DxfTable& table)
    {
        std::vector<DxfRecord> out;
        const LayerTable& layers = m_doc.Layers();
        std::vector<bool> written(std::size_t(layers.Count()), false);
        for (const DxfRecord& entry : table.entries) {
            const QString name = FromDxfText(EntryName(entry));
            const int index = layers.IndexOf(name);
            if (index < 0) {
                if (!LayerAsRead(name))
                    out.push_back(entry);   // a layer the document never took: as it was
                continue;
            }
            if (written[std::size_t(index)])
                continue;
            written[std::size_t(index)] = true;
            DxfRecord r = entry;
            PutLayer(r, layers.At(index), LayerAsRead(name));
            out.push_back(std::move(r));
        }
        for (int i = 0; i < layers.Count(); ++i) {
            if (written[std::size_t(i)])
                continue;
            const Layer& l = layers.At(i);
            DxfRecord r = NewEntry("LAYER", table, "AcDbLayerTableRecord", l.name);
            r.groups.push_back({62, std::to_string(l.on ? l.color : -l.color)});
            r.groups.push_back({6, LinetypeSpelling(l.linetype)});
            PutLayer(r, l, nullptr);
            out.push_back(std::move(r));
        }
        return out;
    }

    std::vector<DxfRecord> Linetypes(const DxfTable& table)
    {
        std::vector<DxfRecord> out = table.entries;
        const LinetypeTable& linetypes = m_doc.Linetypes();
        for (int i = 0; i < linetypes.Count(); ++i) {
            const Linetype& lt = linetypes.At(i);
            bool present = false;
            for (const DxfRecord& entry : table.entries)
                present |= FromDxfText(EntryName(entry)).compare(lt.name, Qt::CaseInsensitive) == 0;
            if (present || lt.name.compare(QLatin1String("ByBlock"), Qt::CaseInsensitive) == 0
                || lt.name.compare(QLatin1String("ByLayer"), Qt::CaseInsensitive) == 0)
                continue;
            DxfRecord r = NewEntry("LTYPE", table, "AcDbLinetypeTableRecord", lt.name);
            r.groups.push_back({3, ToDxfText(lt.description)});
            r.groups.push_back({72, "65"});
            r.groups.push_back({73, std::to_string(lt.pattern.size())});
            double total = 0.0;
            for (double d : lt.pattern)
                total += std::abs(d);
            r.groups.push_back({40, RealText(total)});
            for (double d : lt.pattern) {
                r.groups.push_back({49, RealText(d)});
                if (m_modern)
                    r.groups.push_back({74, "0"});
            }
            out.push_back(std::move(r));
        }
        return out;
    }

    std::vector<DxfRecord> Styles(const DxfTable& table)
    {
        std::vector<DxfRecord> out = table.entries;
        const QString typeface = m_doc.ActiveTextStyle().font.typeface;
        if (typeface == m_src.fontRead)
            return out;
        for (DxfRecord& entry : out)
            if (FromDxfText(EntryName(entry)).compare(QLatin1String("Standard"), Qt::CaseInsensitive) == 0)
                SetGroup(entry, 3, typeface.isEmpty() ? std::string("txt") : ToDxfText(typeface + QStringLiteral(".ttf")), 2);
        return out;
    }

    // ---- objects

    // The objects as read, less the extension dictionaries of erased entities and what they
    // hold: left behind, they would have no owner.
    void WriteObjects(const std::vector<DxfGroup>& groups)
    {
        std::unordered_set<std::uint64_t> gone(m_src.extensionDictionaryOwners.begin(),
                                               m_src.extensionDictionaryOwners.end());
        if (!gone.empty())
            m_doc.ForEachEntity([&](const Entity& e) { gone.erase(e.handle); });
        if (gone.empty()) {
            WriteGroups(groups);
            return;
        }
        struct Object {
            std::size_t begin = 0, end = 0;
            std::uint64_t handle = 0, owner = 0;
        };
        std::vector<Object> objects;
        int braces = 0;
        bool ownerSeen = false;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const DxfGroup& g = groups[i];
            if (g.code == 0 || objects.empty()) {
                objects.push_back({i, i, 0, 0});
                braces = 0;
                ownerSeen = false;
            }
            Object& o = objects.back();
            o.end = i + 1;
            if (g.code == 102)
                braces += g.value.find('{') != std::string::npos ? 1 : (braces > 0 ? -1 : 0);
            else if (g.code == 5 && o.handle == 0)
                o.handle = ToHandle(g.value);
            else if (g.code == 330 && braces == 0 && !ownerSeen) {
                o.owner = ToHandle(g.value);
                ownerSeen = true;
            }
        }
        // What a dropped object owns is dropped with it.
        for (bool more = true; more;) {
            more = false;
            for (const Object& o : objects)
                if (o.handle != 0 && o.owner != 0 && gone.count(o.owner) && gone.insert(o.handle).second)
                    more = true;
        }
        for (const Object& o : objects)
            if (o.handle == 0 || !gone.count(o.handle))
                for (std::size_t i = o.begin; i < o.end; ++i)
                    Group(groups[i].code, groups[i].value);
    }

    // ---- entities

    void WriteEntities()
    {
        m_doc.ForEachEntity([&](const Entity& e) {
            if (!e.Record().empty() && !e.edited)
                m_out.append(e.Record());   // as it was read, byte for byte
            else if (!e.Record().empty())
                WriteEdited(e);
            else
                WriteNew(e);
        });
        for (const DxfRecord& record : m_src.paperSpace)
            WriteGroups(record.groups);
    }

    // A record read with what the host changed put in: the layer everywhere it named the old
    // one, and a text's string, placement, height, rotation and justification.
    void WriteEdited(const Entity& e)
    {
        DxfRecord r = ParseRecord(e.Record());
        const Interpreted was = Interpret(e.Record());
        const QString wasLayer = FromDxfText(was.layerText);
        if (wasLayer.compare(e.layer, Qt::CaseInsensitive) != 0
            && !(e.layer == QLatin1String("0") && !LayerTable::IsValidName(wasLayer))) {
            const std::string layer = ToDxfText(e.layer);
            int braces = 0;
            for (std::size_t i = 1; i < r.groups.size(); ++i) {
                DxfGroup& g = r.groups[i];
                if (g.code == 102)
                    braces += Trim(g.value).starts_with('{') ? 1 : (braces > 0 ? -1 : 0);
                else if (g.code == 8 && braces == 0 && FromDxfText(Trim(g.value)).compare(wasLayer, Qt::CaseInsensitive) == 0)
                    g.value = layer;
            }
            if (!FindGroup(r, 8))
                SetGroup(r, 8, layer, 0);
        }
        if (e.kind == EntityKind::Text && was.entity.kind == EntityKind::Text) {
            const Entity& old = was.entity;
            if (old.text != e.text)
                SetGroup(r, 1, ToDxfText(e.text), 40);
            if (!(old.points[0] == e.points[0]))
                for (int k = 0; k < 3; ++k)
                    SetGroup(r, 10 + 10 * k, RealText(k == 0 ? e.points[0].x : k == 1 ? e.points[0].y : e.points[0].z), k == 0 ? 8 : 10 * k);
            if (old.height != e.height)
                SetGroup(r, 40, RealText(e.height), 30);
            if (old.rotation != e.rotation)
                SetGroup(r, 50, RealText(e.rotation * 180.0 / std::numbers::pi), 1);
            if (old.alignment != e.alignment || !(old.alignmentPoint == e.alignmentPoint)) {
                const int h = HorizontalJustification(e.alignment);
                const int v = h >= 3 ? 0 : VerticalJustification(e.alignment);
                SetGroup(r, 72, std::to_string(h), 1);
                const Point3& ap = e.alignment == kAlignLeft ? e.points[0] : e.alignmentPoint;
                SetGroup(r, 11, RealText(ap.x), 72);
                SetGroup(r, 21, RealText(ap.y), 11);
                SetGroup(r, 31, RealText(ap.z), 21);
                SetGroup(r, 73, std::to_string(v), 31);
            }
        }
        WriteGroups(r.groups);
    }

    // The head every entity made here starts with.
    void Head(const char* type, const std::string& handle, const Entity& e, const std::string& owner)
    {
        Group(0, type);
        if (m_src.handles)
            Group(5, handle);
        if (m_modern) {
            if (!owner.empty())
                Group(330, owner);
            Group(100, "AcDbEntity");
        }
        Group(8, ToDxfText(e.layer));
        if (!e.linetype.isEmpty())
            Group(6, LinetypeSpelling(e.linetype));
        if (e.color != kColorByLayer)
            Int(62, e.color);
    }

    void WriteNew(const Entity& e)
    {
        const std::string handle = HandleText(e.handle);
        const std::string& owner = m_src.modelSpaceOwner;
        const auto& p = e.points;
        switch (e.kind) {
        case EntityKind::Line:
            Head("LINE", handle, e, owner);
            if (m_modern)
                Group(100, "AcDbLine");
            Point(10, p[0]);
            Point(11, p[1]);
            break;
        case EntityKind::Point:
            Head("POINT", handle, e, owner);
            if (m_modern)
                Group(100, "AcDbPoint");
            Point(10, p[0]);
            break;
        case EntityKind::Solid:
            Head("SOLID", handle, e, owner);
            if (m_modern)
                Group(100, "AcDbTrace");
            for (int i = 0; i < 4; ++i)
                Point(10 + i, p[std::size_t(i)]);
            break;
        case EntityKind::Text: {
            Head("TEXT", handle, e, owner);
            if (m_modern)
                Group(100, "AcDbText");
            Point(10, p[0]);
            Real(40, e.height);
            Group(1, ToDxfText(e.text));
            if (e.rotation != 0.0)
                Real(50, e.rotation * 180.0 / std::numbers::pi);
            const int h = HorizontalJustification(e.alignment);
            const int v = h >= 3 ? 0 : VerticalJustification(e.alignment);
            if (h != 0)
                Int(72, h);
            if (e.alignment != kAlignLeft)
                Point(11, e.alignmentPoint);
            if (m_modern)
                Group(100, "AcDbText");
            if (v != 0)
                Int(73, v);
            break;
        }
        case EntityKind::LwPolyline:
            if (m_modern) {
                Head("LWPOLYLINE", handle, e, owner);
                Group(100, "AcDbPolyline");
                Int(90, (long long)p.size());
                Int(70, e.closed ? 1 : 0);
                for (const Point3& v : p) {
                    Real(10, v.x);
                    Real(20, v.y);
                }
                break;
            }
            [[fallthrough]];
        case EntityKind::Polyline3d: {
            const bool is3d = e.kind == EntityKind::Polyline3d;
            Head("POLYLINE", handle, e, owner);
            if (m_modern)
                Group(100, is3d ? "AcDb3dPolyline" : "AcDb2dPolyline");
            Int(66, 1);
            Point(10, Point3{});
            Int(70, (e.closed ? 1 : 0) | (is3d ? 8 : 0));
            for (const Point3& v : p) {
                Head("VERTEX", NewHandle(), e, handle);
                if (m_modern) {
                    Group(100, "AcDbVertex");
                    Group(100, is3d ? "AcDb3dPolylineVertex" : "AcDb2dVertex");
                }
                Point(10, is3d ? v : Point3{v.x, v.y, 0.0});
                Int(70, is3d ? 32 : 0);
            }
            Head("SEQEND", NewHandle(), e, handle);
            break;
        }
        case EntityKind::Other:
            break;   // only read entities are of other kinds, and they have their record
        }
    }

    const Document& m_doc;
    const DxfSource& m_src;
    const bool m_modern;
    std::string m_out;
};

} // namespace

namespace {

// The text with every line ended by a line feed alone: carriage returns before a line feed
// are dropped and a last line gets its line feed. Text already so is shared, not copied.
QByteArray WithLineFeeds(const QByteArray& bytes)
{
    if (!bytes.contains('\r') && (bytes.isEmpty() || bytes.endsWith('\n')))
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + 1);
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        const char* stop = lineEnd ? lineEnd : end;
        const char* keep = stop;
        while (keep > p && keep[-1] == '\r')
            --keep;
        out.append(p, keep - p);
        out.append('\n');
        p = lineEnd ? lineEnd + 1 : end;
    }
    return out;
}

} // namespace

std::shared_ptr<DxfSource> ReadDxfGroups(const QByteArray& bytes, Document& doc)
{
    return Reader(WithLineFeeds(bytes), doc).Read();
}

std::string WriteDxfGroups(const Document& doc, const DxfSource& source)
{
    return Writer(doc, source).Write();
}

} // namespace cadhost
