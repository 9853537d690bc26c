#include "link/transport_factory.h"

#include "link/port_names.h"
#include "link/rfc2217_transport.h"
#include "link/serial_transport.h"
#include "link/tcp_transport.h"

TransportKind transport_kind(const QString &address)
{
    if (!is_network_address(address))
        return TransportKind::Serial;
    return address.trimmed().startsWith(QStringLiteral("rfc2217://"), Qt::CaseInsensitive)
        ? TransportKind::Rfc2217
        : TransportKind::Tcp;
}

TransportKind transport_kind_of(const Transport &transport)
{
    if (qobject_cast<const Rfc2217Transport *>(&transport))
        return TransportKind::Rfc2217;
    return qobject_cast<const TcpTransport *>(&transport) ? TransportKind::Tcp
                                                          : TransportKind::Serial;
}

bool check_address(const QString &address, QString *error)
{
    switch (transport_kind(address)) {
    case TransportKind::Tcp:
        return parse_tcp_address(address, nullptr, error);
    case TransportKind::Rfc2217:
        return parse_rfc2217_address(address, nullptr, error);
    case TransportKind::Serial:
        break;
    }
    return true;
}

std::unique_ptr<Transport> make_transport(const QString &address)
{
    switch (transport_kind(address)) {
    case TransportKind::Tcp:
        return std::make_unique<TcpTransport>();
    case TransportKind::Rfc2217:
        return std::make_unique<Rfc2217Transport>();
    case TransportKind::Serial:
        break;
    }
    return std::make_unique<SerialTransport>();
}
