// Placeholder until the launch is built.
#include "channel/child_launch.h"
