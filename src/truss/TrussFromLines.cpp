// AddLinesToModel: the truss a set of drawn lines describes, added to the model tables.
#include "truss/TrussFromLines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

#include <QStringList>

#include "desktop/Error.h"
#include "truss/TrussModel.h"

namespace ardela {

namespace {

struct Position {
    double x = 0.0;
    double y = 0.0;
};

// A bar to be: its two node numbers and the line it comes from.
struct Piece {
    int i = 0;
    int j = 0;
    int line = 0;
};

[[noreturn]] void Refuse(const QString& what)
{
    throw ModelError(what);
}

// "line 3, line 7 and 2 more": the first few names of a list.
QString NameList(const QStringList& names)
{
    constexpr int kShown = 5;
    QStringList shown = names.mid(0, kShown);
    QString text = shown.join(QStringLiteral(", "));
    if (names.size() > kShown)
        text += QStringLiteral(" and %1 more").arg(names.size() - kShown);
    return text;
}

// The numeric nodes already in the table, by row (rows whose cells are not numbers take no part).
std::vector<std::pair<int, Position>> TableNodes(const TrussModel& model)
{
    std::vector<std::pair<int, Position>> nodes;
    for (int r = 1; r <= model.NodeCount; ++r) {
        const Cell& x = model.Nodes(r, 1);
        const Cell& y = model.Nodes(r, 2);
        if (x.IsNumeric() && y.IsNumeric())
            nodes.push_back({r, {x.ToDouble(), y.ToDouble()}});
    }
    return nodes;
}

struct Box {
    double xmin = 0.0;
    double xmax = 0.0;
    double ymin = 0.0;
    double ymax = 0.0;
};

// The box around the lines; `lines` is not empty.
Box BoxOf(const std::vector<DrawnLine>& lines)
{
    Box box{lines[0].x1, lines[0].x1, lines[0].y1, lines[0].y1};
    for (const DrawnLine& l : lines) {
        box.xmin = std::min({box.xmin, l.x1, l.x2});
        box.xmax = std::max({box.xmax, l.x1, l.x2});
        box.ymin = std::min({box.ymin, l.y1, l.y2});
        box.ymax = std::max({box.ymax, l.y1, l.y2});
    }
    return box;
}

bool Near(const Position& a, const Position& b, double tolerance)
{
    return std::hypot(a.x - b.x, a.y - b.y) <= tolerance;
}

} // namespace

double MergeDistance(const std::vector<DrawnLine>& lines, double relative)
{
    if (lines.empty())
        return 0.0;
    const Box box = BoxOf(lines);
    return relative * std::max(box.xmax - box.xmin, box.ymax - box.ymin);
}

LinesAdded AddLinesToModel(TrussModel& model, const std::vector<DrawnLine>& lines, float area, float modulus,
                           double relativeTolerance)
{
    if (lines.empty())
        Refuse(QStringLiteral("There are no lines to make bars of."));
    QStringList bad;
    for (const DrawnLine& l : lines)
        if (!std::isfinite(l.x1) || !std::isfinite(l.y1) || !std::isfinite(l.x2) || !std::isfinite(l.y2))
            bad << l.name;
    if (!bad.isEmpty())
        Refuse(QStringLiteral("These lines have a coordinate that is not a number: %1.").arg(NameList(bad)));
    if (!(relativeTolerance >= 0.0) || !std::isfinite(relativeTolerance))
        Refuse(QStringLiteral("The merge tolerance must be a number of 0 or more."));

    LinesAdded added;
    added.tolerance = MergeDistance(lines, relativeTolerance);
    const double tolerance = added.tolerance;
    for (const DrawnLine& l : lines)
        if (std::hypot(l.x2 - l.x1, l.y2 - l.y1) <= tolerance)
            bad << l.name;
    if (!bad.isEmpty())
        Refuse(QStringLiteral("These lines have zero length (ends within %1 of each other): %2.")
                   .arg(tolerance, 0, 'g', 3).arg(NameList(bad)));

    // Distinct ends: a table node within the merge distance, else a new node.
    const std::vector<std::pair<int, Position>> table = TableNodes(model);
    std::vector<Position> fresh;
    std::vector<int> endNode(lines.size() * 2);  // > 0: table row; <= 0: -(index into fresh)
    std::vector<bool> reused(static_cast<std::size_t>(model.NodeCount) + 1, false);
    for (std::size_t k = 0; k < endNode.size(); ++k) {
        const DrawnLine& l = lines[k / 2];
        const Position p = k % 2 == 0 ? Position{l.x1, l.y1} : Position{l.x2, l.y2};
        int found = 0;
        bool matched = false;
        for (const auto& [row, q] : table)
            if (Near(p, q, tolerance)) {
                found = row;
                matched = true;
                reused[static_cast<std::size_t>(row)] = true;
                break;
            }
        for (std::size_t f = 0; !matched && f < fresh.size(); ++f)
            if (Near(p, fresh[f], tolerance)) {
                found = -int(f);
                matched = true;
            }
        if (!matched) {
            found = -int(fresh.size());
            fresh.push_back(p);
        }
        endNode[k] = found;
    }
    added.reusedNodes = int(std::count(reused.begin(), reused.end(), true));

    // New nodes numbered along the longer side of the selection's box.
    const Box box = BoxOf(lines);
    const bool alongX = box.xmax - box.xmin >= box.ymax - box.ymin;
    std::vector<int> order(fresh.size());
    for (std::size_t f = 0; f < order.size(); ++f)
        order[f] = int(f);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const Position& p = fresh[static_cast<std::size_t>(a)];
        const Position& q = fresh[static_cast<std::size_t>(b)];
        return alongX ? std::make_pair(p.x, p.y) < std::make_pair(q.x, q.y)
                      : std::make_pair(p.y, p.x) < std::make_pair(q.y, q.x);
    });
    std::vector<int> freshRow(fresh.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        freshRow[static_cast<std::size_t>(order[k])] = model.NodeCount + 1 + int(k);
    if (model.NodeCount + int(fresh.size()) > kTableRows)
        Refuse(QStringLiteral("The lines have %1 new node(s); with the %2 node(s) in the table that is more than the %3 rows of the node table.")
                   .arg(fresh.size()).arg(model.NodeCount).arg(kTableRows));

    // Every node by row, the table's and the new ones, for cutting the lines.
    std::vector<std::pair<int, Position>> all = table;
    for (std::size_t f = 0; f < fresh.size(); ++f)
        all.push_back({freshRow[f], fresh[f]});
    auto rowOf = [&](int ref) { return ref > 0 ? ref : freshRow[static_cast<std::size_t>(-ref)]; };

    std::vector<Piece> pieces;
    for (std::size_t li = 0; li < lines.size(); ++li) {
        const DrawnLine& l = lines[li];
        const int first = rowOf(endNode[2 * li]);
        const int last = rowOf(endNode[2 * li + 1]);
        const double dx = l.x2 - l.x1;
        const double dy = l.y2 - l.y1;
        const double length = std::hypot(dx, dy);
        // Nodes inside the line: further than the merge distance from both ends along it and no
        // further than that from its axis; ordered from the start.
        std::vector<std::pair<double, int>> cuts;
        for (const auto& [row, p] : all) {
            if (row == first || row == last)
                continue;
            const double along = ((p.x - l.x1) * dx + (p.y - l.y1) * dy) / length;
            const double across = std::abs((p.y - l.y1) * dx - (p.x - l.x1) * dy) / length;
            if (across <= tolerance && along > tolerance && along < length - tolerance)
                cuts.push_back({along, row});
        }
        std::sort(cuts.begin(), cuts.end());
        if (!cuts.empty())
            ++added.splitLines;
        int from = first;
        for (const auto& cut : cuts) {
            pieces.push_back({from, cut.second, int(li)});
            from = cut.second;
        }
        pieces.push_back({from, last, int(li)});
    }
    if (model.ElementCount + int(pieces.size()) > kTableRows)
        Refuse(QStringLiteral("The lines make %1 bar(s); with the %2 bar(s) in the table that is more than the %3 rows of the bar table.")
                   .arg(pieces.size()).arg(model.ElementCount).arg(kTableRows));

    // Two bars joining the same two nodes.
    std::map<std::pair<int, int>, QString> joined;
    auto key = [](int i, int j) { return std::make_pair(std::min(i, j), std::max(i, j)); };
    for (int e = 1; e <= model.ElementCount; ++e) {
        const Cell& i = model.Elements(e, 1);
        const Cell& j = model.Elements(e, 2);
        if (i.IsNumeric() && j.IsNumeric())
            joined.emplace(key(i.ToInt16(), j.ToInt16()), QStringLiteral("bar %1 of the table").arg(e));
    }
    QStringList duplicates;
    for (const Piece& p : pieces) {
        const auto [it, inserted] = joined.emplace(key(p.i, p.j), lines[static_cast<std::size_t>(p.line)].name);
        if (!inserted)
            duplicates << QStringLiteral("%1 and %2 (nodes %3 and %4)")
                              .arg(it->second, lines[static_cast<std::size_t>(p.line)].name)
                              .arg(std::min(p.i, p.j))
                              .arg(std::max(p.i, p.j));
    }
    if (!duplicates.isEmpty())
        Refuse(QStringLiteral("These make the same bar twice: %1.").arg(NameList(duplicates)));

    // Nothing was refused: the tables change now.
    added.firstNode = model.NodeCount + 1;
    added.nodes = int(fresh.size());
    for (int f : order) {
        const int r = ++model.NodeCount;
        model.Nodes(r, 1) = Cell(fresh[static_cast<std::size_t>(f)].x);
        model.Nodes(r, 2) = Cell(fresh[static_cast<std::size_t>(f)].y);
        model.Nodes(r, 3) = Cell();
    }
    added.firstBar = model.ElementCount + 1;
    added.bars = int(pieces.size());
    for (const Piece& p : pieces) {
        const int r = ++model.ElementCount;
        model.Elements(r, 1) = Cell(std::int16_t(p.i));
        model.Elements(r, 2) = Cell(std::int16_t(p.j));
        model.Elements(r, 3) = Cell(area);
        model.Elements(r, 4) = Cell(modulus);
        model.Elements(r, 5) = Cell();
        model.Elements(r, 6) = Cell();
    }
    return added;
}

} // namespace ardela
