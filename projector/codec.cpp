#include "projector/codec.h"
