#include "app/main_window.h"
#include "app/widget_prompts.h"
#include "build_info.h"
#include "fields/config_folder.h"
#include "link/port_names.h"
#include "link/trace.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char list_ports_name[] = "list-ports";

struct Options
{
    QCommandLineOption config_dir { QStringLiteral("config-dir"),
        QStringLiteral("Read and write the settings, option-list and picture files in <dir>. "
                       "Without it: the executable's folder when it holds KZ_ORBA_CTRL.ini, "
                       "otherwise your own folder, where missing files are copied from the "
                       "installed defaults."),
        QStringLiteral("dir") };
    QCommandLineOption trace { QStringLiteral("trace"),
        QStringLiteral("Append one line per transaction with the receiver to <file>: time, port, "
                       "bytes sent and received, outcome and milliseconds taken."),
        QStringLiteral("file") };
    QCommandLineOption list_ports { QString::fromLatin1(list_ports_name),
        QStringLiteral("Print the device that each of COM1: to COM9: "
                       "opens and whether it exists, then exit.") };
};

QStringList data_files()
{
    QStringList files;
    for (const char *file : build_info::data_files)
        files << QString::fromLatin1(file);
    return files;
}

// The folder for this command line; copy says whether missing defaults are copied into it.
config_folder::Choice files_folder(QCommandLineParser &parser, const Options &options, bool copy)
{
    // A first pass only for --config-dir; the real parse reports what is wrong.
    parser.parse(QCoreApplication::arguments());
    const QString given
        = parser.isSet(options.config_dir) ? parser.value(options.config_dir) : QString();
    return config_folder::choose(config_folder::system_places(given), data_files(), copy);
}

void set_description(QCommandLineParser &parser, const config_folder::Choice &folder)
{
    parser.setApplicationDescription(
        QStringLiteral(
            "Configures and operates a KZ-ORBA-320-RX video receiver over RS-232.\n"
            "The port list's COM1: .. COM9: open what KZ_ORBA_COM1 .. KZ_ORBA_COM9 name\n"
            "when set (a device, e.g. /dev/ttyUSB0, or a gateway, tcp://HOST:PORT), else\n"
            "the nth serial adapter; --list-ports shows which.\n")
        + config_folder::describe(folder));
}

void describe(QCommandLineParser &parser, const Options &options)
{
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.config_dir);
    parser.addOption(options.trace);
    parser.addOption(options.list_ports);
}

void name_application()
{
    QCoreApplication::setApplicationName(QStringLiteral("KZ-ORBA-320-RX"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(build_info::version));
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
    name_application();
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    const config_folder::Choice folder = files_folder(parser, options, false);
    set_description(parser, folder);
    parser.process(app);
    for (const QString &line : port_table(reported_ports()))
        std::printf("%s\n", qPrintable(line));
    std::printf("%s\n", qPrintable(config_folder::describe(folder)));
    return 0;
}

// Messages Qt gives while the window's platform starts: held back, and shown only when it starts.
QList<std::pair<QtMsgType, QString>> held_messages;

// Qt ends a start without a usable display with a fatal message and an abort, and a paragraph
// about reinstalling. One line says instead what is missing and where to turn.
void no_display_handler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtFatalMsg) {
        held_messages.append({ type, text });
        return;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray x11 = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    QByteArray missing;
    if (!platform.isEmpty())
        missing = "the platform plugin \"" + platform + "\" (QT_QPA_PLATFORM) cannot be started";
    else if (x11.isEmpty() && wayland.isEmpty())
        missing = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    else if (!x11.isEmpty())
        missing = "the display DISPLAY=" + x11 + " cannot be reached";
    else
        missing = "the display WAYLAND_DISPLAY=" + wayland
            + " cannot be reached (is the Wayland platform plugin installed?)";
    std::fprintf(stderr, "kz-orba-ctrl: no usable display: %s; kz-orba-cli works without one\n",
        missing.constData());
    std::fflush(stderr);
    std::_Exit(1);
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

    const QtMessageHandler previous = qInstallMessageHandler(no_display_handler);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const auto &[type, text] : std::as_const(held_messages))
        previous(type, QMessageLogContext(), text);
    held_messages.clear();
    name_application();
    // One style everywhere, so that the Connect/Disconnect colours show on every platform.
    QApplication::setStyle(QStringLiteral("Fusion"));

    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    const config_folder::Choice folder = files_folder(parser, options, true);
    set_description(parser, folder);
    parser.process(app);
    // A file that could not be copied is named here; the start-up then says which one is missing.
    for (const QString &problem : folder.problems)
        std::fprintf(stderr, "kz-orba-ctrl: %s\n", qPrintable(problem));

    const QString dir = folder.dir;
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
