#include "projector/display_editor.h"
