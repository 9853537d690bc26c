// Compiles the generated form header once, so a broken form fails here and not in every user.
#include "ui_frm_main.h"
