// Selection filters: group codes 0 (entity type), 8 (layer, with wildcards) and -4 grouping.
#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "cadhost/engine/Entity.h"

namespace cadhost {

struct FilterItem {
    int code = 0;
    QString value;
};

// A compiled filter list. An empty list matches everything; the items of a list (and of an
// "<and" group) must all hold; "<or" needs one, "<xor" exactly one, "<not" negates its one
// operand. Operators and values match without regard to letter case.
class SelectionFilter {
public:
    SelectionFilter();
    // Throws EngineError for an unknown group code, an unbalanced or empty group.
    explicit SelectionFilter(const std::vector<FilterItem>& items);
    ~SelectionFilter();
    SelectionFilter(SelectionFilter&&) noexcept;
    SelectionFilter& operator=(SelectionFilter&&) noexcept;

    bool Matches(const Entity& e) const;
    bool IsEmpty() const;

    struct Node;

private:
    std::unique_ptr<Node> m_root;
};

// Wildcard match as CAD filters use it: # digit, @ letter, . non-alphanumeric, * any run,
// ? any one character, ~ (first) negates, [...] and [~...] classes, ` escapes, "," separates
// alternatives. Case-insensitive.
bool WildcardMatch(const QString& pattern, const QString& text);

} // namespace cadhost
