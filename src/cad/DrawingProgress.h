// How a drawing routine tells how far it has got, without knowing what shows it.
#pragma once

#include <functional>

namespace ardela::cad {

struct DrawingProgress {
    std::function<void(float fraction)> step;  // the share drawn so far, 0 to 1
    std::function<void()> done;                // the drawing has ended (the display clears)

    void Step(float fraction) const
    {
        if (step)
            step(fraction);
    }
    void Done() const
    {
        if (done)
            done();
    }
};

} // namespace ardela::cad
