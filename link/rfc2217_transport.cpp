#include "link/rfc2217_transport.h"

#include <QEventLoop>

#include <algorithm>

using namespace Qt::StringLiterals;
using telnet::Command;

namespace {

constexpr std::uint8_t set_baudrate = 1;
constexpr std::uint8_t set_datasize = 2;
constexpr std::uint8_t set_parity = 3;
constexpr std::uint8_t set_stopsize = 4;
constexpr std::uint8_t set_control = 5;
// The gateway answers a setting with its code plus this.
constexpr int answer_offset = 100;

// The settings the receiver's line needs, as RFC 2217 codes them: 8 data bits, parity NONE (1),
// 1 stop bit (1), flow control NONE (1).
constexpr std::uint8_t datasize_8 = 8;
constexpr std::uint8_t parity_none = 1;
constexpr std::uint8_t stopsize_1 = 1;
constexpr std::uint8_t control_none = 1;

Command verb(Command::Kind kind, std::uint8_t option)
{
    Command command;
    command.kind = kind;
    command.option = option;
    return command;
}

Command com_port(std::uint8_t code, QByteArray value)
{
    Command command = verb(Command::Kind::Sub, telnet::COM_PORT_OPTION);
    command.data = char(code) + value;
    return command;
}

QString setting_text(int code, quint32 value)
{
    switch (code) {
    case set_baudrate:
        return u"baud %1"_s.arg(value);
    case set_datasize:
        return u"data bits %1"_s.arg(value);
    case set_parity: {
        static const char *const names[] = { "query", "none", "odd", "even", "mark", "space" };
        return u"parity "_s
            + (value < 6 ? QString::fromLatin1(names[value]) : QString::number(value));
    }
    case set_stopsize: {
        static const char *const names[] = { "query", "1", "2", "1.5" };
        return u"stop bits "_s
            + (value < 4 ? QString::fromLatin1(names[value]) : QString::number(value));
    }
    case set_control:
        switch (value) {
        case 1:
            return u"flow control none"_s;
        case 2:
            return u"flow control XON/XOFF"_s;
        case 3:
            return u"flow control RTS/CTS"_s;
        default:
            return u"flow control %1"_s.arg(value);
        }
    }
    return u"setting %1: %2"_s.arg(code).arg(value);
}

// The commands of one read for the trace: the first few by name, the rest counted, so that a
// gateway that pours commands makes no line without end.
QString join_commands(const std::vector<Command> &commands)
{
    constexpr std::size_t named = 12;
    QStringList parts;
    for (std::size_t i = 0; i < commands.size() && i < named; ++i)
        parts << telnet::describe(commands[i]);
    QString text = parts.join(u", "_s);
    if (commands.size() > named)
        text += u" and %1 more"_s.arg(commands.size() - named);
    return text;
}

} // namespace

bool parse_rfc2217_address(const QString &address, TcpAddress *out, QString *error)
{
    const QString text = address.trimmed();
    static const QString scheme = u"rfc2217://"_s;
    if (!text.startsWith(scheme, Qt::CaseInsensitive)) {
        if (error)
            *error = u"not an RFC 2217 address; expected rfc2217://HOST:PORT"_s;
        return false;
    }
    // The same host and port rules as a tcp:// address, and its reasons in this scheme's words.
    QString why;
    if (parse_tcp_address(u"tcp://"_s + text.mid(scheme.size()), out, &why))
        return true;
    if (error)
        *error = why.replace(u"tcp://"_s, scheme);
    return false;
}

Rfc2217Transport::Rfc2217Transport(QObject *parent)
    : Transport(parent)
{
    tcp_.set_telnet_probe(false);
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        fail_open(u"the gateway at %1 did not finish the serial settings within %2 s (%3)"_s
                      .arg(gateway())
                      .arg(connect_timeout_ms / 1000)
                      .arg(missing()));
    });
    connect(&tcp_, &Transport::open_finished, this, &Rfc2217Transport::connected);
    connect(&tcp_, &Transport::ready_read, this, [this] {
        take_input();
        if (open_ && !data_.isEmpty())
            Q_EMIT ready_read();
    });
    connect(&tcp_, &Transport::failed, this, [this] {
        if (negotiating_)
            fail_open(u"the gateway at %1 closed the connection during the serial settings"_s.arg(
                gateway()));
        else if (open_)
            Q_EMIT failed();
    });
}

Rfc2217Transport::~Rfc2217Transport()
{
    tcp_.disconnect(this);
    deadline_.stop();
}

QString Rfc2217Transport::gateway() const
{
    const QString host
        = target_.host.contains(u':') ? u"["_s + target_.host + u"]"_s : target_.host;
    return host + u":"_s + QString::number(target_.port);
}

bool Rfc2217Transport::open(const QString &address)
{
    QEventLoop loop;
    std::optional<bool> result;
    const QMetaObject::Connection done
        = connect(this, &Transport::open_finished, &loop, [&](bool ok) {
              result = ok;
              loop.quit();
          });
    open_async(address);
    if (!result)
        loop.exec();
    disconnect(done);
    return result.value_or(false);
}

void Rfc2217Transport::open_async(const QString &address)
{
    close();
    open_error_.clear();
    open_clock_.start();
    if (!parse_rfc2217_address(address, &target_, &open_error_)) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT open_finished(false); }, Qt::QueuedConnection);
        return;
    }
    negotiating_ = true;
    tcp_.open_async(u"tcp://%1"_s.arg(gateway()));
}

void Rfc2217Transport::connected(bool ok)
{
    if (!negotiating_)
        return;
    if (!ok) {
        negotiating_ = false;
        open_error_ = tcp_.open_error();
        Q_EMIT open_finished(false);
        return;
    }
    const qint64 left = connect_timeout_ms - open_clock_.elapsed();
    deadline_.start(int(std::max<qint64>(left, 1)));
    us_binary_.asked = gw_binary_.asked = us_sga_.asked = gw_sga_.asked = us_com_.asked = true;
    send({ verb(Command::Kind::Will, telnet::BINARY), verb(Command::Kind::Do, telnet::BINARY),
        verb(Command::Kind::Will, telnet::SUPPRESS_GO_AHEAD),
        verb(Command::Kind::Do, telnet::SUPPRESS_GO_AHEAD),
        verb(Command::Kind::Will, telnet::COM_PORT_OPTION) });
    take_input();
}

void Rfc2217Transport::close()
{
    negotiating_ = false;
    open_ = false;
    deadline_.stop();
    tcp_.close();
    decoder_.reset();
    data_.clear();
    commands_seen_ = 0;
    noted_after_open_ = 0;
    us_binary_ = us_sga_ = us_com_ = gw_binary_ = gw_sga_ = OptionState();
    refused_.clear();
    settings_sent_ = false;
    heard_telnet_ = false;
    answers_.clear();
}

void Rfc2217Transport::fail_open(const QString &why)
{
    if (!negotiating_)
        return;
    note(u"telnet: "_s + why);
    // close() forgets the reason; keep it.
    close();
    open_error_ = why;
    Q_EMIT open_finished(false);
}

void Rfc2217Transport::note(const QString &text)
{
    if (!negotiating_ && open_) {
        if (noted_after_open_ > max_noted_after_open)
            return;
        if (++noted_after_open_ > max_noted_after_open) {
            Q_EMIT noted(u"telnet: further Telnet commands on this connection are not traced"_s);
            return;
        }
    }
    Q_EMIT noted(text);
}

void Rfc2217Transport::send(const std::vector<Command> &commands)
{
    if (commands.empty())
        return;
    QByteArray bytes;
    for (const Command &command : commands)
        bytes += telnet::encode(command);
    note(u"telnet: sent "_s + join_commands(commands));
    tcp_.write(bytes);
}

void Rfc2217Transport::take_input()
{
    // Data waiting to be read is bounded as the connection's own buffer is: a gateway that pours
    // bytes faster than they are read leaves them in the system.
    while ((negotiating_ || open_) && data_.size() < TcpTransport::read_buffer_size
        && tcp_.bytes_available() > 0) {
        std::vector<Command> commands;
        decoder_.feed(tcp_.read(TcpTransport::read_buffer_size - data_.size()), &data_, &commands);
        if (!commands.empty()) {
            heard_telnet_ = true;
            note(u"telnet: received "_s + join_commands(commands));
        }
        for (const Command &command : commands) {
            if (!negotiating_ && !open_)
                return; // the open failed on an earlier command
            handle(command);
        }
        if (negotiating_) {
            // Bytes of the serial line that came before the settings were agreed are not replies
            // to anything sent on this connection.
            data_.clear();
            check_settings();
        }
    }
}

QByteArray Rfc2217Transport::read(qint64 max)
{
    if (!open_)
        return {};
    const QByteArray out = data_.left(max);
    data_.remove(0, out.size());
    take_input();
    return out;
}

void Rfc2217Transport::write(const QByteArray &bytes)
{
    if (open_)
        tcp_.write(telnet::escape(bytes));
}

void Rfc2217Transport::discard_input()
{
    if (!open_)
        return;
    data_.clear();
    take_input();
    data_.clear();
}

Rfc2217Transport::OptionState *Rfc2217Transport::option(Side side, std::uint8_t option)
{
    switch (option) {
    case telnet::BINARY:
        return side == Side::Us ? &us_binary_ : &gw_binary_;
    case telnet::SUPPRESS_GO_AHEAD:
        return side == Side::Us ? &us_sga_ : &gw_sga_;
    case telnet::COM_PORT_OPTION:
        return side == Side::Us ? &us_com_ : nullptr;
    default:
        return nullptr;
    }
}

void Rfc2217Transport::handle(const Command &command)
{
    if (command.kind == Command::Kind::Other)
        return; // NOP, GA and the like ask nothing
    if (command.kind == Command::Kind::Sub) {
        if (command.option != telnet::COM_PORT_OPTION || command.data.isEmpty())
            return;
        const int code = std::uint8_t(command.data.at(0)) - answer_offset;
        if (code < set_baudrate || code > set_control)
            return; // signature, line and modem state, flow control notices
        const QByteArray value = command.data.mid(1);
        quint32 number = 0;
        for (const char c : value)
            number = (number << 8) | std::uint8_t(c);
        if (negotiating_)
            ++commands_seen_;
        answers_[code] = number;
        return;
    }
    if (negotiating_ && ++commands_seen_ > max_negotiation_commands) {
        fail_open(u"the gateway at %1 kept negotiating: more than %2 Telnet option commands "
                  "without settling the serial settings"_s.arg(gateway())
                      .arg(max_negotiation_commands));
        return;
    }
    const bool asks_us = command.kind == Command::Kind::Do || command.kind == Command::Kind::Dont;
    const bool enable = command.kind == Command::Kind::Do || command.kind == Command::Kind::Will;
    const Side side = asks_us ? Side::Us : Side::Gateway;
    OptionState *state = option(side, command.option);
    if (!state) {
        // An option we do not take: turn it down once when it is asked for.
        if (enable && !refused_.contains({ side, command.option })) {
            refused_.append({ side, command.option });
            send({ verb(asks_us ? Command::Kind::Wont : Command::Kind::Dont, command.option) });
        }
        return;
    }
    const bool was_on = state->on;
    state->answered = true;
    state->on = enable;
    if (enable && !state->asked) {
        state->asked = true;
        send({ verb(asks_us ? Command::Kind::Will : Command::Kind::Do, command.option) });
    } else if (!enable && was_on) {
        send({ verb(asks_us ? Command::Kind::Wont : Command::Kind::Dont, command.option) });
    }
    if (!enable) {
        state->asked = false;
        if (negotiating_ && command.option == telnet::COM_PORT_OPTION) {
            fail_open(u"the gateway at %1 refused the COM port option (RFC 2217), so it cannot "
                      "take the serial settings; for a gateway in raw TCP mode use tcp://%1"_s.arg(
                          gateway()));
            return;
        }
        if (negotiating_ && command.option == telnet::BINARY) {
            fail_open(u"the gateway at %1 refused binary transmission (Telnet BINARY %2), which "
                      "the receiver's 8-bit data needs"_s.arg(
                          gateway(), side == Side::Us ? u"from the client"_s : u"to the client"_s));
            return;
        }
    }
    if (enable && command.option == telnet::COM_PORT_OPTION && !settings_sent_)
        send_settings();
}

void Rfc2217Transport::send_settings()
{
    settings_sent_ = true;
    QByteArray baud(4, '\0');
    for (int i = 0; i < 4; ++i)
        baud[i] = char((baud_rate >> (8 * (3 - i))) & 0xFF);
    send({ com_port(set_baudrate, baud), com_port(set_datasize, QByteArray(1, char(datasize_8))),
        com_port(set_parity, QByteArray(1, char(parity_none))),
        com_port(set_stopsize, QByteArray(1, char(stopsize_1))),
        com_port(set_control, QByteArray(1, char(control_none))) });
}

void Rfc2217Transport::check_settings()
{
    if (!negotiating_ || !settings_sent_)
        return;
    const std::pair<int, quint32> wanted[]
        = { { set_baudrate, baud_rate }, { set_datasize, datasize_8 }, { set_parity, parity_none },
              { set_stopsize, stopsize_1 }, { set_control, control_none } };
    QStringList wrong;
    for (const auto &[code, value] : wanted) {
        if (!answers_.contains(code))
            return;
        if (answers_.value(code) != value)
            wrong << setting_text(code, answers_.value(code));
    }
    if (!wrong.isEmpty()) {
        fail_open(u"the gateway at %1 refused the serial settings: %2"_s.arg(
            gateway(), wrong.join(u", "_s)));
        return;
    }
    if (!us_binary_.on || !gw_binary_.on || !us_sga_.answered || !gw_sga_.answered)
        return;
    negotiating_ = false;
    open_ = true;
    deadline_.stop();
    data_.clear();
    note(u"telnet: serial settings agreed: 115200 baud, 8 data bits, no parity, 1 stop bit, no "
         "flow control"_s);
    Q_EMIT open_finished(true);
}

QString Rfc2217Transport::missing() const
{
    QStringList waiting;
    if (!us_com_.answered)
        waiting << u"WILL COM-PORT-OPTION"_s;
    if (!us_binary_.answered)
        waiting << u"WILL BINARY"_s;
    if (!gw_binary_.answered)
        waiting << u"DO BINARY"_s;
    if (!us_sga_.answered)
        waiting << u"WILL SUPPRESS-GO-AHEAD"_s;
    if (!gw_sga_.answered)
        waiting << u"DO SUPPRESS-GO-AHEAD"_s;
    static const char *const names[]
        = { "", "SET-BAUDRATE", "SET-DATASIZE", "SET-PARITY", "SET-STOPSIZE", "SET-CONTROL" };
    if (settings_sent_) {
        for (int code = set_baudrate; code <= set_control; ++code) {
            if (!answers_.contains(code))
                waiting << QString::fromLatin1(names[code]);
        }
    }
    QString text = waiting.isEmpty() ? u"no answer"_s : u"no answer to "_s + waiting.join(u", "_s);
    // A gateway in raw TCP mode passes the negotiation to the serial line and says nothing.
    if (!heard_telnet_)
        text += u"; no Telnet came back at all: for a gateway in raw TCP mode use tcp://%1"_s.arg(
            gateway());
    return text;
}
