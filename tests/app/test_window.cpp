// The window's start-up, exit, sections, port row and reply application, end to end against the
// simulated receiver. What the line does to the window runs on a pty and behind a
// serial-to-Ethernet gateway (COM1 set to tcp://127.0.0.1:PORT, the gateway played by the
// simulated receiver on a loopback listener in this process).
#include "model/settings.h"
#include "sim/tcp_sim.h"
#include "tests/support/deaf_listener.h"
#include "tests/support/window_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(WindowFixture::Line)

using namespace Qt::StringLiterals;

namespace {

QColor face(QWidget *button)
{
    return button->grab().toImage().pixelColor(6, button->height() / 2);
}

const QColor grey(192, 192, 192);
const QColor green(0, 192, 0);
const QColor red(255, 0, 0);

// The window with COM1 pointed at address and no simulated receiver of the fixture's; the port
// saved in its settings is port_no.
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

// A case run on each line: the receiver on a pty, and behind a gateway.
void on_each_line()
{
    QTest::addColumn<WindowFixture::Line>("line");
    QTest::newRow("pty") << WindowFixture::Line::Pty;
    QTest::newRow("tcp") << WindowFixture::Line::Tcp;
}

QStringList entries(const QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startup_without_port_connects_nothing()
    {
        WindowFixture::Options o;
        o.port_no = 0;
        WindowFixture f(o);
        QString error;
        QVERIFY2(f.start(&error), qPrintable(error));
        QCOMPARE(f.ui->cbo_com->currentIndex(), -1);
        QCOMPARE(f.ui->cbo_com->count(), 9);
        QCOMPARE(f.ui->cbo_com->itemText(0), QStringLiteral("COM1:"));
        QCOMPARE(f.ui->cbo_com->itemText(8), QStringLiteral("COM9:"));
        QVERIFY(!f.window->link().port_open());
        QVERIFY(f.prompts.shown.isEmpty());
        QCOMPARE(face(f.ui->cmd_conn_0), grey);
        QCOMPARE(face(f.ui->cmd_conn_1), grey);
        QVERIFY(f.window->state().ui_ready);
    }

    void startup_with_port_connects_and_sends_nothing()
    {
        WindowFixture f;
        QString error;
        QVERIFY2(f.start(&error), qPrintable(error));
        QCOMPARE(f.ui->cbo_com->currentIndex(), 0);
        QVERIFY(f.window->link().port_open());
        QCOMPARE(face(f.ui->cmd_conn_0), green);
        QCOMPARE(face(f.ui->cmd_conn_1), grey);
        QTest::qWait(300);
        QVERIFY(f.sent().isEmpty());
        QVERIFY(f.prompts.texts().isEmpty());
        // Every setting list starts without a selection.
        for (QComboBox *list : { f.ui->cbo_aspect, f.ui->cbo_input, f.ui->cbo_standby,
                 f.ui->cbo_output, f.ui->cbo_pic_bri, f.ui->cbo_projsw, f.ui->cbo_auto_on })
            QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(entries(f.ui->cbo_input),
            (QStringList { QStringLiteral("Hdmi"), QStringLiteral("Vga") }));
        QVERIFY(f.ui->lab_fw_ver_rx->text().isEmpty());
    }

    void startup_with_unavailable_port_reports_and_opens()
    {
        WindowFixture::Options o;
        o.port_no = 3;
        WindowFixture f(o);
        qputenv("KZ_ORBA_COM3", f.path(QStringLiteral("no-such-port")).toLocal8Bit());
        QVERIFY(f.start());
        qunsetenv("KZ_ORBA_COM3");
        // The window is drawn first, and the message comes over it.
        QVERIFY(f.prompts.texts().isEmpty());
        QTRY_COMPARE(f.prompts.texts().size(), 1);
        QVERIFY(f.window->isVisible());
        const QStringList lines = f.prompts.texts().first().split(u'\n');
        QCOMPARE(lines.first(), QStringLiteral("RS-232 port error on COM 3: !"));
        QVERIFY2(
            lines.size() == 2 && lines.last().startsWith(f.path(QStringLiteral("no-such-port: "))),
            qPrintable(lines.join(u'|')));
        QCOMPARE(f.ui->cbo_com->currentIndex(), 2);
        QVERIFY(!f.window->link().port_open());
        QCOMPARE(face(f.ui->cmd_conn_0), grey);
        QCOMPARE(face(f.ui->cmd_conn_1), red);
    }

    void sections_data()
    {
        QTest::addColumn<int>("section");
        QTest::addColumn<QList<bool>>(
            "shown"); // fra_proj, fra_proj_ctrl, fra_wp_ctrl, fra_picture, pic_panel
        QTest::newRow("projector") << 0 << QList<bool> { true, true, false, false, false };
        QTest::newRow("receiver") << 1 << QList<bool> { false, false, true, true, false };
        QTest::newRow("control panel") << 2 << QList<bool> { false, false, false, false, true };
        QTest::newRow("unknown") << 7 << QList<bool> { false, false, false, false, false };
    }
    void sections()
    {
        QFETCH(int, section);
        QFETCH(QList<bool>, shown);
        WindowFixture::Options o;
        o.open_section = section;
        WindowFixture f(o);
        QVERIFY(f.start());
        const QList<bool> visible = { f.ui->fra_proj->isVisible(), f.ui->fra_proj_ctrl->isVisible(),
            f.ui->fra_wp_ctrl->isVisible(), f.ui->fra_picture->isVisible(),
            f.ui->pic_panel->isVisible() };
        QCOMPARE(visible, shown);
    }

    void clicking_titles_switches_sections_and_balls()
    {
        WindowFixture f;
        QVERIFY(f.start());
        const QImage red_ball(f.path(QStringLiteral("ball_red.gif")));
        auto ball_is_red = [&](QLabel *ball) {
            return ball->pixmap().toImage().convertToFormat(QImage::Format_ARGB32)
                == red_ball.convertToFormat(QImage::Format_ARGB32);
        };
        QVERIFY(ball_is_red(f.ui->img_ball_orba));
        QVERIFY(!ball_is_red(f.ui->img_ball_proj));

        QTest::mouseClick(f.ui->lab_title_panel, Qt::LeftButton);
        QCOMPARE(f.window->state().open_section, Section::Panel);
        QVERIFY(f.ui->pic_panel->isVisible());
        QVERIFY(!f.ui->fra_wp_ctrl->isVisible());
        QVERIFY(!f.ui->fra_picture->isVisible());
        QVERIFY(ball_is_red(f.ui->img_ball_panel));
        QVERIFY(!ball_is_red(f.ui->img_ball_orba));

        QTest::mouseClick(f.ui->img_ball_proj, Qt::LeftButton);
        QCOMPARE(f.window->state().open_section, Section::Projector);
        QVERIFY(f.ui->fra_proj->isVisible());
        QVERIFY(ball_is_red(f.ui->img_ball_proj));
    }

    void clicking_the_shown_section_reloads_nothing()
    {
        WindowFixture f;
        QVERIFY(f.start());
        const qint64 before = f.ui->img_ball_orba->pixmap().cacheKey();
        QFile::remove(f.path(QStringLiteral("ball_red.gif")));
        QTest::mouseClick(f.ui->lab_title_orba, Qt::LeftButton);
        QTest::mouseClick(f.ui->img_ball_orba, Qt::LeftButton);
        QCOMPARE(f.ui->img_ball_orba->pixmap().cacheKey(), before);
        QCOMPARE(f.window->state().open_section, Section::Receiver);
    }

    void hex_view_is_restored_without_converting()
    {
        WindowFixture::Options o;
        o.cmd_fmt = 1;
        o.open_section = 0;
        WindowFixture f(o);
        QVERIFY(f.start());
        QVERIFY(f.ui->opt_cmd_fmt_1->isChecked());
        QVERIFY(f.ui->txt_proj_disp_on_hex->isVisible());
        QVERIFY(!f.ui->txt_proj_disp_on_text->isVisible());
        QCOMPARE(f.window->state().cmd_fmt, CommandView::Hex);
    }

    void broken_files_stop_startup_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes"); // empty: the file is removed
        QTest::addColumn<QString>("report");
        QTest::newRow("settings missing")
            << "KZ_ORBA_CTRL.ini" << QByteArray() << "KZ_ORBA_CTRL.ini";
        QTest::newRow("settings short")
            << "KZ_ORBA_CTRL.ini" << QByteArray("1\r\n0\r\n") << "KZ_ORBA_CTRL.ini";
        QTest::newRow("settings not a number")
            << "KZ_ORBA_CTRL.ini" << QByteArray("1\r\nx\r\n0\r\n\"\"\r\n1\r\n") << "\"x\"";
        QTest::newRow("port out of range")
            << "KZ_ORBA_CTRL.ini" << QByteArray("10\r\n0\r\n0\r\n\"\"\r\n1\r\n")
            << "port number 10";
        QTest::newRow("list without END")
            << "auto_off.txt" << QByteArray("Off\r\n60\r\n") << "auto_off.txt";
        QTest::newRow("list missing") << "output_reso.txt" << QByteArray() << "output_reso.txt";
        QTest::newRow("list entry holding a line end")
            << "output_reso.txt" << QByteArray("Auto\r\n\"1280x1024\r\nhue\"\r\nEND\r\n")
            << "output_reso.txt: line 2: entry 2 holds a control character";
        QTest::newRow("red ball missing") << "ball_red.gif" << QByteArray() << "ball_red.gif";
        QTest::newRow("auto-clear 5")
            << "KZ_ORBA_CTRL.ini" << QByteArray("1\r\n5\r\n0\r\n\"\"\r\n1\r\n") << "auto-clear 5";
        QTest::newRow("auto-clear -1")
            << "KZ_ORBA_CTRL.ini" << QByteArray("1\r\n-1\r\n0\r\n\"\"\r\n1\r\n") << "auto-clear -1";
        // With no section to show, the pictures are checked all the same.
        const QByteArray section_7 = "1\r\n0\r\n0\r\n\"\"\r\n7\r\n";
        QTest::newRow("section 7, red ball missing")
            << "ball_red.gif" << section_7 << "ball_red.gif";
        QTest::newRow("section 7, gray ball missing")
            << "ball_gray.bmp" << section_7 << "ball_gray.bmp";
        QTest::newRow("section -1, red ball missing")
            << "ball_red.gif" << QByteArray("1\r\n0\r\n0\r\n\"\"\r\n-1\r\n") << "ball_red.gif";
    }
    void broken_files_stop_startup()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, report);
        WindowFixture f;
        if (bytes.isEmpty()) {
            QFile::remove(f.path(file));
        } else if (file.startsWith(u"ball_")) {
            // The settings name the section; the picture goes missing.
            f.write_file(QStringLiteral("KZ_ORBA_CTRL.ini"), bytes);
            QFile::remove(f.path(file));
        } else {
            f.write_file(file, bytes);
        }
        QString error;
        QVERIFY(!f.start(&error));
        QVERIFY2(error.contains(report), qPrintable(error));
    }

    void byte_order_marks_are_skipped()
    {
        WindowFixture f;
        f.write_file(QStringLiteral("KZ_ORBA_CTRL.ini"),
            "\xEF\xBB\xBF"
            "0\r\n1\r\n0\r\n\"\"\r\n2\r\n");
        f.write_file(QStringLiteral("auto_off.txt"),
            "\xEF\xBB\xBF"
            "Off\r\n60\r\nEND\r\n");
        START_WINDOW(f);
        QCOMPARE(f.window->state().open_section, Section::Panel);
        QVERIFY(f.ui->chk_auto->isChecked());
        QCOMPARE(entries(f.ui->cbo_standby),
            (QStringList { QStringLiteral("Off"), QStringLiteral("60") }));
    }

    void port_list_tooltips_name_the_devices()
    {
        WindowFixture::Options o;
        o.port_no = 0;
        WindowFixture f(o);
        const QString gone = f.path(QStringLiteral("gone"));
        qputenv("KZ_ORBA_COM4", gone.toLocal8Bit());
        START_WINDOW(f);
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), f.ui->cbo_com->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(f.ui->cbo_com, &hover);
        qunsetenv("KZ_ORBA_COM4");

        const QString com1 = f.path(QStringLiteral("com1"));
        QCOMPARE(f.ui->cbo_com->itemData(0, Qt::ToolTipRole).toString(),
            QStringLiteral("COM1: opens %1 (present, set by KZ_ORBA_COM1)").arg(com1));
        QCOMPARE(f.ui->cbo_com->itemData(3, Qt::ToolTipRole).toString(),
            QStringLiteral("COM4: opens %1 (missing, set by KZ_ORBA_COM4)").arg(gone));
        const QString table = f.ui->cbo_com->toolTip();
        QVERIFY2(table.contains(com1) && table.contains(gone), qPrintable(table));
        for (int n = 1; n <= 9; ++n)
            QVERIFY2(table.contains(QStringLiteral("<td>COM%1:</td>").arg(n)), qPrintable(table));
    }

    void option_lists_come_from_their_files()
    {
        WindowFixture f;
        f.write_file(QStringLiteral("auto_off.txt"), "A, B, END, C\r\n");
        f.write_file(QStringLiteral("input_prefer.txt"), "1,5\r\n\"1,5\"\r\nend\r\n\r\nEND\r\n");
        f.write_file(QStringLiteral("output_reso.txt"), "END\r\n");
        QVERIFY(f.start());
        QCOMPARE(
            entries(f.ui->cbo_standby), (QStringList { QStringLiteral("A"), QStringLiteral("B") }));
        QCOMPARE(entries(f.ui->cbo_in_prefer),
            (QStringList { QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("1,5"),
                QStringLiteral("end"), QString() }));
        QCOMPARE(f.ui->cbo_output->count(), 0);
    }

    void exit_answering_no_still_writes_the_settings()
    {
        WindowFixture f;
        QVERIFY(f.start());
        QTest::mouseClick(f.ui->lab_title_panel, Qt::LeftButton);
        f.ui->chk_auto->setChecked(true);
        f.prompts.answers = { Prompts::Answer::No };
        f.close();
        QCOMPARE(f.prompts.texts(ScriptedPrompts::Kind::Question),
            QStringList { QStringLiteral(
                "Projector settings are changed !\r\nSave settings before exit ?") });
        QCOMPARE(f.prompts.shown.last().icon, Prompts::Icon::Question);
        QCOMPARE(f.read_file(QStringLiteral("KZ_ORBA_CTRL.ini")),
            QByteArray("1\r\n1\r\n0\r\n\"\"\r\n2\r\n"));
        QVERIFY(!f.window->link().port_open());
    }

    void exit_answering_yes_then_cancelling_keeps_the_projector_file()
    {
        WindowFixture::Options o;
        o.proj_file = QStringLiteral("/nowhere/gone.ini");
        WindowFixture f(o);
        QVERIFY(f.start());
        f.prompts.answers = { Prompts::Answer::Yes };
        f.close();
        QCOMPARE(f.prompts.texts(ScriptedPrompts::Kind::File),
            QStringList { QStringLiteral("Save File") });
        QCOMPARE(f.read_file(QStringLiteral("KZ_ORBA_CTRL.ini")),
            QByteArray("1\r\n0\r\n0\r\n\"/nowhere/gone.ini\"\r\n1\r\n"));
    }

    void choosing_the_current_port_reconnects()
    {
        WindowFixture f;
        QVERIFY(f.start());
        QSignalSpy looks(&f.window->port_row(), &PortRow::look_changed);
        Q_EMIT f.ui->cbo_com->activated(0);
        QCOMPARE(looks.count(), 1);
        QVERIFY(f.window->link().port_open());
        // A change of entry runs the handler once, not again for the activation that follows.
        f.ui->cbo_com->setCurrentIndex(1);
        Q_EMIT f.ui->cbo_com->activated(1);
        QCOMPARE(looks.count(), 2);
        QCOMPARE(f.window->link().port_no(), 2);
    }

    void disconnect_and_connect_buttons()
    {
        WindowFixture f;
        QVERIFY(f.start());
        QTest::mouseClick(f.ui->cmd_conn_1, Qt::LeftButton);
        QVERIFY(!f.window->link().port_open());
        QCOMPARE(face(f.ui->cmd_conn_0), grey);
        QCOMPARE(face(f.ui->cmd_conn_1), red);
        QTest::mouseClick(f.ui->cmd_conn_0, Qt::LeftButton);
        QVERIFY(f.window->link().port_open());
        QCOMPARE(face(f.ui->cmd_conn_0), green);
        QCOMPARE(face(f.ui->cmd_conn_1), grey);
    }

    // On a pty the receiver hangs up; behind a gateway the connection drops. Connect recovers.
    void hang_up_shows_disconnected_and_connect_recovers_data() { on_each_line(); }
    void hang_up_shows_disconnected_and_connect_recovers()
    {
        QFETCH(WindowFixture::Line, line);
        WindowFixture::Options o;
        o.line = line;
        WindowFixture f(o);
        START_WINDOW(f);
        QVERIFY(f.window->link().port_open());
        QTRY_VERIFY(f.line_up());
        f.hang_up();
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->link().port_open(), 2000);
        QCOMPARE(face(f.ui->cmd_conn_1), red);
        QCOMPARE(face(f.ui->cmd_conn_0), grey);
        QVERIFY(f.serve_again());
        QTest::mouseClick(f.ui->cmd_conn_0, Qt::LeftButton);
        QVERIFY(f.window->link().port_open());
        QCOMPARE(face(f.ui->cmd_conn_0), green);
        f.ui->cbo_aspect->setCurrentIndex(1);
        QTRY_COMPARE(f.value("WP_Aspect["), QByteArray("16:9"));
        QVERIFY(f.prompts.shown.isEmpty());
    }

    void receive_log_controls()
    {
        WindowFixture f;
        QVERIFY(f.start());
        f.ui->txt_rx->setPlainText(QStringLiteral("old"));
        QVERIFY(f.sim.send_raw(QByteArray(40, 'x')));
        QTRY_COMPARE_WITH_TIMEOUT(f.window->port_row().rx_count(), 40u, 2000);
        QTest::mouseClick(f.ui->cmd_clear, Qt::LeftButton);
        QVERIFY(f.ui->txt_rx->toPlainText().isEmpty());
        QCOMPARE(f.window->port_row().rx_count(), 0u);
        f.ui->chk_auto->setChecked(true);
        QCOMPARE(f.window->port_row().auto_clear(), 1);
    }

    void apply_reply_data()
    {
        QTest::addColumn<QByteArray>("identify"); // first reply to the identification, or empty
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("selected"); // the list's current text afterwards ("" none)
        QTest::newRow("aspect 16:10")
            << QByteArray() << "aspect" << QByteArray("16:10") << "16:10 TV";
        QTest::newRow("aspect entry text")
            << QByteArray() << "aspect" << QByteArray("16:10 TV") << "";
        QTest::newRow("output 7") << QByteArray() << "output_resolution" << QByteArray("7")
                                  << "eighth";
        QTest::newRow("output out of range")
            << QByteArray() << "output_resolution" << QByteArray("99") << "";
        QTest::newRow("overscan h 07") << QByteArray() << "overscan_h" << QByteArray("07") << "7";
        QTest::newRow("auto off 0") << QByteArray() << "auto_off" << QByteArray("0") << "first";
        QTest::newRow("mode AVSW")
            << QByteArray() << "display_mode" << QByteArray("AVSW") << "AV SW";
        QTest::newRow("hdcp") << QByteArray() << "hdcp" << QByteArray("NotHDCP") << "Noncompliant";
        QTest::newRow("TX input") << QByteArray("TX") << "input_source" << QByteArray("Hdmi2")
                                  << "Hdmi2";
        QTest::newRow("RX input") << QByteArray("RX") << "input_source" << QByteArray("Hdmi1")
                                  << "";
        QTest::newRow("RX input vga")
            << QByteArray("RX") << "input_source" << QByteArray("Vga") << "Vga";
        QTest::newRow("projsw 32") << QByteArray() << "projsw_mode" << QByteArray("32") << "30";
        QTest::newRow("projsw 300") << QByteArray() << "projsw_mode" << QByteArray("300") << "300";
        QTest::newRow("projsw 305") << QByteArray() << "projsw_mode" << QByteArray("305") << "";
        QTest::newRow("projsw -3") << QByteArray() << "projsw_mode" << QByteArray("-3") << "";
        QTest::newRow("baud") << QByteArray() << "tx_baudrate" << QByteArray("115200") << "115200";
    }
    void apply_reply()
    {
        QFETCH(QByteArray, identify);
        QFETCH(QString, setting);
        QFETCH(QByteArray, value);
        QFETCH(QString, selected);
        WindowFixture f;
        f.write_file(QStringLiteral("auto_off.txt"), "first\r\n60\r\nEND\r\n");
        f.write_file(QStringLiteral("output_reso.txt"),
            "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\neighth\r\nEND\r\n");
        QVERIFY(f.start());
        WindowState &state = f.window->state();
        state.reading = true;
        // What each read-back does with a reply: the receiver frame's, and the projector
        // controls' for their three settings.
        const auto apply = [&f](const char *name, const QByteArray &reply) {
            const model::Setting &s = *model::find_setting(QLatin1String(name));
            if (s.group == model::ReadGroup::Behaviour)
                f.window->projector_behaviour().apply_reply(s, reply);
            else
                f.window->receiver_controls().apply_reply(s, reply);
        };
        if (!identify.isEmpty())
            apply("transmitter", identify);
        apply(qPrintable(setting), value);
        const QHash<QString, QComboBox *> lists = { { u"aspect"_s, f.ui->cbo_aspect },
            { u"output_resolution"_s, f.ui->cbo_output }, { u"overscan_h"_s, f.ui->cbo_overscan_h },
            { u"auto_off"_s, f.ui->cbo_standby }, { u"display_mode"_s, f.ui->cbo_disp_mode },
            { u"input_source"_s, f.ui->cbo_input }, { u"hdcp"_s, f.ui->cbo_hdcp_in },
            { u"tx_baudrate"_s, f.ui->cbo_baudrate }, { u"projsw_mode"_s, f.ui->cbo_projsw } };
        QCOMPARE(lists.value(setting)->currentText(), selected);
        state.reading = false;
        QTest::qWait(150);
        QVERIFY(f.sent().isEmpty());
        QVERIFY(f.window->state().ui_ready);
    }

    void identify_rebuilds_the_input_list()
    {
        WindowFixture f;
        QVERIFY(f.start());
        WindowState &state = f.window->state();
        ReceiverControls &receiver = f.window->receiver_controls();
        const auto setting = [](const char *name) -> const model::Setting & {
            return *model::find_setting(QLatin1String(name));
        };
        receiver.apply_reply(setting("transmitter"), "TX");
        QVERIFY(!state.single_hdmi);
        QCOMPARE(entries(f.ui->cbo_input),
            (QStringList {
                QStringLiteral("Hdmi1"), QStringLiteral("Hdmi2"), QStringLiteral("Vga") }));
        QCOMPARE(f.ui->cbo_input->currentIndex(), -1);
        receiver.apply_reply(setting("transmitter"), "RX");
        QVERIFY(state.single_hdmi);
        QCOMPARE(entries(f.ui->cbo_input),
            (QStringList { QStringLiteral("Hdmi"), QStringLiteral("Vga") }));
        receiver.apply_reply(setting("rx_firmware"), "v1.2.3");
        QCOMPARE(f.ui->lab_fw_ver_rx->text(), QStringLiteral("v1.2.3"));
        receiver.apply_reply(setting("tx_firmware"), "");
        QCOMPARE(f.ui->lab_fw_ver_tx->text(), QString());
        QTest::qWait(150);
        QVERIFY(f.sent().isEmpty());
    }

    // Choosing COM1 opens the line it leads to; a setting reaches the receiver and a Read brings
    // its values back, on a pty and behind a gateway alike.
    void choose_com1_change_a_setting_and_read_data()
    {
        QTest::addColumn<WindowFixture::Line>("line");
        QTest::addColumn<QString>("kind"); // how the port list tells the device
        QTest::newRow("pty") << WindowFixture::Line::Pty << u"present"_s;
        QTest::newRow("tcp") << WindowFixture::Line::Tcp << u"network"_s;
    }
    void choose_com1_change_a_setting_and_read()
    {
        QFETCH(WindowFixture::Line, line);
        QFETCH(QString, kind);
        WindowFixture::Options o;
        o.port_no = 0;
        o.line = line;
        WindowFixture f(o);
        START_WINDOW(f);
        QVERIFY(!f.window->link().port_open());

        // The port list tells where COM1 leads, without trying it.
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), f.ui->cbo_com->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(f.ui->cbo_com, &hover);
        QCOMPARE(f.ui->cbo_com->itemData(0, Qt::ToolTipRole).toString(),
            u"COM1: opens %1 (%2, set by KZ_ORBA_COM1)"_s.arg(f.address(), kind));
        if (f.tcp_sim)
            QVERIFY(!f.tcp_sim->connected());

        f.ui->cbo_com->setCurrentIndex(0);
        QVERIFY(f.window->link().port_open());
        if (f.tcp_sim)
            QVERIFY(f.tcp_sim->connected());
        QCOMPARE(face(f.ui->cmd_conn_0), green);
        QCOMPARE(face(f.ui->cmd_conn_1), grey);

        f.ui->cbo_aspect->setCurrentIndex(3);
        QTRY_COMPARE(f.value("WP_Aspect["), QByteArray("4:3"));
        QCOMPARE(f.sent(), QList<QByteArray> { "WP_Aspect[4:3]$\r" });

        // What the receiver reports comes back into the lists.
        f.set_value("WP_Aspect[", "16:10");
        f.set_value("WP_Info[", "RX 2.31");
        f.ui->cmd_ctrl_read->click();
        QCOMPARE(f.ui->cbo_aspect->currentText(), u"16:10 TV"_s);
        QCOMPARE(f.ui->lab_fw_ver_rx->text(), u"RX 2.31"_s);
        QVERIFY(f.sent().contains("WP_Info[?]$\r"));
        QVERIFY(!f.ui->lab_ctrl_reply->isVisible());
        QVERIFY(f.prompts.shown.isEmpty());
    }

    // A receiver that answers nothing fails the send and leaves the line open.
    void a_silent_line_is_a_silent_receiver_data() { on_each_line(); }
    void a_silent_line_is_a_silent_receiver()
    {
        QFETCH(WindowFixture::Line, line);
        WindowFixture::Options o;
        o.line = line;
        WindowFixture f(o);
        SimFaults faults;
        faults.silent = { QByteArray() };
        f.set_faults(faults);
        START_WINDOW(f);
        QVERIFY(f.window->link().port_open());
        f.ui->cbo_aspect->setCurrentIndex(3);
        QTRY_VERIFY(f.ui->lab_ctrl_reply->isVisible());
        QCOMPARE(f.ui->lab_ctrl_reply->text(), u"Send fail !"_s);
        QVERIFY(f.window->link().port_open());
        QCOMPARE(face(f.ui->cmd_conn_0), green);
        QVERIFY(f.prompts.shown.isEmpty());
    }

    // The line lost in the middle of a setting ends that setting's wait.
    void a_connection_dropped_during_a_setting_ends_it_data() { on_each_line(); }
    void a_connection_dropped_during_a_setting_ends_it()
    {
        QFETCH(WindowFixture::Line, line);
        WindowFixture::Options o;
        o.line = line;
        WindowFixture f(o);
        SimFaults faults;
        faults.hang_up = true;
        faults.hang_up_only = "WP_Aspect[";
        f.set_faults(faults);
        START_WINDOW(f);
        QVERIFY(f.window->link().port_open());
        f.ui->cbo_aspect->setCurrentIndex(3);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->link().port_open(), 2000);
        QCOMPARE(f.ui->lab_ctrl_reply->text(), u"Send fail !"_s);
        QCOMPARE(face(f.ui->cmd_conn_1), red);
        QVERIFY(f.ui->cbo_aspect->isEnabled());
        QVERIFY(!f.window->link().link_busy());
    }

    // Only behind a gateway: nothing listens at its address.
    void a_refused_gateway_is_a_port_error()
    {
        // Nothing listens any more at the simulator's address.
        auto sim = std::make_unique<TcpSimulator>();
        QVERIFY(sim->listen(QHostAddress::LocalHost, 0));
        const QString address = u"tcp://127.0.0.1:%1"_s.arg(sim->port());
        sim.reset();
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

    // Only behind a gateway: a connection that never completes.
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
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
