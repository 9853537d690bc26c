#include "link/serial_link.h"
