#include "app/app_settings.h"

#include "fields/fields.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace app_files {
QString path(const QString &config_dir, const char *name)
{
    return QDir(config_dir).filePath(QString::fromLatin1(name));
}
} // namespace app_files

namespace {

// The settings file holds 16-bit integers.
bool read_short(FieldReader &reader, int &value)
{
    if (!reader.read_int(value))
        return false;
    return value >= -32768 && value <= 32767;
}

} // namespace

bool read_app_settings(const QString &path, AppSettings &settings, QString *error)
{
    const QString name = QDir::toNativeSeparators(path);
    auto failed = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(name, why);
        return false;
    };

    FieldReader reader;
    if (!reader.open(path))
        return failed(reader.error());
    reader.set_expected_fields(5);

    AppSettings read;
    int auto_clear = 0;
    int cmd_fmt = 0;
    int open_section = 0;
    const struct
    {
        int *value;
        const char *what;
    } numbers_before[] = { { &read.port_no, "port number" }, { &auto_clear, "auto-clear" },
        { &cmd_fmt, "command view" } };
    for (const auto &field : numbers_before) {
        if (!read_short(reader, *field.value))
            return failed(reader.error().isEmpty()
                    ? QStringLiteral("the %1 is out of range").arg(QLatin1String(field.what))
                    : reader.error());
    }
    if (!reader.read_text(read.proj_file))
        return failed(reader.error());
    if (!read_short(reader, open_section))
        return failed(reader.error().isEmpty() ? QStringLiteral("the section is out of range")
                                               : reader.error());

    if (read.port_no < 0 || read.port_no > 9)
        return failed(QStringLiteral("port number %1 is not 0 to 9").arg(read.port_no));
    if (auto_clear != static_cast<int>(AutoClear::Off)
        && auto_clear != static_cast<int>(AutoClear::On))
        return failed(QStringLiteral("auto-clear %1 is not 0 (off) or 1 (on)").arg(auto_clear));
    if (cmd_fmt != static_cast<int>(CommandView::Text)
        && cmd_fmt != static_cast<int>(CommandView::Hex))
        return failed(QStringLiteral("command view %1 is not 0 (Text) or 1 (Hex)").arg(cmd_fmt));
    // Any other section number is kept as it is and written back unchanged.
    read.auto_clear = static_cast<AutoClear>(auto_clear);
    read.cmd_fmt = static_cast<CommandView>(cmd_fmt);
    read.open_section = static_cast<Section>(open_section);

    settings = read;
    return true;
}

bool write_app_settings(const QString &path, const AppSettings &settings, QString *error)
{
    FieldWriter writer;
    writer.write_int(settings.port_no);
    writer.write_int(static_cast<int>(settings.auto_clear));
    writer.write_int(static_cast<int>(settings.cmd_fmt));
    writer.write_text(settings.proj_file);
    writer.write_int(static_cast<int>(settings.open_section));
    return writer.commit(path, error);
}

QStringList remove_stale_temporaries(const QString &path)
{
    // An atomic write puts its text in a temporary file beside the target, named as the target
    // with a dot and six random letters, digits, '-' or '_', and renames it over the target. A
    // process killed between the two leaves the temporary file behind. A suffix of six small
    // letters (".backup") is taken for a name a person gave.
    const QFileInfo target(path);
    const QRegularExpression temporary(QStringLiteral("^%1\\.(?![a-z]{6}$)[A-Za-z0-9_-]{6}$")
                                           .arg(QRegularExpression::escape(target.fileName())));
    QStringList removed;
    const QDir dir = target.dir();
    const QStringList names
        = dir.entryList({ target.fileName() + QStringLiteral(".*") }, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const QFileInfo info(dir.filePath(name));
        if (temporary.match(name).hasMatch() && info.isFile() && !info.isSymLink()
            && QFile::remove(info.filePath()))
            removed << info.filePath();
    }
    return removed;
}
