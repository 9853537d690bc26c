#pragma once

#include "cli/console.h"

// `ports`: the serial ports, COM1 .. COM9 and the others.
namespace cli {

// Lists COM1 .. COM9 with the device each opens and whether it is there, then every other serial
// port the system reports; as text, or as receiver objects of the JSON document. Gives the exit
// status.
int list_ports(Console &console, bool json);

} // namespace cli
