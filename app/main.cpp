#include "app/main_window.h"
#include "app/widget_prompts.h"
#include "build_info.h"
#include "link/port_names.h"
#include "link/trace.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <cstring>

namespace {

const char list_ports_name[] = "list-ports";

struct Options
{
    QCommandLineOption config_dir { QStringLiteral("config-dir"),
        QStringLiteral("Read the settings, option-list and picture files "
                       "from <dir> instead of the executable's folder."),
        QStringLiteral("dir") };
    QCommandLineOption trace { QStringLiteral("trace"),
        QStringLiteral("Append one line per transaction with the receiver to <file>: time, port, "
                       "bytes sent and received, outcome and milliseconds taken."),
        QStringLiteral("file") };
    QCommandLineOption list_ports { QString::fromLatin1(list_ports_name),
        QStringLiteral("Print the device that each of COM1: to COM9: "
                       "opens and whether it exists, then exit.") };
};

void describe(QCommandLineParser &parser, const Options &options)
{
    QCoreApplication::setApplicationName(QStringLiteral("KZ-ORBA-320-RX"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(build_info::version));
    parser.setApplicationDescription(
        QStringLiteral("Configures and operates a KZ-ORBA-320-RX video receiver over RS-232."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.config_dir);
    parser.addOption(options.trace);
    parser.addOption(options.list_ports);
}

// --list-ports, --help and --version need no window, so they are answered before any display is
// asked for: they work on a console without one.
bool wants_console(int argc, char *argv[])
{
    const QByteArray list_ports = QByteArray("--") + list_ports_name;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == list_ports || arg == "-h" || arg == "--help" || arg == "-?"
            || arg == "--help-all" || arg == "-v" || arg == "--version")
            return true;
    }
    return false;
}

int run_on_console(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    parser.process(app);
    for (const QString &line : port_table(reported_ports()))
        std::printf("%s\n", qPrintable(line));
    return 0;
}

// Platforms that draw nowhere: a message box there would wait for a click that cannot come.
bool has_display()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

int main(int argc, char *argv[])
{
    if (wants_console(argc, argv))
        return run_on_console(argc, argv);

    QApplication app(argc, argv);
    // One style everywhere, so that the Connect/Disconnect colours show on every platform.
    QApplication::setStyle(QStringLiteral("Fusion"));

    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    parser.process(app);

    const QString dir = parser.isSet(options.config_dir)
        ? QDir(parser.value(options.config_dir)).absolutePath()
        : QCoreApplication::applicationDirPath();
    TraceWriter trace;
    if (parser.isSet(options.trace)) {
        QString why;
        if (!trace.open(parser.value(options.trace), &why)) {
            std::fprintf(stderr, "kz-orba-ctrl: cannot open the trace file %s: %s\n",
                qPrintable(parser.value(options.trace)), qPrintable(why));
            return 1;
        }
    }
    WidgetPrompts prompts;
    MainWindow window(prompts, dir);
    prompts.set_parent(&window);
    if (trace.is_open())
        window.port_row().set_trace(&trace);

    QString error;
    if (!window.form_load(&error)) {
        const QString report = QStringLiteral("The window cannot start:\n%1").arg(error);
        std::fprintf(stderr, "%s\n", qPrintable(report));
        if (has_display()) {
            prompts.set_parent(nullptr);
            prompts.message(report, Prompts::Icon::Critical);
        }
        return 1;
    }
    window.show();
    return QApplication::exec();
}
