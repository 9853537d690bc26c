#include "projector/projector_file.h"

#include "build_info.h"
#include "codec/codec.h"
#include "fields/fields.h"
#include "projector/display_editor.h"
#include "section/combo_util.h"
#include "section/window_state.h"
#include <QAbstractButton>
#include <QComboBox>

#include <QDir>
#include <QFileInfo>

namespace {

const QString app_title = QString::fromLatin1(build_info::app_title);

// The entries selected when no projector settings file is in use: 115200, 8, None, 1.5.
constexpr int default_baud_position = 6;
constexpr int default_databits_position = 3;
constexpr int default_parity_position = 0;
constexpr int default_stopbits_position = 1;
const ProjPortValues default_port { 115200, 8, QStringLiteral("NONE"), 1.5f };

constexpr int proj_fields = 6;

bool is_separator(QChar c)
{
    return c == u'\\' || c == u'/';
}

// Length of the path's root with its separator: "X:\", a leading separator, or
// "\\server\share\"; 0 for a relative path.
qsizetype root_length(const QString &path)
{
    if (path.size() >= 2 && is_separator(path.at(0)) && is_separator(path.at(1))) {
        qsizetype seps = 0;
        for (qsizetype i = 2; i < path.size(); ++i) {
            if (is_separator(path.at(i)) && ++seps == 2)
                return i + 1;
        }
        return path.size();
    }
    if (!path.isEmpty() && is_separator(path.at(0)))
        return 1;
    if (path.size() >= 3 && path.at(1) == u':' && is_separator(path.at(2)))
        return 3;
    return 0;
}

qsizetype last_separator(const QString &path, qsizetype before)
{
    for (qsizetype i = before - 1; i >= 0; --i) {
        if (is_separator(path.at(i)))
            return i;
    }
    return -1;
}

} // namespace

QString split_path(const QString &path, PathPart part)
{
    if (path.isEmpty())
        return {};
    const qsizetype a = last_separator(path, path.size());
    const qsizetype root = root_length(path);
    switch (part) {
    case PathPart::Folder:
        if (a < 0)
            return {};
        return a < root ? path.left(root) : path.left(a);
    case PathPart::Display: {
        const qsizetype b = a < 0 ? -1 : last_separator(path, a);
        if (b < 0 || b < root)
            return path;
        return path.left(root) + QStringLiteral("...") + path.mid(b);
    }
    case PathPart::File:
        return path.mid(a + 1);
    default:
        return {};
    }
}

bool read_proj_settings(const QString &path, ProjSettings &out, QString *error)
{
    FieldReader reader;
    reader.set_expected_fields(proj_fields);
    ProjSettings s;
    const bool ok = reader.open(path) && reader.read_int(s.port.baud)
        && reader.read_int(s.port.databits) && reader.read_text(s.port.parity)
        && reader.read_float(s.port.stopbits) && reader.read_text(s.disp_on_hex)
        && reader.read_text(s.disp_off_hex);
    if (!ok) {
        if (error)
            *error = reader.error();
        return false;
    }
    if (s.port.databits < -32768 || s.port.databits > 32767) {
        if (error)
            *error = QStringLiteral("field 2 is out of range: %1").arg(s.port.databits);
        return false;
    }
    out = s;
    return true;
}

bool proj_file_exists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    // A system that ignores letter case finds "ROOM1.INI" for "room1.ini": that counts as no file.
    const QStringList names = info.dir().entryList(QDir::Files | QDir::Hidden | QDir::System);
    return names.contains(info.fileName(), Qt::CaseSensitive);
}

ProjectorFile::ProjectorFile(const HandlerContext &ctx, const Widgets &widgets, ProjectorPort &port,
    DisplayEditor &editor, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
    , port_(port)
    , editor_(editor)
{
    connect(w_.cmd_load, &QAbstractButton::clicked, this, &ProjectorFile::cmd_load_Click);
    connect(w_.cmd_save, &QAbstractButton::clicked, this, &ProjectorFile::cmd_save_Click);
}

QString ProjectorFile::title_for(const QString &path)
{
    if (path.isEmpty())
        return app_title;
    return app_title + u' ' + split_path(QDir::toNativeSeparators(path), PathPart::Display);
}

bool ProjectorFile::load_proj_file(QString *error)
{
    const QString path = ctx_.state.proj_file;
    if (!proj_file_exists(path)) {
        select_position(w_.cbo_proj_baudrate, default_baud_position);
        select_position(w_.cbo_proj_databit, default_databits_position);
        select_position(w_.cbo_proj_parity, default_parity_position);
        select_position(w_.cbo_proj_stopbit, default_stopbits_position);
        // Also when a list already showed its default entry and so ran no handler.
        port_.set_values(default_port);
        Q_EMIT file_in_use(QString());
        return true;
    }
    ProjSettings settings;
    QString why;
    if (!read_proj_settings(path, settings, &why)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    apply(settings);
    Q_EMIT file_in_use(path);
    return true;
}

void ProjectorFile::apply(const ProjSettings &settings)
{
    port_.set_values(settings.port);
    port_.show_proj_port();
    CommandCodec &codec = editor_.codec();
    codec.disp_on_hex = settings.disp_on_hex;
    codec.disp_off_hex = settings.disp_off_hex;
    editor_.show_disp_cmd(CommandCodec::display_on);
    editor_.show_disp_cmd(CommandCodec::display_off);
}

bool ProjectorFile::save_proj_file(const QString &path)
{
    editor_.capture_disp_cmds();
    const ProjPortValues &port = port_.values();
    const CommandCodec &codec = editor_.codec();
    FieldWriter writer;
    writer.write_int(port.baud);
    writer.write_int(port.databits);
    writer.write_text(port.parity);
    writer.write_float(port.stopbits);
    writer.write_text(codec.disp_on_hex);
    writer.write_text(codec.disp_off_hex);
    QString why;
    if (!writer.commit(path, &why)) {
        ctx_.prompts.message(
            QStringLiteral("%1 cannot be saved (%2) !").arg(QDir::toNativeSeparators(path), why),
            Prompts::Icon::Critical);
        return false;
    }
    ctx_.state.proj_file = path;
    Q_EMIT file_in_use(path);
    return true;
}

bool ProjectorFile::changed()
{
    const QString path = ctx_.state.proj_file;
    if (!proj_file_exists(path))
        return true;
    // Fields that cannot be read keep their starting values and are compared as such.
    ProjSettings file;
    FieldReader reader;
    if (reader.open(path)) {
        int number = 0;
        float stop = 0;
        QString text;
        if (reader.read_int(number))
            file.port.baud = number;
        if (reader.read_int(number))
            file.port.databits = number;
        if (reader.read_text(text))
            file.port.parity = text;
        if (reader.read_float(stop))
            file.port.stopbits = stop;
        if (reader.read_text(text))
            file.disp_on_hex = text;
        if (reader.read_text(text))
            file.disp_off_hex = text;
    }
    editor_.capture_disp_cmds();
    const ProjPortValues &port = port_.values();
    const CommandCodec &codec = editor_.codec();
    return file.port.baud != port.baud || file.port.databits != port.databits
        || file.port.parity != port.parity || file.port.stopbits != port.stopbits
        || trim_spaces(file.disp_on_hex) != trim_spaces(codec.disp_on_hex)
        || trim_spaces(file.disp_off_hex) != trim_spaces(codec.disp_off_hex);
}

Prompts::FileRequest ProjectorFile::file_request(bool save) const
{
    Prompts::FileRequest request;
    request.save = save;
    request.title = save ? QStringLiteral("Save File") : QStringLiteral("Load File");
    request.filters = { QStringLiteral("Projector INI (*.ini)"), QStringLiteral("*.* (*)") };
    const QString &current = ctx_.state.proj_file;
    if (proj_file_exists(current)) {
        request.folder = split_path(current, PathPart::Folder);
        if (save)
            request.file_name = current;
    } else {
        request.folder = ctx_.config_dir;
    }
    return request;
}

void ProjectorFile::cmd_load_Click()
{
    const std::optional<QString> chosen = ctx_.prompts.file_dialog(file_request(false));
    if (!chosen || chosen->isEmpty())
        return;
    const QString &path = *chosen;
    if (!proj_file_exists(path)) {
        ctx_.prompts.message(QDir::toNativeSeparators(path) + QStringLiteral(" Not Exist !"),
            Prompts::Icon::Critical);
        return;
    }
    // All six fields are read before any is applied: a broken file changes nothing.
    ProjSettings settings;
    QString why;
    if (!read_proj_settings(path, settings, &why)) {
        ctx_.prompts.message(
            QStringLiteral("%1 cannot be loaded (%2) !").arg(QDir::toNativeSeparators(path), why),
            Prompts::Icon::Critical);
        return;
    }
    ctx_.state.proj_file = path;
    apply(settings);
    Q_EMIT file_in_use(path);
}

void ProjectorFile::cmd_save_Click()
{
    const Prompts::FileRequest request = file_request(true);
    for (;;) {
        const std::optional<QString> chosen = ctx_.prompts.file_dialog(request);
        if (!chosen)
            return;
        if (QFileInfo(*chosen).isFile()) {
            const Prompts::Answer answer = ctx_.prompts.question(
                QDir::toNativeSeparators(*chosen) + QStringLiteral(" Overwrite file ?"),
                Prompts::Icon::None, true);
            if (answer == Prompts::Answer::No)
                continue;
            if (answer == Prompts::Answer::Cancel)
                return;
        }
        if (!chosen->isEmpty())
            save_proj_file(*chosen);
        return;
    }
}
