#include "sim/pty_sim.h"
