#include "receiver/picture_controls.h"
