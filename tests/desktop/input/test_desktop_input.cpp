// The window on a real X server (Xvfb, Qt's xcb platform), with keys and clicks injected at the
// server through XTest, against the simulated receiver. Here a key's release can arrive during a
// nested wait, the focus moves when a control is disabled, and message boxes and file dialogs
// are windows of their own: what the offscreen platform cannot show.
#include "app/widget_prompts.h"
#include "tests/desktop/input/x_input.h"
#include "tests/receiver/receiver_test_support.h"
#include "tests/support/deaf_listener.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace rx_test;

namespace {

const QByteArray menu = QByteArrayLiteral("WP_KeyMenu[]$\r");
const QByteArray minus = QByteArrayLiteral("WP_KeyMinus[]$\r");
const QByteArray plus = QByteArrayLiteral("WP_KeyPlus[]$\r");

QPoint centre_of(const QWidget *widget)
{
    return widget->mapToGlobal(widget->rect().center());
}

// Keeps a picture of the screen when KZ_SHOT_DIR names a folder.
void screenshot(const QString &name)
{
    const QString dir = qEnvironmentVariable("KZ_SHOT_DIR");
    if (!dir.isEmpty())
        QGuiApplication::primaryScreen()->grabWindow(0).save(
            QDir(dir).filePath(name + QStringLiteral(".png")));
}

} // namespace

class TestDesktopInput : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> fx;
    std::unique_ptr<XInput> x;
    WidgetPrompts real_prompts;

    // The window in section s, shown, active and drawn, with real message boxes and dialogs.
    bool open(int section, int cmd_fmt = 0, bool with_log = true)
    {
        WindowFixture::Options options;
        options.open_section = section;
        options.cmd_fmt = cmd_fmt;
        options.prompts = &real_prompts;
        fx = open_window(options);
        if (!fx)
            return false;
        real_prompts.set_parent(fx->window.get());
        // Tall enough to show the receive log below the sections.
        if (with_log)
            fx->window->show_log(true);
        fx->window->move(0, 0);
        fx->window->activateWindow();
        return QTest::qWaitForWindowExposed(fx->window.get())
            && QTest::qWaitForWindowActive(fx->window.get());
    }

    // Puts the focus on the named control, or on no control for an empty name.
    bool focus_on(const QString &name)
    {
        if (name.isEmpty()) {
            if (QWidget *focus = fx->window->focusWidget())
                focus->clearFocus();
            return QTest::qWaitFor([] { return QApplication::focusWidget() == nullptr; });
        }
        auto *control = child<QWidget>(*fx, name);
        control->setFocus();
        return QTest::qWaitFor([control] { return control->hasFocus(); });
    }

    // Starts the real program on the fixture's folder; main is its window once it is drawn and
    // takes input. On failure the test has failed.
    void start_program(QProcess &program, const WindowFixture &files, XInput::Window *main)
    {
        program.setProgram(QStringLiteral(KZ_CTRL_EXE));
        program.setArguments({ QStringLiteral("--config-dir"), files.dir() });
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start();
        QVERIFY(program.waitForStarted());
        QList<XInput::Window> shown;
        QTRY_VERIFY_WITH_TIMEOUT(!(shown = x->windows_of(program.processId())).isEmpty(), 10000);
        *main = shown.first();
        QTest::qWait(300); // drawn and taking input
    }

    // Whether the program shows a window of its own besides main: a question over it.
    bool shows_question(const QProcess &program, const XInput::Window &main)
    {
        for (const XInput::Window &w : x->windows_of(program.processId()))
            if (w.id != main.id)
                return true;
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs Qt's xcb platform on an X server");
        x = std::make_unique<XInput>();
        QVERIFY2(x->ok(), qPrintable(x->why()));
    }
    void cleanup()
    {
        fx.reset();
        real_prompts.set_parent(nullptr);
    }

    void focus_places_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("port list") << QStringLiteral("cbo_com");
        QTest::newRow("receive log text box") << QStringLiteral("txt_rx");
        QTest::newRow("menu button") << QStringLiteral("cmd_btn_menu");
        QTest::newRow("nowhere") << QString();
    }

    // A person's tap is shorter than the 150 ms pause: each tap sends one command.
    void taps_send_one_command_each_data() { focus_places_data(); }
    void taps_send_one_command_each()
    {
        QFETCH(QString, focus);
        QVERIFY(open(2));
        QVERIFY(focus_on(focus));
        for (const char *key : { "j", "k", "l" }) {
            x->tap(key);
            QTest::qWait(300);
        }
        QCOMPARE(sent_before_barrier(*fx), (QList<QByteArray> { menu, minus, plus }));
    }

    // A held key: the server repeats it every 30 ms after 200 ms. Repeats inside a pause are
    // dropped, and one more sends once a pause has ended.
    void held_key_sends_once_per_pause_data() { focus_places_data(); }
    void held_key_sends_once_per_pause()
    {
        QFETCH(QString, focus);
        QVERIFY(open(2));
        QVERIFY(focus_on(focus));
        x->set_auto_repeat(200, 30);
        QElapsedTimer held;
        held.start();
        x->key_down("l");
        QTest::qWait(1000);
        x->key_up("l");
        QTest::qWait(300);
        // Pauses follow each other, so over any stretch of time at most one command starts per
        // pause, plus the first.
        const qint64 held_ms = held.elapsed();
        const QList<QByteArray> sent = sent_before_barrier(*fx);
        QCOMPARE(sent.count(plus), sent.size());
        const auto most = 1 + held_ms / 150;
        QVERIFY2(sent.size() >= 2 && sent.size() <= most,
            qPrintable(QStringLiteral("%1 commands in %2 ms").arg(sent.size()).arg(held_ms)));
    }

    // J, K and L act while the port list's popup is open, and the popup keeps its entry.
    void keys_act_with_the_port_list_open()
    {
        QVERIFY(open(2));
        QComboBox *com = fx->ui->cbo_com;
        const int chosen = com->currentIndex();
        x->click(centre_of(com));
        QTRY_VERIFY(com->view()->isVisible());
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        x->tap("k");
        QTest::qWait(300);
        x->tap("Escape");
        QTRY_VERIFY(!com->view()->isVisible());
        QCOMPARE(com->currentIndex(), chosen);
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { minus });
    }

    // A list entry chosen with the mouse, then the next ones with the keyboard: the focus stays
    // on the list through each command's wait.
    void list_entry_by_mouse_then_keyboard()
    {
        QVERIFY(open(1));
        QComboBox *aspect = fx->ui->cbo_aspect;
        x->click(centre_of(aspect));
        QAbstractItemView *view = aspect->view();
        QTRY_VERIFY(view->isVisible());
        QTest::qWait(100);
        const QRect entry = view->visualRect(view->model()->index(3, 0));
        screenshot(QStringLiteral("aspect_list_open"));
        x->click(view->viewport()->mapToGlobal(entry.center()));
        QTRY_VERIFY(!view->isVisible());
        QTRY_VERIFY(!fx->sent().isEmpty() && aspect->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), aspect);
        x->tap("Down");
        QTRY_VERIFY(fx->sent().size() == 2 && aspect->isEnabled());
        x->tap("Home");
        QTRY_VERIFY(fx->sent().size() == 3 && aspect->isEnabled());
        QCOMPARE(QApplication::focusWidget(), aspect);
        QCOMPARE(sent_before_barrier(*fx),
            (QList<QByteArray> {
                "WP_Aspect[4:3]$\r", "WP_Aspect[Keep]$\r", "WP_Aspect[Full]$\r" }));
        QCOMPARE(aspect->currentIndex(), 0);
    }

    // Ctrl with Tab, Page Down/Up and the digits goes through the sections from any control,
    // and leaves the focus on the chosen section's title; the arrows move on from there. J, K
    // and L still act in the Control Panel reached this way.
    void sections_switch_by_keyboard_data()
    {
        QTest::addColumn<QString>("start_focus");
        QTest::newRow("from the Connect button") << QStringLiteral("cmd_conn_0");
        QTest::newRow("from the receive log") << QStringLiteral("txt_rx");
        QTest::newRow("from a list") << QStringLiteral("cbo_input");
    }
    void sections_switch_by_keyboard()
    {
        QFETCH(QString, start_focus);
        QVERIFY(open(1));
        QVERIFY(focus_on(start_focus));
        const QList<QLabel *> titles
            = { fx->ui->lab_title_proj, fx->ui->lab_title_orba, fx->ui->lab_title_panel };
        const struct
        {
            const char *modifier;
            const char *key;
            int section;
        } steps[] = { { "Control_L", "Tab", 2 }, { "Control_L", "Tab", 0 },
            { "Control_L", "Next", 1 }, { "Control_L", "Prior", 0 }, { "Shift_L", "Tab", 2 },
            { "Control_L", "2", 1 }, { "Control_L", "1", 0 }, { nullptr, "Left", 2 },
            { nullptr, "Right", 0 }, { nullptr, "End", 2 }, { "Control_L", "3", 2 } };
        for (const auto &step : steps) {
            // Ctrl+Shift+Tab: both held.
            const bool shift_tab = QByteArray(step.modifier ? step.modifier : "") == "Shift_L";
            if (shift_tab)
                x->key_down("Control_L");
            if (step.modifier)
                x->key_down(step.modifier);
            x->tap(step.key);
            if (step.modifier)
                x->key_up(step.modifier);
            if (shift_tab)
                x->key_up("Control_L");
            const QString what = QStringLiteral("%1+%2").arg(
                QString::fromLatin1(step.modifier ? step.modifier : ""),
                QString::fromLatin1(step.key));
            QTRY_VERIFY2(static_cast<int>(fx->window->state().open_section) == step.section,
                qPrintable(what));
            QTRY_COMPARE(QApplication::focusWidget(), titles.at(step.section));
            QCOMPARE(fx->ui->fra_proj->isVisible(), step.section == 0);
            QCOMPARE(fx->ui->fra_wp_ctrl->isVisible(), step.section == 1);
            QCOMPARE(fx->ui->pic_panel->isVisible(), step.section == 2);
        }
        QTest::qWait(300); // drawn
        screenshot(QStringLiteral("keyboard_panel_title_focused"));
        const QList<QByteArray> switching = sent_before_barrier(*fx);
        QVERIFY2(switching.isEmpty(), switching.join('|').constData());
        fx->clear_sent();
        for (const char *key : { "j", "k", "l" }) {
            x->tap(key);
            QTest::qWait(300);
        }
        QCOMPARE(sent_before_barrier(*fx), (QList<QByteArray> { menu, minus, plus }));
    }

    // Tab reaches the shown section's title and no control below the window's lower edge; the
    // focused control carries a ring that shows on the screen.
    void tab_stops_are_visible_and_marked()
    {
        QVERIFY(open(0, 0, false));
        QCOMPARE(fx->window->height(), fx->window->minimumHeight());
        QVERIFY(focus_on(QStringLiteral("cmd_conn_0")));
        QSet<QWidget *> reached;
        QWidget *window = fx->window.get();
        for (int i = 0; i < 60; ++i) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            reached.insert(focus);
            const QRect on_window(focus->mapTo(window, QPoint(0, 0)), focus->size());
            QVERIFY2(window->rect().contains(on_window),
                qPrintable(focus->objectName() + QStringLiteral(" lies outside the window")));
            QVERIFY2(focus->isVisible(), qPrintable(focus->objectName()));
            // The ring: navy pixels just outside the control, on every side, on the screen.
            QTest::qWait(80);
            const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            const QRect ring
                = QRect(focus->mapToGlobal(QPoint(0, 0)), focus->size()).adjusted(-2, -2, 2, 2);
            int navy = 0;
            for (const QPoint p :
                { QPoint(ring.center().x(), ring.top()), QPoint(ring.center().x(), ring.bottom()),
                    QPoint(ring.left(), ring.center().y()),
                    QPoint(ring.right(), ring.center().y()) })
                navy += shot.pixelColor(p) == QColor(0, 0, 128) ? 1 : 0;
            QVERIFY2(navy == 4,
                qPrintable(QStringLiteral("%1: the focus ring shows on %2 of 4 sides")
                               .arg(focus->objectName())
                               .arg(navy)));
            if (focus == fx->ui->cmd_conn_0 && i == 0)
                screenshot(QStringLiteral("focus_connect"));
            x->tap("Tab");
            QTRY_VERIFY(QApplication::focusWidget() != focus);
        }
        QVERIFY(reached.contains(fx->ui->lab_title_proj));
        QVERIFY(!reached.contains(fx->ui->lab_title_orba));
        QVERIFY(reached.contains(fx->ui->cbo_proj_baudrate));
        for (QWidget *below :
            { static_cast<QWidget *>(fx->ui->txt_rx), static_cast<QWidget *>(fx->ui->cmd_clear),
                static_cast<QWidget *>(fx->ui->chk_auto) })
            QVERIFY2(!reached.contains(below), qPrintable(below->objectName()));
        // Shown, the receive log is reached as well.
        x->click(centre_of(fx->window->log_button()));
        QTRY_VERIFY(fx->window->log_shown());
        QTRY_VERIFY(fx->ui->txt_rx->focusPolicy() != Qt::NoFocus);
    }

    // F6 goes from region to region: port row, section title, section, receive log.
    void f6_moves_between_regions()
    {
        QVERIFY(open(1));
        QVERIFY(focus_on(QStringLiteral("cmd_conn_0")));
        const QList<QWidget *> expected = { fx->ui->lab_title_orba, fx->ui->cbo_input,
            fx->window->log_button(), fx->ui->cmd_conn_0 };
        for (QWidget *next : expected) {
            x->tap("F6");
            QTRY_COMPARE(QApplication::focusWidget(), next);
        }
        x->key_down("Shift_L");
        x->tap("F6");
        x->key_up("Shift_L");
        QTRY_COMPARE(QApplication::focusWidget(), fx->window->log_button());
    }

    // The receive log: shown by its button, it grows with the window, and a trace line stays on
    // one line.
    void receive_log_shows_grows_and_keeps_lines_whole()
    {
        QVERIFY(open(1, 0, false));
        QVERIFY(!fx->window->log_shown());
        screenshot(QStringLiteral("log_hidden"));
        x->click(centre_of(fx->window->log_button()));
        QTRY_VERIFY(fx->window->log_shown());
        const int designed = fx->ui->txt_rx->height();
        fx->window->resize(fx->window->width(), fx->window->height() + 150);
        QTRY_COMPARE(fx->ui->txt_rx->height(), designed + 150);
        QTRY_VERIFY(fx->ui->txt_rx->geometry().bottom() < fx->window->height());
        fx->ui->txt_rx->appendPlainText(QStringLiteral(
            "2026-12-11 07:00:00.000\tCOM1\tWP_Aspect[?]$\\x0D\tWP_Aspect[16:9]$\\x0D\treplied\t3 "
            "ms"));
        QCOMPARE(fx->ui->txt_rx->document()->lastBlock().layout()->lineCount(), 1);
        QTest::qWait(500); // drawn at its new size
        screenshot(QStringLiteral("log_shown"));
        x->click(centre_of(fx->window->log_button()));
        QTRY_COMPARE(fx->window->height(), fx->window->minimumHeight());
        QVERIFY(!fx->window->log_shown());
    }

    void sections_switch_by_title_and_ball_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QList<int>>("sections");
        QTest::newRow("titles") << QStringList { QStringLiteral("lab_title_proj"),
            QStringLiteral("lab_title_panel"), QStringLiteral("lab_title_orba") }
                                << QList<int> { 0, 2, 1 };
        QTest::newRow("balls") << QStringList { QStringLiteral("img_ball_panel"),
            QStringLiteral("img_ball_proj"), QStringLiteral("img_ball_orba") }
                               << QList<int> { 2, 0, 1 };
    }
    void sections_switch_by_title_and_ball()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QList<int>, sections);
        QVERIFY(open(1));
        for (qsizetype i = 0; i < clicks.size(); ++i) {
            x->click(centre_of(child<QWidget>(*fx, clicks[i])));
            QTRY_COMPARE(static_cast<int>(fx->window->state().open_section), sections[i]);
            QTRY_COMPARE(fx->ui->fra_proj->isVisible(), sections[i] == 0);
            QCOMPARE(fx->ui->fra_wp_ctrl->isVisible(), sections[i] == 1);
            QCOMPARE(fx->ui->pic_panel->isVisible(), sections[i] == 2);
            screenshot(QStringLiteral("section_%1_%2")
                           .arg(QString::fromLatin1(QTest::currentDataTag()))
                           .arg(i));
        }
        QCOMPARE(fx->sent(), QList<QByteArray> {});
    }

    // "RS232 is disconnected !" is a window of its own; Return answers it and the window has the
    // keys again.
    void message_box_answered_by_key()
    {
        QVERIFY(open(2));
        x->click(centre_of(fx->ui->cmd_conn_1));
        QTRY_VERIFY(!fx->window->link().port_open());
        QStringList seen;
        run_when(
            fx->window.get(),
            [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                return box && box->isActiveWindow();
            },
            [&] {
                seen << qobject_cast<QMessageBox *>(QApplication::activeModalWidget())->text();
                screenshot(QStringLiteral("message_box"));
                x->tap("Return");
            });
        x->tap("j");
        QTRY_COMPARE(seen, QStringList { QStringLiteral("RS232 is disconnected !") });
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        // No window manager hands the focus back to the window when the box goes.
        fx->window->activateWindow();
        QTRY_VERIFY(fx->window->isActiveWindow());
        QTRY_VERIFY(!fx->window->link().in_delay());
        // Connected again, the next tap reaches the receiver.
        x->click(centre_of(fx->ui->cmd_conn_0));
        QTRY_VERIFY(fx->window->link().port_open());
        x->tap("l");
        QTest::qWait(300);
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { plus });
    }

    // The Load dialog: the path typed into its name box and confirmed with Return.
    void projector_file_typed_into_the_load_dialog()
    {
        QVERIFY(open(0, 1));
        fx->write_file(QStringLiteral("room1.ini"),
            QByteArrayLiteral("9600\r\n8\r\n\"NONE\"\r\n1\r\n\"50 57 52 0D \"\r\n\"\"\r\n"));
        const QString path = fx->path(QStringLiteral("room1.ini"));
        bool typed = false;
        run_when(
            fx->window.get(),
            [&] {
                auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                return dialog && dialog->isActiveWindow() && dialog->focusWidget();
            },
            [&] {
                typed = true;
                QTest::qWait(200);
                x->type(path);
                QTest::qWait(300);
                screenshot(QStringLiteral("load_dialog"));
                x->tap("Return");
            });
        x->click(centre_of(fx->ui->cmd_load));
        QTRY_VERIFY(typed);
        QTRY_COMPARE(fx->window->state().proj_file, path);
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(fx->ui->cbo_proj_baudrate->currentText(), QStringLiteral("9600"));
        QCOMPARE(fx->ui->txt_proj_disp_on_hex->text(), QStringLiteral("50 57 52 0D "));
        QVERIFY(fx->window->windowTitle().endsWith(u"room1.ini"));
    }

    // The real program closed by the window manager's close request, at rest and while a
    // transaction waits for a late reply: the exit question (when the projector settings differ
    // from their file) is answered by key, and the process ends with the settings written and
    // nothing more sent.
    void close_request_ends_the_program_data()
    {
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("proj_file"); // the projector file's content; none if empty
        QTest::addColumn<bool>("asks");
        // The message whose reply comes late (every one if empty), and the count of messages the
        // receiver has had when the close comes.
        QTest::addColumn<QByteArray>("late");
        QTest::addColumn<int>("close_at");
        // The same settings as the file; written in lower case, the exit check finds a change.
        const QByteArray same = QByteArrayLiteral(
            "115200\r\n8\r\n\"NONE\"\r\n1.5\r\n\"50 57 52 0D \"\r\n\"50 0D \"\r\n");
        QByteArray changed = same;
        changed.replace("0D", "0d");
        const QByteArray all;
        const QByteArray on = QByteArrayLiteral("WP_DisplayOn[");
        QTest::newRow("at rest") << 1 << QString() << QByteArray() << true << all << 0;
        QTest::newRow("receiver Read")
            << 1 << QStringLiteral("cmd_ctrl_read") << QByteArray() << true << all << 1;
        QTest::newRow("picture Read")
            << 1 << QStringLiteral("cmd_pic_read") << QByteArray() << true << all << 1;
        QTest::newRow("Get") << 1 << QStringLiteral("cmd_info") << QByteArray() << true << all << 1;
        QTest::newRow("projector Send, first step")
            << 0 << QStringLiteral("cmd_proj_send") << changed << true << all << 1;
        QTest::newRow("projector Send, second step")
            << 0 << QStringLiteral("cmd_proj_send") << changed << true << on << 2;
        QTest::newRow("projector Read, second step")
            << 0 << QStringLiteral("cmd_proj_read") << changed << true << on << 2;
        QTest::newRow("behaviour Read")
            << 0 << QStringLiteral("cmd_read_proj") << changed << true << all << 1;
        QTest::newRow("projector Read, no question")
            << 0 << QStringLiteral("cmd_proj_read") << same << false << all << 1;
    }
    void close_request_ends_the_program()
    {
        QFETCH(int, section);
        QFETCH(QString, button);
        QFETCH(QByteArray, proj_file);
        QFETCH(bool, asks);
        QFETCH(QByteArray, late);
        QFETCH(int, close_at);
        WindowFixture::Options options;
        options.open_section = section;
        WindowFixture files(options);
        if (!proj_file.isEmpty()) {
            files.write_file(QStringLiteral("room1.ini"), proj_file);
            options.proj_file = files.path(QStringLiteral("room1.ini"));
            files.write_settings(options);
        }
        // The form gives each control's place in the window.
        QWidget layout;
        Ui::frm_main form;
        form.setupUi(&layout);

        QProcess program;
        XInput::Window main {};
        start_program(program, files, &main);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(main.title.startsWith(u"KZ-ORBA-320-RX"));
        const QString settings = files.path(QStringLiteral("KZ_ORBA_CTRL.ini"));
        QVERIFY(QFile::remove(settings));

        if (!button.isEmpty()) {
            SimFaults faults;
            faults.delay_ms = 600; // beyond the reply wait
            faults.delay_only = late;
            files.sim.set_faults(faults);
            auto *control = layout.findChild<QWidget *>(button);
            x->click(main.origin + control->mapTo(&layout, control->rect().center()));
            QVERIFY(files.sim.wait_for_received(close_at, 5000));
        }
        const qsizetype sent_at_close = files.sent().size();
        x->request_close(main.id);
        if (asks) {
            QTRY_VERIFY_WITH_TIMEOUT(shows_question(program, main), 5000);
            QTest::qWait(300);
            screenshot(QStringLiteral("exit_question_%1")
                           .arg(QString::fromLatin1(QTest::currentDataTag())));
            x->tap("n");
        }
        QVERIFY2(program.waitForFinished(5000), "the program is still running after the close");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QFile::exists(settings));
        QTest::qWait(700); // a late reply's time: nothing more reaches the line
        QCOMPARE(files.sent().size(), sent_at_close);
    }

    // A remembered port that cannot be opened: the main window is on the screen, drawn, before
    // the port's message comes over it.
    void startup_port_error_comes_over_the_drawn_window()
    {
        WindowFixture files(WindowFixture::Options {});
        const QByteArray com1 = qgetenv("KZ_ORBA_COM1");
        qputenv("KZ_ORBA_COM1", QFile::encodeName(files.path(QStringLiteral("no-such-port"))));
        QProcess program;
        program.setProgram(QStringLiteral(KZ_CTRL_EXE));
        program.setArguments({ QStringLiteral("--config-dir"), files.dir() });
        program.start();
        const bool started = program.waitForStarted();
        qputenv("KZ_ORBA_COM1", com1);
        QVERIFY(started);
        // While the port's message shows, the main window is on the screen too.
        XInput::Window main {};
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QList<XInput::Window> shown = x->windows_of(program.processId());
                for (const XInput::Window &w : shown)
                    if (w.title.startsWith(u"KZ-ORBA-320-RX v"))
                        main = w;
                return shown.size() == 2 && main.id != 0;
            }(),
            10000);
        QTest::qWait(300);
        screenshot(QStringLiteral("startup_port_error"));
        // The main window has drawn its controls: far more than the grey ground.
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, main.origin.x(), main.origin.y(), 528, 466)
                                .toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2)
                colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 16, qPrintable(QString::number(colours.size())));
        x->tap("Return");
        QTRY_VERIFY(!shows_question(program, main));
        program.kill();
        program.waitForFinished();
    }

    // The window manager's close request while the window waits for a gateway that does not
    // answer: it ends the wait and the program, with the exit question and no port error (which
    // would come, with an OK button that "n" does not press, had the close waited for the wait).
    void close_request_during_a_gateway_connect_ends_the_program()
    {
        DeafListener deaf;
        if (!deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");
        WindowFixture files;
        qputenv("KZ_ORBA_COM2", deaf.address().toLocal8Bit());
        QWidget layout;
        Ui::frm_main form;
        form.setupUi(&layout);

        QProcess program;
        XInput::Window main {};
        start_program(program, files, &main);
        qunsetenv("KZ_ORBA_COM2"); // the program took its environment when it started
        if (QTest::currentTestFailed())
            return;
        const QString settings = files.path(QStringLiteral("KZ_ORBA_CTRL.ini"));
        QVERIFY(QFile::remove(settings));

        // COM2 from the port list, by mouse and keys: the connect to the gateway begins.
        x->click(main.origin + form.cbo_com->mapTo(&layout, form.cbo_com->rect().center()));
        QTest::qWait(300);
        x->tap("Down");
        x->tap("Return");
        QTest::qWait(300);
        x->request_close(main.id);
        QTRY_VERIFY_WITH_TIMEOUT(shows_question(program, main), 5000);
        QTest::qWait(300);
        screenshot(QStringLiteral("close_during_connect"));
        x->tap("n");
        QVERIFY2(program.waitForFinished(5000), "the program is still running after the close");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QFile::exists(settings));
    }
};

QTEST_MAIN(TestDesktopInput)
#include "test_desktop_input.moc"
