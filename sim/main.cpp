#include "sim/pty_sim.h"
#include "sim/sim_log.h"
#include "sim/sim_options.h"
#include "sim/tcp_sim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

// The --log file. Each line is written and flushed at once; the first line that cannot be written
// is reported with the path and the system's reason, nothing more is written, and the exit
// status becomes 1. Written from the pty's serving thread or the TCP event loop.
class LogFile
{
public:
    ~LogFile()
    {
        if (file_)
            std::fclose(file_);
    }

    bool open(const QString &path)
    {
        path_ = path;
        file_ = std::fopen(QFile::encodeName(path).constData(), "a");
        if (!file_) {
            std::fprintf(stderr, "kz-orba-sim: --log %s: cannot open: %s\n", qPrintable(path),
                std::strerror(errno));
            return false;
        }
        return true;
    }

    void write(const QByteArray &line)
    {
        if (failed_.load())
            return;
        errno = 0;
        const size_t size = static_cast<size_t>(line.size());
        if (std::fwrite(line.constData(), 1, size, file_) == size && std::fflush(file_) == 0)
            return;
        const int reason = errno;
        if (failed_.exchange(true))
            return;
        std::fprintf(stderr,
            "kz-orba-sim: --log %s: cannot write: %s; later messages are not logged\n",
            qPrintable(path_), reason ? std::strerror(reason) : "short write");
        std::fflush(stderr);
    }

    bool failed() const { return failed_.load(); }

private:
    std::FILE *file_ = nullptr;
    QString path_;
    std::atomic<bool> failed_ { false };
};

QString help_description()
{
    QString text = QStringLiteral(
        "Simulated KZ-ORBA-320-RX receiver, on a pseudo-terminal (--link) or on TCP listeners\n"
        "(--tcp), one or the other in one process. Open the link path as a serial port\n"
        "(115200 8N1), or connect to a listener as to a serial-to-Ethernet gateway in raw TCP\n"
        "mode: the connection carries the bytes of the serial line and nothing else. Every\n"
        "message is answered with its prefix, the value and \"]$\" CR. Faults apply to every\n"
        "message unless --only names one prefix.\n\n"
        "On TCP, each listener is a receiver with its own settings, kept across reconnects; one\n"
        "connection holds a listener at a time and a newer one replaces it. --tcp may name a\n"
        "port range (127.0.0.1:7000-7199) and may be repeated; port 0 takes any free port. Once\n"
        "all are listening, each is printed as \"kz-orba-sim: listening on 127.0.0.1:7000\";\n"
        "a hang-up prints \"kz-orba-sim: 127.0.0.1:7000 hung up\". The fault options apply to\n"
        "every listener; --faulty adds one fault to the listeners on chosen ports, for example\n"
        "  --faulty 7045-7049:silent=all --faulty 7040-7044:hang-up-on=Aspect\n"
        "  --faulty 7001,7003:delay=500 --faulty 7003:only=Info\n"
        "Switch names are those of the fault options (delay=MS, silent=PREFIX, noise=TEXT,\n"
        "split, wrong-prefix=PREFIX, overlong, only=PREFIX, hang-up-on=PREFIX). A listener's\n"
        "switches come after the fault options: a later value replaces an earlier one, silent\n"
        "adds up, and only= scopes the options' faults too. A hang-up closes the connection;\n"
        "the listener stays and takes the next one.\n\n"
        "Settings at start (a query answers these until they are changed):\n");
    for (const auto &[prefix, value] : ReceiverModel::defaults()) {
        text += QStringLiteral("  %1 %2\n")
                    .arg(QString::fromLatin1(prefix), -16)
                    .arg(QString::fromLatin1(escape_bytes(value)));
    }
    text += QStringLiteral(
        "With an identification other than TX the inputs are Hdmi and Vga, starting on Hdmi.\n"
        "\"WP_SystemRst[Go]$\" restores every setting above; \"WP_PictureRst[Go]$\" the five "
        "picture values.");
    return text;
}

QByteArray latin1(const QString &text)
{
    return text.toLatin1();
}

void fail(const QString &message)
{
    std::fprintf(stderr, "kz-orba-sim: %s\n", qPrintable(message));
}

// The pty front end: one receiver, its own serving thread, and this thread waiting for a stop
// signal and bringing the line back after a hang-up.
int run_pty(const QString &link, const QByteArray &identify, const SimFaults &faults, int redial_ms,
    LogFile *log)
{
    // The signals are taken synchronously below; block them before the serving thread starts so
    // that it inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    PtySimulator sim(identify);
    sim.with_model([](ReceiverModel &model) { model.set_log_limit(1000); });
    sim.set_faults(faults);
    if (log) {
        sim.set_message_hook([log](const QByteArray &message) {
            log->write(log_line(QDateTime::currentDateTime(), message));
        });
    }
    QString error;
    if (!sim.start(link, &error)) {
        fail(error);
        return 1;
    }
    std::printf("kz-orba-sim: slave %s, link %s\n", qPrintable(sim.slave_name()), qPrintable(link));
    std::fflush(stdout);

    timespec tick { 0, 100 * 1000 * 1000 };
    qint64 hung_since = -1;
    while (true) {
        const int sig = sigtimedwait(&stop_signals, nullptr, &tick);
        if (sig == SIGINT || sig == SIGTERM)
            break;
        if (!sim.hung_up()) {
            hung_since = -1;
            continue;
        }
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (hung_since < 0) {
            hung_since = now;
            std::printf("kz-orba-sim: line hung up\n");
            std::fflush(stdout);
        }
        if (redial_ms > 0 && now - hung_since >= redial_ms) {
            if (!sim.restart(&error)) {
                fail(error);
                sim.stop();
                return 1;
            }
            std::printf("kz-orba-sim: line back, slave %s\n", qPrintable(sim.slave_name()));
            std::fflush(stdout);
        }
    }
    sim.stop();
    return 0;
}

// Written by the signal handler, read by the event loop: SIGINT and SIGTERM end the TCP front
// end through its event loop.
int stop_pipe[2] = { -1, -1 };

void on_stop_signal(int)
{
    const int saved = errno;
    const char bell = 1;
    (void)::write(stop_pipe[1], &bell, 1);
    errno = saved;
}

QString listener_name(const TcpSimulator &sim)
{
    const QHostAddress address = sim.address();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(address.toString())
        : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(sim.port());
}

bool resolve_host(const QString &host, QHostAddress *address)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        *address = QHostAddress(QHostAddress::LocalHost);
        return true;
    }
    if (host == QLatin1String("*")) {
        *address = QHostAddress(QHostAddress::Any);
        return true;
    }
    return address->setAddress(host);
}

// The TCP front end: every listener on this thread's event loop.
int run_tcp(QCoreApplication &app, const QStringList &specs, const QStringList &port_faults,
    const QList<FaultSwitch> &common, const QByteArray &identify, LogFile *log)
{
    QList<PortFault> extra;
    for (const QString &text : port_faults) {
        PortFault fault;
        QString error;
        if (!parse_port_fault(text, &fault, &error)) {
            fail(error);
            return 2;
        }
        extra.append(fault);
    }

    // Many receivers need two descriptors each; take what the system allows.
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }

    QList<std::pair<QHostAddress, PortRange>> listeners;
    for (const QString &text : specs) {
        TcpSpec spec;
        QString error;
        if (!parse_tcp_spec(text, &spec, &error)) {
            fail(error);
            return 2;
        }
        QHostAddress address;
        if (!resolve_host(spec.host, &address)) {
            fail(QStringLiteral("--tcp needs a numeric address, localhost or *, not \"%1\"")
                     .arg(spec.host));
            return 2;
        }
        listeners.append({ address, spec.ports });
    }
    // A port fault that reaches no listener is a mistake in the command, not a quiet no-op.
    for (int i = 0; i < extra.size(); ++i) {
        const bool reaches = std::any_of(listeners.begin(), listeners.end(), [&](const auto &l) {
            for (uint port = l.second.first; port <= l.second.second; ++port) {
                if (port_selected(extra[i].ports, static_cast<quint16>(port)))
                    return true;
            }
            return false;
        });
        if (!reaches) {
            fail(QStringLiteral("--faulty %1 names no port that --tcp listens on")
                     .arg(port_faults[i]));
            return 2;
        }
    }

    // Each listener needs a descriptor to listen and one for its connection: fail now rather than
    // leave connections waiting later.
    qint64 wanted = 0;
    for (const auto &listener : listeners)
        wanted += 2 * (qint64(listener.second.second) - listener.second.first + 1);
    constexpr qint64 reserve = 32; // the process's own files, logs and the stop pipe
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
        && qint64(files.rlim_cur) < wanted + reserve) {
        fail(QStringLiteral("too many open files: %1 listeners need about %2 descriptors, and "
                            "%3 are allowed; raise `ulimit -n` or listen on fewer ports")
                 .arg(wanted / 2)
                 .arg(wanted + reserve)
                 .arg(qint64(files.rlim_cur)));
        return 1;
    }

    std::vector<std::unique_ptr<TcpSimulator>> sims;
    for (const auto &[address, ports] : listeners) {
        for (uint port = ports.first; port <= ports.second; ++port) {
            QString error;
            QList<FaultSwitch> switches = common;
            for (const PortFault &f : extra) {
                if (port_selected(f.ports, static_cast<quint16>(port)))
                    switches.append(f.fault);
            }
            SimFaults faults;
            if (!faults_from_switches(switches, &faults, &error)) {
                fail(error);
                return 2;
            }
            auto sim = std::make_unique<TcpSimulator>(identify);
            sim->model().set_log_limit(100);
            sim->set_faults(faults);
            if (!sim->listen(address, static_cast<quint16>(port), &error)) {
                fail(error);
                return 1;
            }
            sims.push_back(std::move(sim));
        }
    }

    for (const auto &sim : sims) {
        TcpSimulator *s = sim.get();
        if (log) {
            const quint16 port = s->port();
            s->set_message_hook([log, port](const QByteArray &message) {
                log->write(log_line(QDateTime::currentDateTime(), port, message));
            });
        }
        QObject::connect(s, &TcpSimulator::accept_failed, s, [s](const QString &reason) {
            std::printf("kz-orba-sim: %s cannot accept a connection: %s\n",
                qPrintable(listener_name(*s)), qPrintable(reason));
            std::fflush(stdout);
        });
        QObject::connect(s, &TcpSimulator::hung_up, s, [s] {
            std::printf("kz-orba-sim: %s hung up\n", qPrintable(listener_name(*s)));
            std::fflush(stdout);
        });
        std::printf("kz-orba-sim: listening on %s\n", qPrintable(listener_name(*s)));
    }
    std::fflush(stdout);

    if (::pipe(stop_pipe) != 0) {
        std::perror("kz-orba-sim: pipe");
        return 1;
    }
    ::fcntl(stop_pipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(stop_pipe[1], F_SETFD, FD_CLOEXEC);
    ::fcntl(stop_pipe[1], F_SETFL, O_NONBLOCK);
    QSocketNotifier stop_notifier(stop_pipe[0], QSocketNotifier::Read);
    QObject::connect(&stop_notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action
    {
    };
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A client gone while a reply is written must not end the process.
    ::signal(SIGPIPE, SIG_IGN);

    const int status = QCoreApplication::exec();
    sims.clear();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kz-orba-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KZ_SIM_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(help_description());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption link_opt(QStringLiteral("link"),
        QStringLiteral("Symbolic link to create to the slave side of a pseudo-terminal."),
        QStringLiteral("PATH"));
    const QCommandLineOption tcp_opt(QStringLiteral("tcp"),
        QStringLiteral("Listen on HOST:PORT or HOST:FIRST-LAST instead, one receiver per port "
                       "(repeatable)."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption faulty_opt(QStringLiteral("faulty"),
        QStringLiteral("With --tcp: add fault SWITCH to the listeners on PORTS (repeatable; "
                       "PORTS:SWITCH[=VALUE], see above)."),
        QStringLiteral("PORTS:SWITCH"));
    const QCommandLineOption identify_opt(QStringLiteral("identify"),
        QStringLiteral("Identification word of the transmitter (default TX: three inputs)."),
        QStringLiteral("WORD"), QStringLiteral("TX"));
    const QCommandLineOption log_opt(QStringLiteral("log"),
        QStringLiteral("Append one line per received message to FILE (on TCP with the "
                       "listener's port after the time)."),
        QStringLiteral("FILE"));
    const QCommandLineOption delay_opt(QStringLiteral("delay"),
        QStringLiteral("Wait MS milliseconds before each reply."), QStringLiteral("MS"));
    const QCommandLineOption silent_opt(QStringLiteral("silent"),
        QStringLiteral("Never answer PREFIX (repeatable; \"all\" for every message)."),
        QStringLiteral("PREFIX"));
    const QCommandLineOption noise_opt(QStringLiteral("noise"),
        QStringLiteral("Send TEXT before each reply."), QStringLiteral("TEXT"));
    const QCommandLineOption split_opt(
        QStringLiteral("split"), QStringLiteral("Send each reply in two writes 250 ms apart."));
    const QCommandLineOption wrong_opt(QStringLiteral("wrong-prefix"),
        QStringLiteral("Answer with PREFIX instead of the message's own."),
        QStringLiteral("PREFIX"));
    const QCommandLineOption overlong_opt(QStringLiteral("overlong"),
        QStringLiteral("Pad each reply's value so that the reply is 120 bytes long."));
    const QCommandLineOption only_opt(QStringLiteral("only"),
        QStringLiteral(
            "Apply --delay, --noise, --split, --wrong-prefix and --overlong to PREFIX only."),
        QStringLiteral("PREFIX"));
    const QCommandLineOption hang_opt(QStringLiteral("hang-up-on"),
        QStringLiteral("Close the line (the connection, on TCP) instead of answering PREFIX "
                       "(\"all\" for any message)."),
        QStringLiteral("PREFIX"));
    const QCommandLineOption redial_opt(QStringLiteral("redial"),
        QStringLiteral("With --link: after a hang-up, bring the line back on a new pty after MS "
                       "milliseconds (0: stay down)."),
        QStringLiteral("MS"), QStringLiteral("1000"));
    parser.addOptions({ link_opt, tcp_opt, faulty_opt, identify_opt, log_opt, delay_opt, silent_opt,
        noise_opt, split_opt, wrong_opt, overlong_opt, only_opt, hang_opt, redial_opt });
    parser.process(app);

    const bool on_tcp = parser.isSet(tcp_opt);
    const QString link = parser.value(link_opt);
    if (on_tcp && parser.isSet(link_opt)) {
        fail(QStringLiteral("--link and --tcp are alternatives: run one process for each"));
        return 2;
    }
    if (!on_tcp && link.isEmpty()) {
        fail(QStringLiteral("--link PATH or --tcp ADDRESS is required (see --help)"));
        return 2;
    }
    if (!on_tcp && parser.isSet(faulty_opt)) {
        fail(QStringLiteral("--faulty is for --tcp listeners"));
        return 2;
    }

    // The fault options carry the names of the fault switches.
    QList<FaultSwitch> common;
    for (const auto &[name, takes_value] : fault_switch_names()) {
        if (!parser.isSet(name))
            continue;
        if (!takes_value) {
            common.append({ name, QString() });
            continue;
        }
        for (const QString &value : parser.values(name))
            common.append({ name, value });
    }
    SimFaults faults;
    QString error;
    if (!faults_from_switches(common, &faults, &error)) {
        fail(error);
        return 2;
    }
    bool redial_ok = true;
    const int redial_ms = parser.value(redial_opt).toInt(&redial_ok);
    if (!redial_ok || redial_ms < 0) {
        fail(QStringLiteral("--redial takes a number of milliseconds"));
        return 2;
    }

    std::unique_ptr<LogFile> log_file;
    if (parser.isSet(log_opt)) {
        log_file = std::make_unique<LogFile>();
        if (!log_file->open(parser.value(log_opt)))
            return 1;
    }

    const QByteArray identify = latin1(parser.value(identify_opt));
    const int status = on_tcp ? run_tcp(app, parser.values(tcp_opt), parser.values(faulty_opt),
                           common, identify, log_file.get())
                              : run_pty(link, identify, faults, redial_ms, log_file.get());
    return status == 0 && log_file && log_file->failed() ? 1 : status;
}
