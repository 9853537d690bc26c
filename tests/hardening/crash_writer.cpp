// A writer for the crash-safety test: rewrites the settings file with write_app_settings and a
// projector-style file with FieldWriter::commit, alternating between two contents, until it is
// killed. Prints "ready" once both files exist with each content written once.
// Usage: kz_crash_writer SETTINGS_FILE PROJECTOR_FILE
#include "app/app_settings.h"
#include "fields/fields.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// A long path makes each write take a while, so that many kills land inside one; it stays within
// what the reader takes of a text field (32 KiB, quotes included), so the writer accepts it.
QString long_path()
{
    return u"/var/kz/"_s + QStringLiteral("projector-room-").repeated(2100) + u".ini"_s;
}

bool write_projector(const QString &path, bool first)
{
    FieldWriter writer;
    writer.write_int(first ? 9600 : 115200);
    writer.write_int(first ? 8 : 7);
    writer.write_text(first ? QStringLiteral("NONE") : QStringLiteral("EVEN"));
    writer.write_float(first ? 1.0f : 1.5f);
    writer.write_text(first ? QStringLiteral("50 57 52 0D ").repeated(2700) : QString());
    writer.write_text(first ? QString() : QStringLiteral("50 57 52 20 4F 46 46 0D "));
    return writer.commit(path);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kz_crash_writer SETTINGS_FILE PROJECTOR_FILE\n");
        return 2;
    }
    const QString settings_path = QString::fromLocal8Bit(argv[1]);
    const QString projector_path = QString::fromLocal8Bit(argv[2]);

    AppSettings first;
    first.port_no = 3;
    first.auto_clear = AutoClear::On;
    first.cmd_fmt = CommandView::Hex;
    first.proj_file = long_path();
    first.open_section = Section::Projector;
    AppSettings second;
    second.port_no = 0;
    second.auto_clear = AutoClear::Off;
    second.cmd_fmt = CommandView::Text;
    second.open_section = Section::Panel;

    for (long i = 0;; ++i) {
        const bool is_first = i % 2 == 0;
        if (!write_app_settings(settings_path, is_first ? first : second))
            return 3;
        if (!write_projector(projector_path, is_first))
            return 4;
        if (i == 1) {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        }
    }
}
