#include "app/fields/fields.h"
