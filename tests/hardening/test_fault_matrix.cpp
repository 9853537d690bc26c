// The window against a receiver whose line misbehaves: every operation that waits for replies,
// under every fault the line can show, through the real window and the simulated receiver.
// Each row checks what the operator sees (the failure label, or none), what the window shows
// afterwards, that the window kept running its events during the operation, that no command
// went out twice, and after a hang-up that the port shows as disconnected and Connect works again.
#include "link/window_link.h"
#include "tests/support/window_fixture.h"

#include <QTest>
#include <QTimer>

namespace {

// The operations under test.
enum Op { aspect_choice, receiver_read, picture_read, projector_read, projector_send };
// The faults of the line, each applied to the operation's target reply only.
enum Fault { none, no_reply, slow, noise, split, other_prefix, overlong, hang_up };

const QByteArray query_end = QByteArrayLiteral("?]$\r");

QList<QByteArray> queries(std::initializer_list<const char *> prefixes)
{
    QList<QByteArray> out;
    for (const char *prefix : prefixes)
        out << QByteArray(prefix) + query_end;
    return out;
}

// Everything an operation sends when every reply comes, in order.
QList<QByteArray> full_sequence(Op op)
{
    switch (op) {
    case aspect_choice:
        return { QByteArrayLiteral("WP_Aspect[16:9]$\r") };
    case receiver_read:
        return queries({ "WP_IdentifyTx[", "WP_Aspect[", "WP_Info[", "WP_Output[", "WP_OverscanEn[",
            "WP_OverscanH[", "WP_OverscanV[", "WP_AudioEn[", "WP_AudioHdmi[", "WP_AudioLR[",
            "WP_AutoOff[", "WP_DisplayMode[", "WP_Display[", "WP_Input[", "WP_HdcpInput[",
            "WP_InputPrefer[", "WP_InfoTx[", "WP_BaudrateTx[" });
    case picture_read:
        return queries({ "WP_PictureBri[", "WP_PictureCon[", "WP_PictureSat[", "WP_PictureHue[",
            "WP_PictureSha[" });
    case projector_read:
        return queries({ "WP_DisplaySet[", "WP_DisplayOn[", "WP_DisplayOff[" });
    case projector_send:
        return { QByteArrayLiteral("WP_DisplaySet[115200,8,N,1.5]$\r"),
            QByteArrayLiteral("WP_DisplayOn[7,PWR ON\r]$\r"),
            QByteArrayLiteral("WP_DisplayOff[8,PWR OFF\r]$\r") };
    }
    return {};
}

// The reply each operation's fault is played on, and the prefix a reply to another command
// would carry there.
struct Target
{
    const char *prefix;
    const char *other;
};

Target target_of(Op op)
{
    switch (op) {
    case aspect_choice:
        return { "WP_Aspect[", "WP_Output[" };
    case receiver_read:
        return { "WP_Aspect[", "WP_Output[" };
    case picture_read:
        return { "WP_PictureCon[", "WP_PictureBri[" };
    case projector_read:
        return { "WP_DisplayOn[", "WP_DisplayOff[" };
    case projector_send:
        return { "WP_DisplaySet[", "WP_DisplayOn[" };
    }
    return {};
}

// Longer than the reply wait (151 steps of 1 ms, about 0.3 s) and the pauses around it together.
constexpr int slow_reply_ms = 1500;
// More than one 100 ms receive poll between the two halves, well inside the wait.
constexpr int split_gap_ms = 120;
// Past the 75-byte buffer.
constexpr int overlong_bytes = 120;

SimFaults faults_for(Fault fault, const Target &target)
{
    SimFaults f;
    const QByteArray prefix(target.prefix);
    switch (fault) {
    case none:
        break;
    case no_reply:
        f.silent = { prefix };
        break;
    case slow:
        f.delay_ms = slow_reply_ms;
        f.delay_only = prefix;
        break;
    case noise:
        f.noise = QByteArrayLiteral("\x00\xff~ line noise ");
        f.noise_only = prefix;
        break;
    case split:
        f.split_gap_ms = split_gap_ms;
        f.split_only = prefix;
        break;
    case other_prefix:
        f.wrong_prefix = QByteArray(target.other);
        f.wrong_prefix_only = prefix;
        break;
    case overlong:
        f.overlong_size = overlong_bytes;
        f.overlong_only = prefix;
        break;
    case hang_up:
        f.hang_up = true;
        f.hang_up_only = prefix;
        break;
    }
    return f;
}

const char *fault_name(Fault fault)
{
    static const char *const names[] = { "no fault", "no reply", "reply slower than the wait",
        "noise before the reply", "reply split across polls", "reply with another prefix",
        "over-long reply", "hang-up in the middle" };
    return names[fault];
}

const char *op_name(Op op)
{
    static const char *const names[]
        = { "cbo_aspect", "cmd_ctrl_read", "cmd_pic_read", "cmd_proj_read", "cmd_proj_send" };
    return names[op];
}

// What the window (or, for Send, the receiver) holds afterwards, as the rows state it.
const QString aspect_chosen = QStringLiteral("1");
const QString aspect_read = QStringLiteral("3");
const QString aspect_before = QStringLiteral("0");
const QString contrast_read = QStringLiteral("65");
const QString contrast_before = QStringLiteral("10");
const QString both_commands_read = QStringLiteral("50 57 52 20 4F 4E 0D |50 57 52 20 4F 46 46 0D ");
const QString off_command_read = QStringLiteral("|50 57 52 20 4F 46 46 0D ");
const QString no_command_read = QStringLiteral("|");
const QString commands_stored = QStringLiteral("PWR ON\r|PWR OFF\r");
const QString commands_kept = QStringLiteral("OLD ON|OLD OFF");

const QString send_fail = QStringLiteral("Send fail !");
const QString read_fail = QStringLiteral("Read fail !");
const QString disconnected_message = QStringLiteral("RS232 is disconnected !");

QColor face(QWidget *button)
{
    return button->grab().toImage().pixelColor(6, button->height() / 2);
}

const QColor grey(192, 192, 192);
const QColor green(0, 192, 0);
const QColor red(255, 0, 0);

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fx;

    QWidget *busy_control(Op op) const
    {
        switch (op) {
        case aspect_choice:
            return fx->ui->cbo_aspect;
        case receiver_read:
            return fx->ui->cmd_ctrl_read;
        case picture_read:
            return fx->ui->cmd_pic_read;
        case projector_read:
            return fx->ui->cmd_proj_read;
        case projector_send:
            return fx->ui->cmd_proj_send;
        }
        return nullptr;
    }

    QLabel *fail_label(Op op) const
    {
        switch (op) {
        case aspect_choice:
        case receiver_read:
            return fx->ui->lab_ctrl_reply;
        case picture_read:
            return fx->ui->lab_pic_reply;
        case projector_read:
        case projector_send:
            return fx->ui->lab_proj_reply;
        }
        return nullptr;
    }

    // Puts the window and the receiver into the state the operation starts from.
    void prepare(Op op)
    {
        WindowState &state = fx->window->state();
        fx->sim.with_model([](ReceiverModel &m) {
            m.set_value("WP_Aspect[", "4:3");
            m.set_value("WP_PictureCon[", "65");
        });
        // Selections made under the read-back guard send nothing.
        state.reading = true;
        fx->ui->cbo_aspect->setCurrentIndex(0);
        fx->ui->cbo_pic_con->setCurrentIndex(10);
        state.reading = false;
        if (op == projector_send) {
            fx->ui->txt_proj_disp_on_hex->setText(QStringLiteral("50 57 52 20 4F 4E 0D"));
            fx->ui->txt_proj_disp_off_hex->setText(QStringLiteral("50 57 52 20 4F 46 46 0D"));
            fx->sim.with_model([](ReceiverModel &m) {
                m.set_value("WP_DisplayOn[", "OLD ON");
                m.set_value("WP_DisplayOff[", "OLD OFF");
            });
        }
    }

    void run(Op op)
    {
        switch (op) {
        case aspect_choice:
            fx->ui->cbo_aspect->setCurrentIndex(1);
            break;
        case receiver_read:
            fx->ui->cmd_ctrl_read->click();
            break;
        case picture_read:
            fx->ui->cmd_pic_read->click();
            break;
        case projector_read:
            fx->ui->cmd_proj_read->click();
            break;
        case projector_send:
            fx->ui->cmd_proj_send->click();
            break;
        }
    }

    QString state_of(Op op) const
    {
        switch (op) {
        case aspect_choice:
        case receiver_read:
            return QString::number(fx->ui->cbo_aspect->currentIndex());
        case picture_read:
            return fx->ui->cbo_pic_con->currentText();
        case projector_read:
            return fx->ui->txt_proj_disp_on_hex->text() + u'|'
                + fx->ui->txt_proj_disp_off_hex->text();
        case projector_send: {
            QString stored;
            fx->sim.with_model([&](ReceiverModel &m) {
                stored = QString::fromLatin1(
                    m.value("WP_DisplayOn[") + '|' + m.value("WP_DisplayOff["));
            });
            return stored;
        }
        }
        return {};
    }

    static void row(Op op, Fault fault, const QString &fail, int sent, const QString &shows,
        const QStringList &prompts = {})
    {
        QTest::addRow("%s / %s", op_name(op), fault_name(fault))
            << int(op) << int(fault) << fail << sent << shows << prompts;
    }

private Q_SLOTS:
    void cleanup() { fx.reset(); }

    void operation_under_line_fault_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("fail"); // the failure label's text, empty when none shows
        QTest::addColumn<int>("sent"); // how many of the operation's messages go out
        QTest::addColumn<QString>("shows");
        QTest::addColumn<QStringList>("prompts");

        // A waiting setting: the reply's content is never examined, so only a missing reply
        // fails it.
        row(aspect_choice, none, {}, 1, aspect_chosen);
        row(aspect_choice, no_reply, send_fail, 1, aspect_chosen);
        row(aspect_choice, slow, send_fail, 1, aspect_chosen);
        row(aspect_choice, noise, {}, 1, aspect_chosen);
        row(aspect_choice, split, {}, 1, aspect_chosen);
        row(aspect_choice, other_prefix, {}, 1, aspect_chosen);
        row(aspect_choice, overlong, {}, 1, aspect_chosen);
        row(aspect_choice, hang_up, send_fail, 1, aspect_chosen);

        // The receiver read-back stops at the first reply that is missing or is not for its
        // query; an over-long value names no entry and the run goes on.
        row(receiver_read, none, {}, 18, aspect_read);
        row(receiver_read, no_reply, read_fail, 2, aspect_before);
        row(receiver_read, slow, read_fail, 2, aspect_before);
        row(receiver_read, noise, read_fail, 2, aspect_before);
        row(receiver_read, split, {}, 18, aspect_read);
        row(receiver_read, other_prefix, read_fail, 2, aspect_before);
        row(receiver_read, overlong, {}, 18, aspect_before);
        row(receiver_read, hang_up, read_fail, 2, aspect_before);

        // The picture read-back likewise; an over-long number has no entry to select.
        row(picture_read, none, {}, 5, contrast_read);
        row(picture_read, no_reply, read_fail, 2, contrast_before);
        row(picture_read, slow, read_fail, 2, contrast_before);
        row(picture_read, noise, read_fail, 2, contrast_before);
        row(picture_read, split, {}, 5, contrast_read);
        row(picture_read, other_prefix, read_fail, 2, contrast_before);
        row(picture_read, overlong, {}, 5, contrast_before);
        row(picture_read, hang_up, read_fail, 2, contrast_before);

        // The projector Read: a failed display-on read still lets the display-off read follow.
        // A slow display-on reply keeps the receiver busy through the display-off wait too.
        // After a hang-up the display-off query meets a closed port.
        row(projector_read, none, {}, 3, both_commands_read);
        row(projector_read, no_reply, read_fail, 3, off_command_read);
        row(projector_read, slow, read_fail, 3, no_command_read);
        row(projector_read, noise, read_fail, 3, off_command_read);
        row(projector_read, split, {}, 3, both_commands_read);
        row(projector_read, other_prefix, read_fail, 3, off_command_read);
        row(projector_read, overlong, {}, 3, both_commands_read);
        row(projector_read, hang_up, read_fail, 2, no_command_read, { disconnected_message });

        // The projector Send: without a reply to the port settings the display commands are not
        // sent; the content of a reply is never examined.
        row(projector_send, none, {}, 3, commands_stored);
        row(projector_send, no_reply, send_fail, 1, commands_kept);
        row(projector_send, slow, send_fail, 1, commands_kept);
        row(projector_send, noise, {}, 3, commands_stored);
        row(projector_send, split, {}, 3, commands_stored);
        row(projector_send, other_prefix, {}, 3, commands_stored);
        row(projector_send, overlong, {}, 3, commands_stored);
        row(projector_send, hang_up, send_fail, 1, commands_kept);
    }

    void operation_under_line_fault()
    {
        QFETCH(int, op);
        QFETCH(int, fault);
        QFETCH(QString, fail);
        QFETCH(int, sent);
        QFETCH(QString, shows);
        QFETCH(QStringList, prompts);
        const auto o = static_cast<Op>(op);
        const auto f = static_cast<Fault>(fault);

        WindowFixture::Options options;
        options.open_section = o == projector_read || o == projector_send ? 0 : 1;
        options.cmd_fmt = 1; // the Hex view, whose boxes show the commands' bytes
        fx = std::make_unique<WindowFixture>(options);
        START_WINDOW(*fx);
        WindowLink &link = fx->window->link();
        QVERIFY(link.port_open());
        prepare(o);
        fx->clear_sent();
        fx->prompts.clear();
        fx->sim.set_faults(faults_for(f, target_of(o)));

        // A timer that runs whenever the window's events run. It counts the times it ran while
        // the operation's control was disabled (so, during the operation), and notes every
        // failure text it saw on screen, since the fail timer hides it within a second.
        QWidget *control = busy_control(o);
        QLabel *label = fail_label(o);
        int ran_during = 0;
        QStringList seen;
        QTimer ticker;
        ticker.setInterval(0);
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (!control->isEnabled())
                ++ran_during;
            for (QLabel *l :
                { fx->ui->lab_ctrl_reply, fx->ui->lab_pic_reply, fx->ui->lab_proj_reply }) {
                if (l->isVisible() && !seen.contains(l->objectName() + u':' + l->text()))
                    seen << l->objectName() + u':' + l->text();
            }
        });
        ticker.start();
        run(o);
        ticker.stop();
        if (label->isVisible() && !seen.contains(label->objectName() + u':' + label->text()))
            seen << label->objectName() + u':' + label->text();

        QVERIFY2(ran_during > 0, "the window's events did not run during the operation");
        const QStringList expected_seen
            = fail.isEmpty() ? QStringList() : QStringList { label->objectName() + u':' + fail };
        QCOMPARE(seen, expected_seen);
        QCOMPARE(state_of(o), shows);
        QCOMPARE(fx->prompts.texts(), prompts);
        QVERIFY(control->isEnabled());
        QVERIFY(!link.link_busy());
        QVERIFY(!fx->window->state().reading);

        if (f == hang_up) {
            QVERIFY(fx->sim.hung_up());
            QVERIFY(!link.port_open());
            QCOMPARE(fx->window->port_row().look(), PortRow::Look::Disconnected);
            QCOMPARE(face(fx->ui->cmd_conn_0), grey);
            QCOMPARE(face(fx->ui->cmd_conn_1), red);
            fx->sim.set_faults({});
            QVERIFY(fx->sim.restart());
            fx->ui->cmd_conn_0->click();
            QVERIFY(link.port_open());
            QCOMPARE(fx->window->port_row().look(), PortRow::Look::Connected);
            QCOMPARE(face(fx->ui->cmd_conn_0), green);
            QCOMPARE(face(fx->ui->cmd_conn_1), grey);
        } else {
            QVERIFY(link.port_open());
            fx->sim.set_faults({});
        }

        // A query after everything else: the receiver takes messages in order, so once it has
        // this one it has every message the operation sent.
        const QByteArray barrier = QByteArrayLiteral("WP_ProjSW[?]$\r");
        const bool barrier_ok = link.send_cmd(barrier);
        // A slow reply still on its way keeps the receiver from answering the barrier in time.
        if (f != slow)
            QVERIFY2(barrier_ok, "the window cannot talk to the receiver after the operation");
        QTRY_VERIFY_WITH_TIMEOUT(fx->sent().contains(barrier), 5000);
        QList<QByteArray> got = fx->sent();
        got.resize(got.lastIndexOf(barrier));
        QCOMPARE(got, full_sequence(o).first(sent));
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "test_fault_matrix.moc"
