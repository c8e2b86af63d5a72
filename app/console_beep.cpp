#include "app/console_beep.h"

#include "app/console_state.h"

namespace app {

bool ConsoleBeep(Tone tone) noexcept {
    const BeepFunction beep = Console().beepFunction.load();
    return (beep ? beep : &::Beep)(tone.frequency, tone.duration) != FALSE;
}

void SetBeepFunction(BeepFunction beep) noexcept { Console().beepFunction.store(beep); }

}  // namespace app
