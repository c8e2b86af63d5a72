// Must not compile: the channel sees nothing of controls/.
#include "controls/control_framework.h"
