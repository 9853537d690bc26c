#include "app/main_window.h"
#include "app/widget_prompts.h"
#include "build_info.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // One style everywhere, so that the Connect/Disconnect colours show on every platform.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setApplicationName(QStringLiteral("KZ-ORBA-320-RX"));
    QApplication::setApplicationVersion(QString::fromLatin1(build_info::version));

    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Configures and operates a KZ-ORBA-320-RX video receiver over RS-232."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption config_dir(
            QStringLiteral("config-dir"),
            QStringLiteral("Read the settings, option-list and picture files from <dir> instead of "
                           "the executable's folder."),
            QStringLiteral("dir"));
    parser.addOption(config_dir);
    parser.process(app);

    const QString dir = parser.isSet(config_dir) ? QDir(parser.value(config_dir)).absolutePath()
                                                 : QCoreApplication::applicationDirPath();
    WidgetPrompts prompts;
    MainWindow window(prompts, dir);
    prompts.set_parent(&window);

    QString error;
    if (!window.form_load(&error)) {
        const QString report = QStringLiteral("The window cannot start:\n%1").arg(error);
        std::fprintf(stderr, "%s\n", qPrintable(report));
        prompts.set_parent(nullptr);
        prompts.message(report, Prompts::Icon::Critical);
        return 1;
    }
    window.show();
    return QApplication::exec();
}
