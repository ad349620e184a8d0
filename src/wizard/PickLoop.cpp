// The pick loop of both wizards' picking routines.
#include "wizard/PickLoop.h"

#include "cad/CadError.h"
#include "desktop/Error.h"

namespace ardela {

PickEnd RunPickLoop(const std::function<bool(int n)>& pick, int* lastRow)
{
    int n = 1;
    PickEnd end = PickEnd::Failed;
    try {
        for (;;) {
            if (pick(n))
                ++n;
        }
    } catch (const cad::CadError& error) {
        if (error.Code() == cad::kInputEnded)
            end = PickEnd::Finished;
        else if (error.Code() == cad::kCancelled)
            end = PickEnd::Cancelled;
        else if (error.Code() == cad::kDisconnected)
            end = PickEnd::LinkLost;
    } catch (const ModelError&) {
        // The table is full or a cell cannot be stored: the run ends as on any other failure.
    }
    if (lastRow)
        *lastRow = n - 1;
    return end;
}

} // namespace ardela
