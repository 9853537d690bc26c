#include "build_info.h"
#include "cli/cli_app.h"
#include "cli/descriptors.h"
#include "cli/grammar.h"
#include "fields/config_folder.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define KZ_ISATTY _isatty
#define KZ_FILENO _fileno
#else
#include <unistd.h>
#define KZ_ISATTY isatty
#define KZ_FILENO fileno
#endif

int main(int argc, char *argv[])
{
    // Each receiver's line takes a descriptor: take all the system allows.
    cli::raise_descriptor_limit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kz-orba-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(build_info::version));
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Console console { out, err, KZ_ISATTY(KZ_FILENO(stderr)) != 0 };
    QStringList words = QCoreApplication::arguments();
    words.removeFirst();
    // The folder is chosen as the window chooses it; help and the port list name it.
    cli::Invocation inv;
    QString ignored;
    const bool parsed = cli::parse_invocation(words, &inv, &ignored);
    // Help, the completion scripts and the probes (status, watch, serve) read no option-list
    // file: they leave the user's folder as it is (a service may have none).
    using cli::grammar::Action;
    const cli::grammar::Command *command = cli::grammar::find_command(inv.command);
    const bool reads_files = command && command->action != Action::Help
        && command->action != Action::Completion && command->action != Action::Status
        && command->action != Action::Watch && command->action != Action::Serve;
    const bool copy
        = parsed && reads_files && !inv.help && !inv.version && inv.config_dir.isEmpty();
    QStringList files;
    for (const char *file : build_info::data_files)
        files << QString::fromLatin1(file);
    const config_folder::Choice folder
        = config_folder::choose(config_folder::system_places(inv.config_dir), files, copy);
    for (const QString &problem : folder.problems)
        err << "kz-orba-cli: " << problem << '\n';
    const int status = cli::main_with(words, console, folder.dir);
    if (parsed && status == 0 && (inv.help || inv.command == QLatin1String("ports")))
        out << config_folder::describe(folder) << '\n';
    return status;
}
