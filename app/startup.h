#pragma once

namespace app {

// Everything the main thread does from start to the end of the input loop,
// then shutdown. Returns the exit code, always 0.
unsigned RunConsole();

}  // namespace app
