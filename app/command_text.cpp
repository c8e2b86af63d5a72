#include "app/command_text.h"
