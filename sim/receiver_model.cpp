#include "sim/receiver_model.h"
