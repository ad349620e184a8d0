// Selection filters: a small expression tree compiled from group-code/value pairs.
#include "cadhost/engine/SelectionFilter.h"

#include <algorithm>

#include <QStringList>

#include "cadhost/engine/EngineError.h"

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
        case Type: return Match(EntityTypeName(e));
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
    throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("Invalid selection filter: %1").arg(why));
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
            static const QString wildcards = QStringLiteral("#@.*?~[]`,");
            leaf->plain = std::none_of(it.value.cbegin(), it.value.cend(), [](QChar c) { return wildcards.contains(c); });
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

// One element of a wildcard pattern: "*", or a test that takes exactly one character.
struct WildToken {
    enum Kind { Star, Any, Digit, Letter, NonAlnum, Literal, Class } kind = Literal;
    QChar ch;
    QString members;          // Class: single characters and ranges "a-z" as triples
    bool negate = false;

    bool Takes(QChar c) const
    {
        switch (kind) {
        case Any: return true;
        case Digit: return c.isDigit();
        case Letter: return c.isLetter();
        case NonAlnum: return !c.isLetterOrNumber();
        case Literal: return c == ch;
        case Class: {
            bool hit = false;
            for (int k = 0; k < members.size() && !hit; ++k) {
                if (k + 2 < members.size() && members[k + 1] == QLatin1Char('-')) {
                    hit = c >= members[k] && c <= members[k + 2];
                    k += 2;
                } else {
                    hit = members[k] == c;
                }
            }
            return hit != negate;
        }
        case Star: return false;
        }
        return false;
    }
};

std::vector<WildToken> Tokenize(const QString& p)
{
    std::vector<WildToken> out;
    for (int i = 0; i < p.size(); ++i) {
        WildToken t;
        const QChar c = p[i];
        if (c == QLatin1Char('*')) {
            if (!out.empty() && out.back().kind == WildToken::Star)
                continue;
            t.kind = WildToken::Star;
        } else if (c == QLatin1Char('?')) {
            t.kind = WildToken::Any;
        } else if (c == QLatin1Char('#')) {
            t.kind = WildToken::Digit;
        } else if (c == QLatin1Char('@')) {
            t.kind = WildToken::Letter;
        } else if (c == QLatin1Char('.')) {
            t.kind = WildToken::NonAlnum;
        } else if (c == QLatin1Char('`') && i + 1 < p.size()) {
            t.ch = p[++i];
        } else if (c == QLatin1Char('[')) {
            int k = i + 1;
            if (k < p.size() && p[k] == QLatin1Char('~')) {
                t.negate = true;
                ++k;
            }
            // The first member may be "]" itself; the class ends at the next "]".
            const int close = p.indexOf(QLatin1Char(']'), k + 1);
            if (close < 0) {
                t.ch = c;   // no closing bracket: a literal "["
            } else {
                t.kind = WildToken::Class;
                t.members = p.mid(k, close - k);
                i = close;
            }
        } else {
            t.ch = c;
        }
        out.push_back(t);
    }
    return out;
}

// One alternative against the text: each token but "*" takes one character; a "*" takes any
// run, retried one character longer when the rest fails (linear in practice, never exponential).
bool MatchOne(const std::vector<WildToken>& tokens, const QString& t)
{
    std::size_t p = 0, i = 0, star = std::size_t(-1), starAt = 0;
    while (i < std::size_t(t.size())) {
        if (p < tokens.size() && tokens[p].kind == WildToken::Star) {
            star = p++;
            starAt = i;
        } else if (p < tokens.size() && tokens[p].Takes(t[qsizetype(i)])) {
            ++p;
            ++i;
        } else if (star != std::size_t(-1)) {
            p = star + 1;
            i = ++starAt;
        } else {
            return false;
        }
    }
    while (p < tokens.size() && tokens[p].kind == WildToken::Star)
        ++p;
    return p == tokens.size();
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
        const bool hit = MatchOne(Tokenize(negate ? alt.mid(1) : alt), t);
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
