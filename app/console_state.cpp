#include "app/console_state.h"

namespace app {

ConsoleState& Console() noexcept {
    // Deliberately never freed: threads that outlive the main loop read it.
    static ConsoleState* const state = new ConsoleState;
    return *state;
}

}  // namespace app
