// Looking a member up by the name a request carries.
#include "cadlink/Members.h"

namespace ardela::cad {

const MemberRow* FindMember(HandleKind kind, QStringView name)
{
    for (const MemberRow& row : kMemberTable)
        if (row.kind == kind && name == row.name)
            return &row;
    return nullptr;
}

} // namespace ardela::cad
