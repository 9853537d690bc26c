#include "build_info.h"
#include "cli/cli_app.h"
#include "model/descriptors.h"

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
    model::raise_descriptor_limit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kz-orba-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(build_info::version));
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Console console { out, err, KZ_ISATTY(KZ_FILENO(stderr)) != 0 };
    QStringList words = QCoreApplication::arguments();
    words.removeFirst();
    return cli::main_with(words, console, QCoreApplication::applicationDirPath());
}
