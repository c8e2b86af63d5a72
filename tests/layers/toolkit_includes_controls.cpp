// Must not compile: the toolkit sees nothing of controls/.
#include "controls/control_framework.h"
