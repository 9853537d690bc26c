#include "projector/projector_port.h"
