#include "link/tcp_transport.h"

#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

bool parse_tcp_address(const QString &address, TcpAddress *out, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString text = address.trimmed();
    // An IPv6 address must stand in brackets, or its colons cannot be told from the port's.
    const QStringView after_scheme = QStringView(text).mid(6);
    if (after_scheme.count(u':') > 1 && !after_scheme.startsWith(u'['))
        return fail(u"an IPv6 address stands in brackets: tcp://[ADDRESS]:PORT"_s);
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(u"tcp"_s, Qt::CaseInsensitive) != 0)
        return fail(u"not a TCP address; expected tcp://HOST:PORT"_s);
    if (url.host().isEmpty())
        return fail(u"no host in the address; expected tcp://HOST:PORT"_s);
    const int port = url.port(0);
    if (port < 1 || port > 65535)
        return fail(u"no port (1 to 65535) in the address; expected tcp://HOST:PORT"_s);
    if (!url.userInfo().isEmpty() || (!url.path().isEmpty() && url.path() != u"/"_s)
        || url.hasQuery() || url.hasFragment())
        return fail(u"unexpected text in the address; expected tcp://HOST:PORT"_s);
    if (out) {
        out->host = url.host();
        out->port = quint16(port);
    }
    return true;
}

QString telnet_hint(const TcpAddress &address)
{
    const QString host
        = address.host.contains(u':') ? u"["_s + address.host + u"]"_s : address.host;
    const QString where = host + u":"_s + QString::number(address.port);
    return u"the gateway at %1 speaks Telnet (its first bytes are Telnet negotiation), so its "
           "replies would not be the receiver's bytes; for a gateway with the COM port option "
           "use rfc2217://%1"_s.arg(where);
}

TcpTransport::TcpTransport(QObject *parent)
    : Transport(parent)
{
    probe_timer_.setSingleShot(true);
    probe_timer_.setTimerType(Qt::PreciseTimer);
    connect(&probe_timer_, &QTimer::timeout, this, &TcpTransport::end_probe);
    // A gateway that pours bytes faster than they are read leaves them in the system instead of
    // growing this buffer without end; each read takes a bounded share.
    socket_.setReadBufferSize(read_buffer_size);
    connect_timer_.setSingleShot(true);
    connect_timer_.setTimerType(Qt::PreciseTimer);
    connect(&connect_timer_, &QTimer::timeout, this, [this] { end_connecting(true); });
    connect(&socket_, &QTcpSocket::readyRead, this, [this] {
        if (probe_timer_.isActive())
            end_probe();
        else if (open_)
            Q_EMIT ready_read();
    });
    connect(&socket_, &QTcpSocket::errorOccurred, this, &TcpTransport::on_error);
    connect(&socket_, &QTcpSocket::disconnected, this, [this] {
        if (open_)
            Q_EMIT failed();
    });
}

TcpTransport::~TcpTransport()
{
    // The socket reports its end as it goes, after this object's own part is gone: it must find
    // nothing of this object to call.
    socket_.disconnect(this);
    connect_timer_.stop();
    probe_timer_.stop();
    socket_.abort();
}

bool TcpTransport::begin_connecting(const QString &address)
{
    close();
    open_error_.clear();
    open_failure_ = OpenFailure::None;
    if (!parse_tcp_address(address, &target_, &open_error_)) {
        open_failure_ = OpenFailure::Other;
        return false;
    }
    connect(&socket_, &QTcpSocket::connected, this, [this] { end_connecting(false); });
    // Queued: a socket that cannot even be made (no descriptor left) reports it from inside
    // connectToHost, and the outcome must come from the event loop, never from inside this call.
    connect(
        &socket_, &QTcpSocket::errorOccurred, this, [this] { end_connecting(false); },
        Qt::QueuedConnection);
    connect_timer_.start(connect_timeout_ms);
    socket_.connectToHost(target_.host, target_.port);
    return true;
}

bool TcpTransport::open(const QString &address)
{
    if (!begin_connecting(address))
        return false;
    // The connect's own signals end it from inside this wait; one that neither connects nor
    // fails in the time is given up here.
    if (connect_timer_.isActive())
        socket_.waitForConnected(connect_timeout_ms);
    if (connect_timer_.isActive())
        end_connecting(socket_.state() != QAbstractSocket::ConnectedState
            && socket_.error() == QAbstractSocket::UnknownSocketError);
    if (probe_timer_.isActive()) {
        socket_.waitForReadyRead(telnet_probe_ms);
        if (probe_timer_.isActive())
            end_probe();
    }
    return open_;
}

void TcpTransport::open_async(const QString &address)
{
    if (!begin_connecting(address))
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT open_finished(false); }, Qt::QueuedConnection);
}

void TcpTransport::end_connecting(bool timed_out)
{
    if (!connect_timer_.isActive() && !timed_out)
        return;
    connect_timer_.stop();
    disconnect(&socket_, &QTcpSocket::connected, this, nullptr);
    // Only the handlers made for this connect: on_error stays.
    disconnect(&socket_, &QTcpSocket::errorOccurred, this, nullptr);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &TcpTransport::on_error);
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        probe();
        return;
    }
    // open() waits with the socket's own time limit, which the socket reports as its error.
    if (socket_.error() != QAbstractSocket::UnknownSocketError
        && socket_.error() != QAbstractSocket::SocketTimeoutError && !timed_out) {
        open_error_ = socket_.errorString();
        switch (socket_.error()) {
        case QAbstractSocket::ConnectionRefusedError:
            open_failure_ = OpenFailure::Refused;
            break;
        case QAbstractSocket::HostNotFoundError:
            open_failure_ = OpenFailure::Missing;
            break;
        case QAbstractSocket::SocketAccessError:
            open_failure_ = OpenFailure::Denied;
            break;
        default:
            open_failure_ = OpenFailure::Other;
            break;
        }
    } else {
        open_error_ = u"no connection to %1:%2 within %3 s"_s.arg(target_.host)
                          .arg(target_.port)
                          .arg(connect_timeout_ms / 1000);
        open_failure_ = OpenFailure::TimedOut;
    }
    socket_.abort();
    Q_EMIT open_finished(false);
}

void TcpTransport::probe()
{
    if (!telnet_probe_ || socket_.bytesAvailable() > 0) {
        end_probe();
        return;
    }
    probe_timer_.start(telnet_probe_ms);
}

void TcpTransport::end_probe()
{
    probe_timer_.stop();
    // IAC followed by WILL, WONT, DO or DONT: Telnet option negotiation (IAC IAC is a 0xFF of data,
    // which a line pouring 0xFF bytes sends).
    const QByteArray first = socket_.peek(2);
    if (telnet_probe_ && first.size() == 2 && quint8(first[0]) == 0xFF && quint8(first[1]) >= 0xFB
        && quint8(first[1]) <= 0xFE) {
        open_error_ = telnet_hint(target_);
        Q_EMIT noted(open_error_);
        socket_.abort();
        Q_EMIT open_finished(false);
        return;
    }
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        // Taken and closed at once: a gateway that serves one client at a time, held by another.
        open_error_ = socket_.errorString();
        open_failure_ = OpenFailure::InUse;
        socket_.abort();
        Q_EMIT open_finished(false);
        return;
    }
    open_ = true;
    Q_EMIT open_finished(true);
}

void TcpTransport::close()
{
    open_ = false;
    probe_timer_.stop();
    if (connect_timer_.isActive()) {
        // An open_async() in progress is given up; its outcome is not reported.
        connect_timer_.stop();
        disconnect(&socket_, &QTcpSocket::connected, this, nullptr);
        disconnect(&socket_, &QTcpSocket::errorOccurred, this, nullptr);
        connect(&socket_, &QTcpSocket::errorOccurred, this, &TcpTransport::on_error);
    }
    socket_.abort();
}

qint64 TcpTransport::bytes_available() const
{
    return open_ ? socket_.bytesAvailable() : 0;
}

QByteArray TcpTransport::read(qint64 max)
{
    return open_ ? socket_.read(max) : QByteArray();
}

void TcpTransport::write(const QByteArray &bytes)
{
    if (!open_ || socket_.state() != QAbstractSocket::ConnectedState)
        return;
    socket_.write(bytes);
    // QTcpSocket writes from the event loop; hand the bytes to the system now.
    socket_.flush();
}

void TcpTransport::drain_output()
{
    while (
        open_ && socket_.state() == QAbstractSocket::ConnectedState && socket_.bytesToWrite() > 0) {
        if (!socket_.waitForBytesWritten(1000))
            break;
    }
}

void TcpTransport::discard_input()
{
    if (open_)
        socket_.skip(socket_.bytesAvailable());
}

void TcpTransport::on_error(QAbstractSocket::SocketError error)
{
    if (!open_)
        return; // while connecting, open() reports it
    switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::NetworkError:
    case QAbstractSocket::SocketResourceError:
        Q_EMIT failed();
        break;
    default:
        break;
    }
}
