// Must compile: controls see the toolkit (the probes themselves work).
#include "controls/control_framework.h"
#include "toolkit/event_queue.h"
#include "toolkit/scoped.h"
