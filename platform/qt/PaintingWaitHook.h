// Keeps windows painting while the GUI thread waits, without delivering
// user input.
//
// While a ScopedPaintingWaitHook lives, every pause of the steady clock and
// every blocking device wait on this thread waits in slices of at most
// platform::kWaitSliceMs and processes events between them, user input
// excluded: timers, repaints and window-system housekeeping go on, so the
// window is never reported as hung, but no click or key can start anything
// while a job phase runs. Installed around job phases by the Qt job driver.
#pragma once

#include "platform/wait_hook.h"

namespace platform::qt {

// The hook itself: processes pending events except user input. Does nothing
// off the GUI thread, and nothing when called from within itself (an event
// handler that waits again).
void PaintPendingWindows();

class ScopedPaintingWaitHook {
public:
    ScopedPaintingWaitHook();

private:
    platform::ScopedWaitHook hook_;
};

} // namespace platform::qt
