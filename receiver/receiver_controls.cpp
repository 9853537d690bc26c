#include "receiver/receiver_controls.h"
