#include "app/startup.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const unsigned code = app::RunConsole();
    // End here, with the pumps and the writer still running: returning would
    // run the runtime's exit handlers while those threads may still be busy.
    ExitProcess(code);
}
