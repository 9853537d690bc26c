#include "link/terminator.h"
