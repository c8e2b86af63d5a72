#include "app/clock.h"

#include "app/console_state.h"

#include <mmsystem.h>

namespace app {

void WaitMilliseconds(DWORD milliseconds) noexcept {
    // Without this a 1 ms pause lasts a whole scheduler tick (15.6 ms).
    // Two first calls at once may both raise it, which does no harm.
    std::atomic<bool>& raised = Console().timerRaised;
    if (!raised.load(std::memory_order_relaxed)) {
        timeBeginPeriod(1);
        raised.store(true, std::memory_order_relaxed);
    }
    Sleep(milliseconds);
}

}  // namespace app
