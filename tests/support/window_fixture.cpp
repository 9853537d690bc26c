#include "tests/support/window_fixture.h"

#include "build_info.h"

#include <QDir>
#include <QFile>

WindowFixture::WindowFixture()
    : WindowFixture(Options())
{ }

WindowFixture::WindowFixture(const Options &options)
    : sim(options.identify)
    , options_(options)
{
    for (const char *name : build_info::data_files)
        QFile::copy(QDir(QStringLiteral(KZ_DATA_DIR)).filePath(QString::fromLatin1(name)),
            path(QString::fromLatin1(name)));
    write_settings(options);
    old_com1_ = qgetenv("KZ_ORBA_COM1");
    const QString link = path(QStringLiteral("com1"));
    qputenv("KZ_ORBA_COM1", link.toLocal8Bit());
    if (options.start_sim)
        sim.start(link);
}

WindowFixture::~WindowFixture()
{
    window.reset();
    sim.stop();
    if (old_com1_.isNull())
        qunsetenv("KZ_ORBA_COM1");
    else
        qputenv("KZ_ORBA_COM1", old_com1_);
}

void WindowFixture::write_settings(const Options &o)
{
    QByteArray text;
    text += QByteArray::number(o.port_no) + "\r\n";
    text += QByteArray::number(o.auto_clear) + "\r\n";
    text += QByteArray::number(o.cmd_fmt) + "\r\n";
    text += "\"" + o.proj_file.toLocal8Bit() + "\"\r\n";
    text += QByteArray::number(o.open_section) + "\r\n";
    write_file(QStringLiteral("KZ_ORBA_CTRL.ini"), text);
}

void WindowFixture::write_file(const QString &name, const QByteArray &bytes)
{
    QFile file(path(name));
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray WindowFixture::read_file(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WindowFixture::start(QString *error)
{
    window = std::make_unique<MainWindow>(
        options_.prompts ? *options_.prompts : static_cast<Prompts &>(prompts), dir());
    ui = window->form();
    QString why;
    const bool ok = window->form_load(&why);
    if (error)
        *error = why;
    if (ok)
        window->show();
    return ok;
}

void WindowFixture::close()
{
    if (window)
        window->close();
}
