// The window on a receiver behind a serial-to-Ethernet gateway: COM1 set to tcp://127.0.0.1:PORT,
// the gateway played by the simulated receiver on a loopback listener in this process.
#include "sim/tcp_sim.h"
#include "tests/support/deaf_listener.h"
#include "tests/support/window_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QTcpServer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QColor face(QWidget *button)
{
    return button->grab().toImage().pixelColor(6, button->height() / 2);
}

const QColor grey(192, 192, 192);
const QColor green(0, 192, 0);
const QColor red(255, 0, 0);

// The window with COM1 pointed at address; the port saved in its settings is port_no.
std::unique_ptr<WindowFixture> window_on(const QString &address, int port_no)
{
    WindowFixture::Options options;
    options.port_no = port_no;
    options.start_sim = false;
    auto f = std::make_unique<WindowFixture>(options);
    // The fixture points COM1 at its pseudo-terminal and puts the old value back when it ends.
    qputenv("KZ_ORBA_COM1", address.toLocal8Bit());
    return f;
}

} // namespace

class TestWindowTcp : public QObject
{
    Q_OBJECT

private:
    TcpSimulator *sim = nullptr;
    QString address;

    QLabel *fail_label(WindowFixture &f) { return f.ui->lab_ctrl_reply; }

private Q_SLOTS:
    void init()
    {
        sim = new TcpSimulator;
        QVERIFY(sim->listen(QHostAddress::LocalHost, 0));
        address = u"tcp://127.0.0.1:%1"_s.arg(sim->port());
    }
    void cleanup()
    {
        delete sim;
        sim = nullptr;
    }

    void choose_com1_change_a_setting_and_read()
    {
        auto f = window_on(address, 0);
        START_WINDOW(*f);
        QVERIFY(!f->window->link().port_open());

        // The port list tells where COM1 leads, without trying it.
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), f->ui->cbo_com->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(f->ui->cbo_com, &hover);
        QCOMPARE(f->ui->cbo_com->itemData(0, Qt::ToolTipRole).toString(),
            u"COM1: opens %1 (network, set by KZ_ORBA_COM1)"_s.arg(address));
        QVERIFY(!sim->connected());

        f->ui->cbo_com->setCurrentIndex(0);
        QVERIFY(f->window->link().port_open());
        QVERIFY(sim->connected());
        QCOMPARE(face(f->ui->cmd_conn_0), green);
        QCOMPARE(face(f->ui->cmd_conn_1), grey);

        f->ui->cbo_aspect->setCurrentIndex(3);
        QTRY_COMPARE(sim->model().value("WP_Aspect["), QByteArray("4:3"));
        QCOMPARE(sim->model().received(), QList<QByteArray> { "WP_Aspect[4:3]$\r" });

        // What the receiver reports comes back into the lists.
        sim->model().set_value("WP_Aspect[", "16:10");
        sim->model().set_value("WP_Info[", "RX 2.31");
        f->ui->cmd_ctrl_read->click();
        QCOMPARE(f->ui->cbo_aspect->currentText(), u"16:10 TV"_s);
        QCOMPARE(f->ui->lab_fw_ver_rx->text(), u"RX 2.31"_s);
        QVERIFY(sim->model().received().contains("WP_Info[?]$\r"));
        QVERIFY(!fail_label(*f)->isVisible());
        QVERIFY(f->prompts.shown.isEmpty());
    }

    void a_refused_gateway_is_a_port_error()
    {
        // Nothing listens any more at the simulator's address.
        delete sim;
        sim = nullptr;
        auto f = window_on(address, 1);
        START_WINDOW(*f);
        // Told once the window is drawn.
        QTRY_COMPARE(f->prompts.texts().size(), 1);
        const QStringList lines = f->prompts.texts().first().split(u'\n');
        QCOMPARE(lines.first(), u"RS-232 port error on COM 1: !"_s);
        QVERIFY2(lines.size() == 2 && lines.last().startsWith(address + u": "_s)
                && lines.last().contains(u"refused"_s, Qt::CaseInsensitive),
            qPrintable(lines.join(u'|')));
        QVERIFY(!f->window->link().port_open());
        QCOMPARE(face(f->ui->cmd_conn_0), grey);
        QCOMPARE(face(f->ui->cmd_conn_1), red);

        // A setting then meets a closed line.
        f->prompts.clear();
        f->ui->cbo_aspect->setCurrentIndex(3);
        QTRY_COMPARE(f->prompts.texts(), QStringList { u"RS232 is disconnected !"_s });
    }

    void closing_while_connecting_ends_the_wait_quietly()
    {
        DeafListener deaf;
        if (!deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");
        auto f = window_on(deaf.address(), 0);
        START_WINDOW(*f);
        const QString settings = f->path(u"KZ_ORBA_CTRL.ini"_s);
        QVERIFY(QFile::remove(settings));
        QTimer::singleShot(200, f->window.get(), [&] { f->window->close(); });
        QElapsedTimer clock;
        clock.start();
        f->ui->cbo_com->setCurrentIndex(0);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!f->window->isVisible());
        QVERIFY(!f->window->link().port_open());
        // No port message for a connection the operator walked away from; the exit steps ran.
        QCOMPARE(f->prompts.texts(), QStringList());
        QCOMPARE(f->prompts.texts(ScriptedPrompts::Kind::Question),
            QStringList { u"Projector settings are changed !\r\nSave settings before exit ?"_s });
        QVERIFY(QFile::exists(settings));
    }

    void a_silent_gateway_is_a_silent_receiver()
    {
        SimFaults faults;
        faults.silent = { QByteArray() };
        sim->set_faults(faults);
        auto f = window_on(address, 1);
        START_WINDOW(*f);
        QVERIFY(f->window->link().port_open());
        f->ui->cbo_aspect->setCurrentIndex(3);
        QTRY_VERIFY(fail_label(*f)->isVisible());
        QCOMPARE(fail_label(*f)->text(), u"Send fail !"_s);
        QVERIFY(f->window->link().port_open());
        QCOMPARE(face(f->ui->cmd_conn_0), green);
        QVERIFY(f->prompts.shown.isEmpty());
    }

    void a_gateway_that_hangs_up_shows_disconnect_and_connect_recovers()
    {
        auto f = window_on(address, 1);
        START_WINDOW(*f);
        QVERIFY(f->window->link().port_open());
        QTRY_VERIFY(sim->connected());
        sim->hang_up();
        QTRY_VERIFY_WITH_TIMEOUT(!f->window->link().port_open(), 2000);
        QCOMPARE(face(f->ui->cmd_conn_0), grey);
        QCOMPARE(face(f->ui->cmd_conn_1), red);

        QTest::mouseClick(f->ui->cmd_conn_0, Qt::LeftButton);
        QVERIFY(f->window->link().port_open());
        QCOMPARE(face(f->ui->cmd_conn_0), green);
        f->ui->cbo_aspect->setCurrentIndex(1);
        QTRY_COMPARE(sim->model().value("WP_Aspect["), QByteArray("16:9"));
        QVERIFY(f->prompts.shown.isEmpty());
    }

    void a_connection_dropped_during_a_setting_ends_it()
    {
        SimFaults faults;
        faults.hang_up = true;
        faults.hang_up_only = "WP_Aspect[";
        sim->set_faults(faults);
        auto f = window_on(address, 1);
        START_WINDOW(*f);
        QVERIFY(f->window->link().port_open());
        f->ui->cbo_aspect->setCurrentIndex(3);
        QTRY_VERIFY_WITH_TIMEOUT(!f->window->link().port_open(), 2000);
        QCOMPARE(fail_label(*f)->text(), u"Send fail !"_s);
        QCOMPARE(face(f->ui->cmd_conn_1), red);
        QVERIFY(f->ui->cbo_aspect->isEnabled());
        QVERIFY(!f->window->link().link_busy());
    }
};

QTEST_MAIN(TestWindowTcp)
#include "test_window_tcp.moc"
