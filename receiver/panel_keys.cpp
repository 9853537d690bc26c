#include "receiver/panel_keys.h"
