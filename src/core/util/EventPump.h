#pragma once

#include <functional>

namespace varnel {

// Called by long-running core loops so that the host can keep its window
// responsive (and notice a stop request). An empty function does nothing.
using EventPump = std::function<void()>;

inline void pump(const EventPump &p)
{
    if (p)
        p();
}

} // namespace varnel
