#include "projector/projector_file.h"
