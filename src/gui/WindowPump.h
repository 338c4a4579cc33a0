#pragma once

#include "util/ThrottledPump.h"

#include <QCoreApplication>

#include <chrono>

namespace varnel::gui {

// The pump of a window's own long loop (a list read, rows deleted, a
// console's statements, a copy): events are handled at most this often, as
// during a run.
inline constexpr std::chrono::milliseconds kWindowPumpInterval{30};

inline ThrottledPump windowPump()
{
    return ThrottledPump([] { QCoreApplication::processEvents(); }, kWindowPumpInterval);
}

} // namespace varnel::gui
