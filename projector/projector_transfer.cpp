#include "projector/projector_transfer.h"
