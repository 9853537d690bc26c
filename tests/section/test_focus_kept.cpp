// The keyboard focus after a control's own transaction: a list or button that disables itself
// while its command is under way has the focus again afterwards, unless the operator moved it.
#include "tests/receiver/receiver_test_support.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

using namespace rx_test;

namespace {

struct Case
{
    int section;
    const char *control;
    Qt::Key key; // the key that makes the control act; Space for a button
    int preselect; // a list's position before the key, -1 to leave it
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestFocusKept : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> fx;

    // The window in the given section, active, with the focus on control.
    QWidget *focused(int section, const char *name)
    {
        WindowFixture::Options options;
        options.open_section = section;
        if (section == 0)
            options.cmd_fmt = 1;
        fx = open_window(options);
        if (!fx)
            return nullptr;
        fx->ui->txt_proj_disp_on_hex->setText(QStringLiteral("50 57 52 0D"));
        fx->ui->txt_proj_disp_off_hex->setText(QStringLiteral("50 57 52 0D"));
        fx->window->activateWindow();
        if (!QTest::qWaitForWindowActive(fx->window.get()))
            return nullptr;
        auto *control = child<QWidget>(*fx, QString::fromLatin1(name));
        control->setFocus();
        return control->hasFocus() ? control : nullptr;
    }

private Q_SLOTS:
    void cleanup() { fx.reset(); }

    void focus_returns_after_the_transaction_data()
    {
        QTest::addColumn<Case>("c");
        QTest::newRow("input list, End") << Case { 1, "cbo_input", Qt::Key_End, 0 };
        QTest::newRow("aspect list, Home") << Case { 1, "cbo_aspect", Qt::Key_Home, 2 };
        QTest::newRow("HDCP list, Down") << Case { 1, "cbo_hdcp_in", Qt::Key_Down, 0 };
        QTest::newRow("TX baud rate list, Up") << Case { 1, "cbo_baudrate", Qt::Key_Up, 1 };
        QTest::newRow("system reset") << Case { 1, "cmd_sys_rst", Qt::Key_Space, -1 };
        QTest::newRow("VGA auto adjust") << Case { 1, "cmd_vga_auto", Qt::Key_Space, -1 };
        QTest::newRow("receiver Read") << Case { 1, "cmd_ctrl_read", Qt::Key_Space, -1 };
        QTest::newRow("Get") << Case { 1, "cmd_info", Qt::Key_Space, -1 };
        QTest::newRow("picture Read") << Case { 1, "cmd_pic_read", Qt::Key_Space, -1 };
        QTest::newRow("picture reset") << Case { 1, "cmd_pic_rst", Qt::Key_Space, -1 };
        QTest::newRow("auto display on list") << Case { 0, "cbo_auto_on", Qt::Key_Down, 0 };
        QTest::newRow("auto display off list") << Case { 0, "cbo_auto_off", Qt::Key_Up, 1 };
        QTest::newRow("behaviour Read") << Case { 0, "cmd_read_proj", Qt::Key_Space, -1 };
        QTest::newRow("projector Send") << Case { 0, "cmd_proj_send", Qt::Key_Space, -1 };
        QTest::newRow("projector Read") << Case { 0, "cmd_proj_read", Qt::Key_Space, -1 };
    }
    void focus_returns_after_the_transaction()
    {
        QFETCH(Case, c);
        QWidget *control = focused(c.section, c.control);
        QVERIFY(control);
        if (c.preselect >= 0)
            preselect(*fx, qobject_cast<QComboBox *>(control), c.preselect);
        bool disabled_seen = false;
        run_when(
            fx->window.get(), [&] { return !control->isEnabled(); }, [&] { disabled_seen = true; });
        fx->clear_sent();
        QTest::keyClick(control, c.key);
        QTRY_VERIFY(control->isEnabled());
        QVERIFY(disabled_seen);
        QVERIFY(!fx->sent().isEmpty());
        QCOMPARE(QApplication::focusWidget(), control);
    }

    // The operator's next key after a change acts on the same list again, as the two
    // traps show: Space opens the input list, Down steps to the next aspect.
    void the_next_key_acts_on_the_same_list()
    {
        QComboBox *aspect = qobject_cast<QComboBox *>(focused(1, "cbo_aspect"));
        QVERIFY(aspect);
        preselect(*fx, aspect, 2);
        fx->clear_sent();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(sent_before_barrier(*fx),
            (QList<QByteArray> { "WP_Aspect[Full]$\r", "WP_Aspect[16:9]$\r" }));

        QComboBox *input = fx->ui->cbo_input;
        input->setFocus();
        fx->clear_sent();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_VERIFY(input->view()->isVisible());
        input->hidePopup();
        QCOMPARE(sent_before_barrier(*fx), (QList<QByteArray> { "WP_Input[Vga]$\r" }));
    }

    // A choice in the open list by mouse ends with the focus on the list as well.
    void mouse_choice_keeps_the_focus_on_the_list()
    {
        QComboBox *aspect = qobject_cast<QComboBox *>(focused(1, "cbo_aspect"));
        QVERIFY(aspect);
        aspect->showPopup();
        QAbstractItemView *view = aspect->view();
        QTRY_VERIFY(view->isVisible());
        const QRect entry = view->visualRect(view->model()->index(3, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
        QTRY_VERIFY(!view->isVisible());
        QTRY_VERIFY(aspect->isEnabled());
        QCOMPARE(aspect->currentIndex(), 3);
        QCOMPARE(fx->window->focusWidget(), aspect);
    }

    // Focus the operator put on another control during the wait stays there.
    void focus_moved_during_the_wait_stays_moved()
    {
        QComboBox *aspect = qobject_cast<QComboBox *>(focused(1, "cbo_aspect"));
        QVERIFY(aspect);
        QComboBox *display = fx->ui->cbo_display;
        run_when(
            fx->window.get(), [&] { return !aspect->isEnabled(); }, [&] { display->setFocus(); });
        QTest::keyClick(aspect, Qt::Key_Down);
        QTRY_VERIFY(aspect->isEnabled());
        QCOMPARE(QApplication::focusWidget(), display);
    }
};

QTEST_MAIN(TestFocusKept)
#include "test_focus_kept.moc"
