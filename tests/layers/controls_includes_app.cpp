// Must not compile: controls see nothing of app/.
#include "app/console_window.h"
