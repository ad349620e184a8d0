// Selection filters: a small expression tree compiled from group-code/value pairs.
#include "SelectionFilter.h"

#include <algorithm>

#include <QStringList>

#include "EngineError.h"

namespace cadhost {

struct SelectionFilter::Node {
    enum Kind { And, Or, Xor, Not, Type, LayerName } kind = And;
    QString pattern;
    bool plain = false;   // no wildcard characters: a plain comparison ignoring case
    std::vector<std::unique_ptr<Node>> children;

    bool Match(const QString& text) const
    {
        return plain ? text.compare(pattern, Qt::CaseInsensitive) == 0 : WildcardMatch(pattern, text);
    }

    bool Matches(const Entity& e) const
    {
        switch (kind) {
        case Type: return Match(EntityTypeName(e.kind));
        case LayerName: return Match(e.layer);
        case And:
            for (const auto& c : children)
                if (!c->Matches(e))
                    return false;
            return true;
        case Or:
            for (const auto& c : children)
                if (c->Matches(e))
                    return true;
            return false;
        case Xor: {
            int n = 0;
            for (const auto& c : children)
                n += c->Matches(e) ? 1 : 0;
            return n == 1;
        }
        case Not: return !children.front()->Matches(e);
        }
        return false;
    }
};

namespace {

using Node = SelectionFilter::Node;

[[noreturn]] void Malformed(const QString& why)
{
    throw EngineError(kInvalidArgument, QStringLiteral("Invalid selection filter: %1").arg(why));
}

// Reads items from `pos` into `group` until the closing operator `closing` (empty at top level).
void ParseGroup(const std::vector<FilterItem>& items, std::size_t& pos, Node& group, const QString& closing)
{
    while (pos < items.size()) {
        const FilterItem& it = items[pos++];
        if (it.code == 0 || it.code == 8) {
            auto leaf = std::make_unique<Node>();
            leaf->kind = it.code == 0 ? Node::Type : Node::LayerName;
            leaf->pattern = it.value;
            static const QString special = QStringLiteral("#@.*?~[]`,");
            leaf->plain = std::none_of(it.value.cbegin(), it.value.cend(), [](QChar c) { return special.contains(c); });
            group.children.push_back(std::move(leaf));
        } else if (it.code == -4) {
            const QString op = it.value.trimmed().toLower();
            if (!closing.isEmpty() && op == closing) {
                if (group.children.empty())
                    Malformed(QStringLiteral("the group \"%1\" is empty").arg(it.value));
                if (group.kind == Node::Not && group.children.size() != 1)
                    Malformed(QStringLiteral("\"<not\" takes exactly one operand"));
                if (group.kind == Node::Xor && group.children.size() != 2)
                    Malformed(QStringLiteral("\"<xor\" takes exactly two operands"));
                return;
            }
            auto sub = std::make_unique<Node>();
            QString end;
            if (op == QLatin1String("<and")) { sub->kind = Node::And; end = QStringLiteral("and>"); }
            else if (op == QLatin1String("<or")) { sub->kind = Node::Or; end = QStringLiteral("or>"); }
            else if (op == QLatin1String("<xor")) { sub->kind = Node::Xor; end = QStringLiteral("xor>"); }
            else if (op == QLatin1String("<not")) { sub->kind = Node::Not; end = QStringLiteral("not>"); }
            else Malformed(QStringLiteral("unexpected operator \"%1\"").arg(it.value));
            ParseGroup(items, pos, *sub, end);
            group.children.push_back(std::move(sub));
        } else {
            Malformed(QStringLiteral("group code %1 is not supported").arg(it.code));
        }
    }
    if (!closing.isEmpty())
        Malformed(QStringLiteral("\"%1\" is missing").arg(closing));
}

// One alternative of a wildcard pattern against text, both upper-cased, from the given positions.
bool MatchOne(const QString& p, int pi, const QString& t, int ti)
{
    while (pi < p.size()) {
        const QChar c = p[pi];
        if (c == QLatin1Char('*')) {
            while (pi < p.size() && p[pi] == QLatin1Char('*'))
                ++pi;
            if (pi == p.size())
                return true;
            for (int k = ti; k <= t.size(); ++k)
                if (MatchOne(p, pi, t, k))
                    return true;
            return false;
        }
        if (ti >= t.size())
            return false;
        const QChar tc = t[ti];
        if (c == QLatin1Char('`') && pi + 1 < p.size()) {
            if (p[pi + 1] != tc)
                return false;
            pi += 2;
        } else if (c == QLatin1Char('#')) {
            if (!tc.isDigit()) return false;
            ++pi;
        } else if (c == QLatin1Char('@')) {
            if (!tc.isLetter()) return false;
            ++pi;
        } else if (c == QLatin1Char('.')) {
            if (tc.isLetterOrNumber()) return false;
            ++pi;
        } else if (c == QLatin1Char('?')) {
            ++pi;
        } else if (c == QLatin1Char('[')) {
            int k = pi + 1;
            bool negate = false;
            if (k < p.size() && p[k] == QLatin1Char('~')) { negate = true; ++k; }
            bool hit = false;
            bool first = true;
            for (; k < p.size() && (first || p[k] != QLatin1Char(']')); ++k, first = false) {
                if (k + 2 < p.size() && p[k + 1] == QLatin1Char('-') && p[k + 2] != QLatin1Char(']')) {
                    hit = hit || (tc >= p[k] && tc <= p[k + 2]);
                    k += 2;
                } else {
                    hit = hit || p[k] == tc;
                }
            }
            if (k >= p.size())             // no closing bracket: a literal "["
                return tc == c && MatchOne(p, pi + 1, t, ti + 1);
            if (hit == negate)
                return false;
            pi = k + 1;
        } else {
            if (c != tc) return false;
            ++pi;
        }
        ++ti;
    }
    return ti == t.size();
}

} // namespace

bool WildcardMatch(const QString& pattern, const QString& text)
{
    const QString p = pattern.toUpper();
    const QString t = text.toUpper();
    // Split at commas that are not escaped by a back quote.
    QStringList alternatives;
    QString current;
    for (int i = 0; i < p.size(); ++i) {
        if (p[i] == QLatin1Char('`') && i + 1 < p.size()) {
            current += p[i];
            current += p[++i];
        } else if (p[i] == QLatin1Char(',')) {
            alternatives << current;
            current.clear();
        } else {
            current += p[i];
        }
    }
    alternatives << current;
    for (const QString& alt : alternatives) {
        const bool negate = alt.startsWith(QLatin1Char('~'));
        const bool hit = MatchOne(alt, negate ? 1 : 0, t, 0);
        if (hit != negate)
            return true;
    }
    return false;
}

SelectionFilter::SelectionFilter() = default;
SelectionFilter::~SelectionFilter() = default;
SelectionFilter::SelectionFilter(SelectionFilter&&) noexcept = default;
SelectionFilter& SelectionFilter::operator=(SelectionFilter&&) noexcept = default;

SelectionFilter::SelectionFilter(const std::vector<FilterItem>& items)
{
    if (items.empty())
        return;
    m_root = std::make_unique<Node>();
    std::size_t pos = 0;
    ParseGroup(items, pos, *m_root, QString());
}

bool SelectionFilter::Matches(const Entity& e) const
{
    return !m_root || m_root->Matches(e);
}

bool SelectionFilter::IsEmpty() const
{
    return !m_root;
}

} // namespace cadhost
