#pragma once

#include <QString>

// Which device the list entry "COMn:" opens.
// KZ_ORBA_COMn in the environment names it; otherwise "COMn" on Windows and /dev/ttyS(n-1)
// elsewhere.
QString port_device(int port_no);
