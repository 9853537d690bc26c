#include "sim/pty_sim.h"
#include "sim/sim_log.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cstdio>
#include <ctime>
#include <memory>
#include <pthread.h>
#include <signal.h>

namespace {

QString help_description()
{
    QString text = QStringLiteral(
        "Simulated KZ-ORBA-320-RX receiver on a pseudo-terminal. Open the link path as a serial\n"
        "port (115200 8N1). Every message is answered with its prefix, the value and \"]$\" CR.\n"
        "Faults apply to every message unless --only names one prefix.\n\n"
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
        QStringLiteral("Symbolic link to create to the slave side (required)."),
        QStringLiteral("PATH"));
    const QCommandLineOption identify_opt(QStringLiteral("identify"),
        QStringLiteral("Identification word of the transmitter (default TX: three inputs)."),
        QStringLiteral("WORD"), QStringLiteral("TX"));
    const QCommandLineOption log_opt(QStringLiteral("log"),
        QStringLiteral("Append one line per received message to FILE."), QStringLiteral("FILE"));
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
        QStringLiteral("Close the line instead of answering PREFIX (\"all\" for any message)."),
        QStringLiteral("PREFIX"));
    const QCommandLineOption redial_opt(QStringLiteral("redial"),
        QStringLiteral("After a hang-up, bring the line back on a new pty after MS milliseconds "
                       "(0: stay down)."),
        QStringLiteral("MS"), QStringLiteral("1000"));
    parser.addOptions({ link_opt, identify_opt, log_opt, delay_opt, silent_opt, noise_opt,
        split_opt, wrong_opt, overlong_opt, only_opt, hang_opt, redial_opt });
    parser.process(app);

    const QString link = parser.value(link_opt);
    if (link.isEmpty()) {
        std::fprintf(stderr, "kz-orba-sim: --link PATH is required (see --help)\n");
        return 2;
    }
    bool numbers_ok = true;
    auto number = [&](const QCommandLineOption &opt) {
        if (!parser.isSet(opt))
            return 0;
        bool ok = false;
        const int value = parser.value(opt).toInt(&ok);
        if (!ok || value < 0)
            numbers_ok = false;
        return value;
    };

    SimFaults faults;
    const QByteArray only = normalise_prefix(latin1(parser.value(only_opt)));
    faults.delay_ms = number(delay_opt);
    faults.delay_only = only;
    for (const QString &prefix : parser.values(silent_opt))
        faults.silent.append(normalise_prefix(latin1(prefix)));
    faults.noise = latin1(parser.value(noise_opt));
    faults.noise_only = only;
    faults.split_gap_ms = parser.isSet(split_opt) ? 250 : 0;
    faults.split_only = only;
    faults.wrong_prefix = parser.isSet(wrong_opt)
        ? normalise_prefix(latin1(parser.value(wrong_opt)))
        : QByteArray();
    faults.wrong_prefix_only = only;
    faults.overlong_size = parser.isSet(overlong_opt) ? 120 : 0;
    faults.overlong_only = only;
    faults.hang_up = parser.isSet(hang_opt);
    faults.hang_up_only = normalise_prefix(latin1(parser.value(hang_opt)));
    const int redial_ms = parser.isSet(redial_opt) ? number(redial_opt) : 1000;
    if (!numbers_ok) {
        std::fprintf(stderr, "kz-orba-sim: --delay and --redial take a number of milliseconds\n");
        return 2;
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE *)> log_file(nullptr, &std::fclose);
    if (parser.isSet(log_opt)) {
        log_file.reset(std::fopen(QFile::encodeName(parser.value(log_opt)).constData(), "a"));
        if (!log_file) {
            std::perror("kz-orba-sim: --log");
            return 1;
        }
    }

    // The signals are taken synchronously below; block them before the serving thread starts so
    // that it inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    PtySimulator sim(latin1(parser.value(identify_opt)));
    sim.with_model([](ReceiverModel &model) { model.set_log_limit(1000); });
    sim.set_faults(faults);
    if (log_file) {
        std::FILE *file = log_file.get();
        sim.set_message_hook([file](const QByteArray &message) {
            const QByteArray line = log_line(QDateTime::currentDateTime(), message);
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), file);
            std::fflush(file);
        });
    }
    QString error;
    if (!sim.start(link, &error)) {
        std::fprintf(stderr, "kz-orba-sim: %s\n", qPrintable(error));
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
                std::fprintf(stderr, "kz-orba-sim: %s\n", qPrintable(error));
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
