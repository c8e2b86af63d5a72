#include "app/beeper.h"

#include <atomic>

namespace app {
namespace {
std::atomic<BeepFunction> g_beep{nullptr};
}

void ConsoleBeep(DWORD frequency, DWORD duration) noexcept {
    const BeepFunction beep = g_beep.load();
    (void)(beep ? beep : &::Beep)(frequency, duration);  // a failed beep changes nothing
}

void SetBeepFunction(BeepFunction beep) noexcept { g_beep.store(beep); }

}  // namespace app
