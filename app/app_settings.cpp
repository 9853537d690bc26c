#include "app/app_settings.h"
