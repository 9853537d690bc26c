#include "app/widget_prompts.h"
