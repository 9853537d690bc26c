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
    if (options.line == Line::Tcp) {
        tcp_sim = std::make_unique<TcpSimulator>(options.identify);
        if (options.start_sim)
            tcp_sim->listen(QHostAddress::LocalHost, 0);
        address_ = QStringLiteral("tcp://127.0.0.1:%1").arg(tcp_sim->port());
    } else {
        address_ = path(QStringLiteral("com1"));
        if (options.start_sim)
            sim.start(address_);
    }
    qputenv("KZ_ORBA_COM1", address_.toLocal8Bit());
}

WindowFixture::~WindowFixture()
{
    window.reset();
    sim.stop();
    tcp_sim.reset();
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

QList<QByteArray> WindowFixture::sent()
{
    return tcp_sim ? tcp_sim->model().received() : sim.received();
}

void WindowFixture::clear_sent()
{
    if (tcp_sim)
        tcp_sim->model().clear_received();
    else
        sim.clear_received();
}

void WindowFixture::set_faults(const SimFaults &faults)
{
    if (tcp_sim)
        tcp_sim->set_faults(faults);
    else
        sim.set_faults(faults);
}

QByteArray WindowFixture::value(const QByteArray &prefix)
{
    if (tcp_sim)
        return tcp_sim->model().value(prefix);
    QByteArray stored;
    sim.with_model([&](ReceiverModel &m) { stored = m.value(prefix); });
    return stored;
}

void WindowFixture::set_value(const QByteArray &prefix, const QByteArray &value)
{
    if (tcp_sim)
        tcp_sim->model().set_value(prefix, value);
    else
        sim.with_model([&](ReceiverModel &m) { m.set_value(prefix, value); });
}

void WindowFixture::hang_up()
{
    if (tcp_sim)
        tcp_sim->hang_up();
    else
        sim.hang_up();
}

bool WindowFixture::serve_again()
{
    return tcp_sim ? tcp_sim->port() != 0 : sim.restart();
}

bool WindowFixture::line_up()
{
    return tcp_sim ? tcp_sim->connected() : sim.serving();
}
