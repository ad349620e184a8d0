// The one way a failure of the drawing host is ignored where the program goes on regardless.
#pragma once

#include <utility>

#include "cad/CadError.h"

namespace ardela::cad {

// Runs `call`; a failed call into the drawing host is dropped, as the routine's behaviour says.
template <class Call>
void IgnoreLinkFailure(Call&& call)
{
    try {
        std::forward<Call>(call)();
    } catch (const CadError&) {
    }
}

} // namespace ardela::cad
