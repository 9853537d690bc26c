#include "build_info.h"
#include "cli/checked_stream.h"
#include "cli/cli_app.h"
#include "cli/descriptors.h"
#include "cli/grammar.h"
#include "cli/interrupts.h"
#include "fields/config_folder.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
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
    // Every write is checked: a full disk or a closed descriptor is reported and fails the run,
    // and a reader gone from a pipe ends it as it ends any pipe's writer. First of all, so that
    // nothing opened later can take the number of a closed one.
    cli::CheckedStream out_stream(1, QStringLiteral("standard output"), true);
    cli::CheckedStream err_stream(2, QStringLiteral("standard error"), false);
    // Each receiver's line takes a descriptor: take all the system allows.
    cli::raise_descriptor_limit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kz-orba-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(build_info::version));
    QTextStream out(&out_stream);
    QTextStream err(&err_stream);
    cli::Interrupts interrupts;
    cli::Console console { out, err, KZ_ISATTY(KZ_FILENO(stderr)) != 0, &interrupts };
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
    int status = cli::main_with(words, console, folder.dir);
    // The folder in use, after the help or the port list; never after a JSON document.
    if (parsed && status == 0 && !inv.json && (inv.help || inv.command == QLatin1String("ports")))
        out << config_folder::describe(folder) << '\n';
    out.flush();
    out_stream.close();
    if (out_stream.failed()) {
        err << "kz-orba-cli: " << out_stream.failure() << "; what it should hold is lost\n";
        status = std::max(status, 1);
    }
    err.flush();
    err_stream.close();
    if (err_stream.failed())
        status = std::max(status, 1);
    return status;
}
