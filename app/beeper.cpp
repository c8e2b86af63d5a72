#include "app/beeper.h"

#include "app/console_state.h"

namespace app {

void ConsoleBeep(DWORD frequency, DWORD duration) noexcept {
    const BeepFunction beep = Console().beep.load();
    (void)(beep ? beep : &::Beep)(frequency, duration);  // a failed beep changes nothing
}

void SetBeepFunction(BeepFunction beep) noexcept { Console().beep.store(beep); }

}  // namespace app
