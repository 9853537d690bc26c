#include "link/port_names.h"
