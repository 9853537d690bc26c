#pragma once

#include "link/transport.h"

#include <QString>

#include <memory>

// What carries the bytes to an address: "tcp://HOST:PORT" a TCP connection to a serial-to-Ethernet
// gateway, anything else a serial port (a device path, or a Windows COM name).
enum class TransportKind { Serial, Tcp };

TransportKind transport_kind(const QString &address);
TransportKind transport_kind_of(const Transport &transport);
// A closed line of the kind the address needs.
std::unique_ptr<Transport> make_transport(const QString &address);
