#include "corvane/nv/NvCommands.h"
