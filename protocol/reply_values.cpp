#include "protocol/reply_values.h"
