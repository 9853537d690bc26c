// The front-panel keys of the Control Panel, by button and by keyboard, in the real window
// against the simulated receiver.
#include "tests/receiver/receiver_test_support.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QTest>
#include <QWindow>

using namespace rx_test;

namespace {
const QByteArray menu = QByteArrayLiteral("WP_KeyMenu[]$\r");
const QByteArray minus = QByteArrayLiteral("WP_KeyMinus[]$\r");
const QByteArray plus = QByteArrayLiteral("WP_KeyPlus[]$\r");
// Counts the key presses that reach the window, and those that arrive while no pause runs.
class ArrivalCounter : public QObject
{
public:
    ArrivalCounter(const QObject *window, const WindowLink &link)
        : window_(window)
        , link_(link)
    { }
    int arrived = 0;
    int found_no_pause = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window_ && event->type() == QEvent::KeyPress) {
            ++arrived;
            if (!link_.in_delay())
                ++found_no_pause;
        }
        return false;
    }

private:
    const QObject *window_;
    const WindowLink &link_;
};

} // namespace

class TestPanelKeys : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fx;

    bool open(int section)
    {
        WindowFixture::Options options;
        options.open_section = section;
        fx = open_window(options);
        return fx != nullptr;
    }

private Q_SLOTS:
    void cleanup() { fx.reset(); }

    void keys_send_their_command_in_the_control_panel_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("J") << int(Qt::Key_J) << int(Qt::NoModifier) << menu;
        QTest::newRow("K") << int(Qt::Key_K) << int(Qt::NoModifier) << minus;
        QTest::newRow("L") << int(Qt::Key_L) << int(Qt::NoModifier) << plus;
        QTest::newRow("Shift+J") << int(Qt::Key_J) << int(Qt::ShiftModifier) << menu;
        QTest::newRow("Ctrl+K") << int(Qt::Key_K) << int(Qt::ControlModifier) << minus;
        QTest::newRow("Alt+L") << int(Qt::Key_L) << int(Qt::AltModifier) << plus;
        QTest::newRow("Ctrl+Shift+L")
            << int(Qt::Key_L) << int(Qt::ControlModifier | Qt::ShiftModifier) << plus;
    }
    void keys_send_their_command_in_the_control_panel()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QByteArray, message);
        QVERIFY(open(2));
        QTest::keyClick(fx->window.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTRY_COMPARE(fx->sent(), QList<QByteArray> { message });
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { message });
    }

    void letters_typed_in_either_case_count()
    {
        QVERIFY(open(2));
        // A key press on the focused button reaches the window's key preview too.
        fx->ui->cmd_btn_plus->setFocus();
        QTest::keyClick(fx->ui->cmd_btn_plus, 'j');
        QTest::keyClick(fx->ui->cmd_btn_plus, 'K');
        QCOMPARE(sent_before_barrier(*fx), (QList<QByteArray> { menu, minus }));
    }

    // Presses through the window system, as the keyboard delivers them: each reaches the focused
    // control, travels on to its parents when the control ignores it, and counts once.
    void keyboard_presses_count_once_each_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("window") << QString();
        QTest::newRow("menu button") << QStringLiteral("cmd_btn_menu");
        QTest::newRow("port list") << QStringLiteral("cbo_com");
    }
    void keyboard_presses_count_once_each()
    {
        QFETCH(QString, focus);
        QVERIFY(open(2));
        fx->window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fx->window.get()));
        if (!focus.isEmpty()) {
            child<QWidget>(*fx, focus)->setFocus();
            QTRY_VERIFY(child<QWidget>(*fx, focus)->hasFocus());
        }
        QWindow *handle = fx->window->windowHandle();
        QTest::keyClick(handle, Qt::Key_L);
        QTest::keyClick(handle, Qt::Key_L);
        QTest::keyClick(handle, Qt::Key_J, Qt::ShiftModifier);
        QTest::keyClick(handle, Qt::Key_K);
        QCOMPARE(sent_before_barrier(*fx), (QList<QByteArray> { plus, plus, menu, minus }));
    }

    // A tap is shorter than the pause: its release arrives while the pause runs. When the pause
    // ends, the press goes on to the parents of a control that ignores it, and it is still the
    // same press.
    void release_during_the_pause_leaves_one_command_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("menu button") << QStringLiteral("cmd_btn_menu");
        QTest::newRow("connect button") << QStringLiteral("cmd_conn_0");
        QTest::newRow("receive log clear button") << QStringLiteral("cmd_clear");
    }
    void release_during_the_pause_leaves_one_command()
    {
        QFETCH(QString, focus);
        QVERIFY(open(2));
        auto *control = child<QWidget>(*fx, focus);
        QVERIFY(control);
        const WindowLink &link = fx->window->link();
        bool released = false;
        run_when(
            fx->window.get(), [&] { return link.in_delay(); },
            [&] {
                released = true;
                QTest::keyRelease(control, Qt::Key_K);
            });
        QTest::keyPress(control, Qt::Key_K);
        QVERIFY(released);
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { minus });
    }

    // The key preview sees the keys that go to the port list's open popup as well.
    void keys_act_while_the_port_list_is_open()
    {
        QVERIFY(open(2));
        QComboBox *com = fx->ui->cbo_com;
        const int chosen = com->currentIndex();
        com->showPopup();
        QTRY_VERIFY(com->view()->isVisible());
        QTest::keyClick(com->view(), Qt::Key_J);
        QTest::keyClick(com->view(), Qt::Key_L);
        com->hidePopup();
        QCOMPARE(com->currentIndex(), chosen);
        QCOMPARE(sent_before_barrier(*fx), (QList<QByteArray> { menu, plus }));
    }

    void other_keys_send_nothing()
    {
        QVERIFY(open(2));
        for (const Qt::Key key : { Qt::Key_H, Qt::Key_M, Qt::Key_Space, Qt::Key_Return, Qt::Key_1 })
            QTest::keyClick(fx->window.get(), key);
        QVERIFY(!fx->window->link().in_delay());
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> {});
    }

    void keys_and_buttons_outside_the_control_panel_send_nothing_data()
    {
        QTest::addColumn<int>("section");
        QTest::newRow("projector") << 0;
        QTest::newRow("receiver") << 1;
    }
    void keys_and_buttons_outside_the_control_panel_send_nothing()
    {
        QFETCH(int, section);
        QVERIFY(open(section));
        for (const Qt::Key key : { Qt::Key_J, Qt::Key_K, Qt::Key_L })
            QTest::keyClick(fx->window.get(), key);
        for (QAbstractButton *button : { static_cast<QAbstractButton *>(fx->ui->cmd_btn_menu),
                 static_cast<QAbstractButton *>(fx->ui->cmd_btn_minus),
                 static_cast<QAbstractButton *>(fx->ui->cmd_btn_plus) })
            button->click();
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> {});

        // The same presses work once the Control Panel is open.
        fx->clear_sent();
        fx->window->choose_section(Section::Panel);
        fx->ui->cmd_btn_minus->click();
        QTest::keyClick(fx->window.get(), Qt::Key_L);
        QCOMPARE(sent_before_barrier(*fx), (QList<QByteArray> { minus, plus }));
    }

    void two_quick_clicks_send_two_commands_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("menu") << QStringLiteral("cmd_btn_menu") << menu;
        QTest::newRow("minus") << QStringLiteral("cmd_btn_minus") << minus;
        QTest::newRow("plus") << QStringLiteral("cmd_btn_plus") << plus;
    }
    void two_quick_clicks_send_two_commands()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, message);
        QVERIFY(open(2));
        auto *pressed = child<QAbstractButton>(*fx, button);
        QVERIFY(pressed);
        pressed->click();
        // No pause after a button: nothing keeps a following key or click out.
        QVERIFY(!fx->window->link().in_delay());
        pressed->click();
        QCOMPARE(sent_before_barrier(*fx), (QList<QByteArray> { message, message }));
    }

    // A held key: the first press sends, and auto-repeats arriving during the pause that follows
    // are dropped. The repeats come through the event loop, as the keyboard's do, so they also
    // arrive inside the pause; the test notes for each whether the pause was running when it
    // arrived, and exactly the repeats that found no pause may send.
    void held_key_sends_at_most_one_command_per_pause()
    {
        QVERIFY(open(2));
        const WindowLink &link = fx->window->link();
        ArrivalCounter counter(fx->window.get(), link);
        qApp->installEventFilter(&counter); // installed last, so it sees each press first
        int posted = 0;
        QTimer repeat;
        repeat.setInterval(10);
        connect(&repeat, &QTimer::timeout, fx->window.get(), [&] {
            if (posted == 40) {
                repeat.stop();
                return;
            }
            ++posted;
            QCoreApplication::postEvent(fx->window.get(),
                new QKeyEvent(
                    QEvent::KeyPress, Qt::Key_L, Qt::NoModifier, QStringLiteral("l"), posted > 1));
        });
        repeat.start();
        QTRY_VERIFY_WITH_TIMEOUT(counter.arrived == 40 && !link.in_delay(), 10000);
        qApp->removeEventFilter(&counter);
        QVERIFY2(counter.found_no_pause >= 1 && counter.found_no_pause < counter.arrived / 2,
            qPrintable(
                QStringLiteral("%1 of %2").arg(counter.found_no_pause).arg(counter.arrived)));
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray>(counter.found_no_pause, plus));
    }

    // The operator starts "Read" in the receiver section, opens the Control Panel while it runs
    // and presses L: any wait of the link, a query's or the pause between two, drops the key.
    void key_during_a_wait_of_the_link_is_dropped_data()
    {
        QTest::addColumn<bool>("in_query");
        QTest::newRow("waiting for a reply") << true;
        QTest::newRow("pause between queries") << false;
    }
    void key_during_a_wait_of_the_link_is_dropped()
    {
        QFETCH(bool, in_query);
        QVERIFY(open(1));
        WindowLink &link = fx->window->link();
        bool pressed = false;
        run_when(
            fx->window.get(),
            [&] {
                return fx->sent().size() >= 3 && link.in_delay() && link.link_busy() == in_query;
            },
            [&] {
                pressed = true;
                fx->window->choose_section(Section::Panel);
                QTest::keyClick(fx->window.get(), Qt::Key_L);
            });
        fx->ui->cmd_ctrl_read->click();
        QVERIFY(pressed);
        const QList<QByteArray> sent = sent_before_barrier(*fx);
        QVERIFY(!sent.contains(plus));
        QCOMPARE(sent.size(), 18);

        // Once the link is idle again the same key is sent.
        fx->clear_sent();
        QTest::keyClick(fx->window.get(), Qt::Key_L);
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { plus });
    }

    void closed_port_shows_the_message_once_per_press()
    {
        QVERIFY(open(2));
        fx->ui->cmd_conn_1->click();
        QTest::keyClick(fx->window.get(), Qt::Key_K);
        fx->ui->cmd_btn_menu->click();
        QCOMPARE(fx->prompts.texts(), QStringList(2, QStringLiteral("RS232 is disconnected !")));
        fx->ui->cmd_conn_0->click();
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> {});
    }
};

QTEST_MAIN(TestPanelKeys)
#include "test_panel_keys.moc"
