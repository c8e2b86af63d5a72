// Must not compile: the toolkit sees nothing of app/.
#include "app/console_window.h"
