#pragma once

#include "link/transport.h"

#include <QString>

#include <memory>

// What carries the bytes to an address: "tcp://HOST:PORT" a TCP connection to a serial-to-Ethernet
// gateway in raw TCP mode, "rfc2217://HOST:PORT" one to a gateway that speaks Telnet with the COM
// port option (RFC 2217), anything else a serial port (a device path, or a Windows COM name).
// The scheme decides, never the bytes a gateway sends.
enum class TransportKind { Serial, Tcp, Rfc2217 };

TransportKind transport_kind(const QString &address);
TransportKind transport_kind_of(const Transport &transport);
// Whether address is a well-formed gateway address of either scheme; false, with the reason, when
// it is not. True for a serial device (nothing to check before it is opened).
bool check_address(const QString &address, QString *error = nullptr);
// A closed line of the kind the address needs.
std::unique_ptr<Transport> make_transport(const QString &address);
