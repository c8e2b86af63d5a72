// Placeholder until the registry is built.
#include "toolkit/object_registry.h"
