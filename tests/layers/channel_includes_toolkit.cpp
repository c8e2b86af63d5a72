// Must not compile: the channel sees nothing of the toolkit but its owners of handles and locks.
#include "toolkit/event_queue.h"
