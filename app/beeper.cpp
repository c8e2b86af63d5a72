#include "app/beeper.h"

#include "app/console_state.h"

namespace app {

bool ConsoleBeep(DWORD frequency, DWORD duration) noexcept {
    const BeepFunction beep = Console().beep.load();
    return (beep ? beep : &::Beep)(frequency, duration) != FALSE;
}

void SetBeepFunction(BeepFunction beep) noexcept { Console().beep.store(beep); }

}  // namespace app
