#include "app/console_state.h"

#include "toolkit/scoped.h"

namespace app {

ConsoleState& Console() noexcept { return toolkit::ProcessWide<ConsoleState>(); }

void InitConsoleState() noexcept { (void)Console(); }

}  // namespace app
