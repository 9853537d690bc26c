#include "projector/projector_behaviour.h"
