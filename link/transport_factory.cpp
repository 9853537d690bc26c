#include "link/transport_factory.h"

#include "link/port_names.h"
#include "link/serial_transport.h"
#include "link/tcp_transport.h"

TransportKind transport_kind(const QString &address)
{
    return is_network_address(address) ? TransportKind::Tcp : TransportKind::Serial;
}

TransportKind transport_kind_of(const Transport &transport)
{
    return qobject_cast<const TcpTransport *>(&transport) ? TransportKind::Tcp
                                                          : TransportKind::Serial;
}

std::unique_ptr<Transport> make_transport(const QString &address)
{
    if (transport_kind(address) == TransportKind::Tcp)
        return std::make_unique<TcpTransport>();
    return std::make_unique<SerialTransport>();
}
