// The picture lists, "Read" and "Reset" of the real window against the simulated receiver.
#include "tests/receiver/receiver_test_support.h"

#include <QTest>

using namespace rx_test;

namespace {

const QList<QByteArray> picture_queries = queries(
    { "WP_PictureBri[", "WP_PictureCon[", "WP_PictureSat[", "WP_PictureHue[", "WP_PictureSha[" });

// The lists in the order of the read: brightness, contrast, saturation, hue, sharpness.
const char *const picture_lists[]
    = { "cbo_pic_bri", "cbo_pic_con", "cbo_pic_sat", "cbo_pic_hue", "cbo_pic_sha" };
const char *const picture_prefixes[]
    = { "WP_PictureBri[", "WP_PictureCon[", "WP_PictureSat[", "WP_PictureHue[", "WP_PictureSha[" };

} // namespace

class TestPictureControls : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fx;

    QComboBox *list(int i) const
    {
        return child<QComboBox>(*fx, QString::fromLatin1(picture_lists[i]));
    }
    QLabel *fail_label() const { return fx->ui->lab_pic_reply; }
    bool fail_shown(const QString &text) const
    {
        return fail_label()->isVisible() && fail_label()->text() == text;
    }

private Q_SLOTS:
    void init()
    {
        fx = open_window();
        QVERIFY(fx);
    }
    void cleanup() { fx.reset(); }

    void lists_hold_0_to_100_and_nothing_is_selected()
    {
        for (int i = 0; i < 5; ++i) {
            QComboBox *box = list(i);
            QVERIFY2(box, picture_lists[i]);
            QCOMPARE(box->count(), 101);
            QCOMPARE(box->itemText(0), QStringLiteral("0"));
            QCOMPARE(box->itemText(7), QStringLiteral("7"));
            QCOMPARE(box->itemText(100), QStringLiteral("100"));
            QCOMPARE(box->currentIndex(), -1);
        }
        QVERIFY(!fail_label()->isVisible());
    }

    void list_sends_its_value_without_waiting_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("position");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("brightness 0") << 0 << 0 << QByteArray("WP_PictureBri[0]$\r");
        QTest::newRow("contrast 100") << 1 << 100 << QByteArray("WP_PictureCon[100]$\r");
        QTest::newRow("saturation 55") << 2 << 55 << QByteArray("WP_PictureSat[55]$\r");
        QTest::newRow("hue 7") << 3 << 7 << QByteArray("WP_PictureHue[7]$\r");
        QTest::newRow("sharpness 30") << 4 << 30 << QByteArray("WP_PictureSha[30]$\r");
    }
    void list_sends_its_value_without_waiting()
    {
        QFETCH(int, index);
        QFETCH(int, position);
        QFETCH(QByteArray, message);
        // A receiver that never answers: a list that does not wait notices nothing.
        fx->sim.set_faults(silent_for({}));
        list(index)->setCurrentIndex(position);
        QVERIFY(!fx->window->link().link_busy());
        QTRY_COMPARE(fx->sent(), QList<QByteArray> { message });
        QVERIFY(!fail_label()->isVisible());
        QVERIFY(!fx->ui->lab_ctrl_reply->isVisible());
        QVERIFY(fx->prompts.shown.isEmpty());
    }

    void arrow_keys_send_one_command_per_step()
    {
        QComboBox *box = fx->ui->cbo_pic_hue;
        preselect(*fx, box, 50);
        fx->window->activateWindow();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Up);
        QTRY_COMPARE(fx->sent().size(), 3);
        QCOMPARE(fx->sent(),
            (QList<QByteArray> {
                "WP_PictureHue[51]$\r", "WP_PictureHue[52]$\r", "WP_PictureHue[51]$\r" }));
    }

    void read_selects_the_five_values_and_sends_nothing_back()
    {
        const char *const values[] = { "10", "20", "30", "40", "50" };
        for (int i = 0; i < 5; ++i) {
            preselect(*fx, list(i), 99);
            fx->sim.with_model(
                [&](ReceiverModel &m) { m.set_value(picture_prefixes[i], values[i]); });
        }
        bool guarded = false;
        bool button_disabled = false;
        run_when(
            fx->window.get(), [&] { return fx->sent().size() >= 2; },
            [&] {
                guarded = fx->window->state().reading;
                button_disabled = !fx->ui->cmd_pic_read->isEnabled();
            });
        fx->ui->cmd_pic_read->click();
        QCOMPARE(fx->sent(), picture_queries);
        QVERIFY(guarded);
        QVERIFY(button_disabled);
        QVERIFY(!fx->window->state().reading);
        QVERIFY(fx->ui->cmd_pic_read->isEnabled());
        for (int i = 0; i < 5; ++i)
            QCOMPARE(list(i)->currentText(), QString::fromLatin1(values[i]));
        QVERIFY(!fail_label()->isVisible());
        QCOMPARE(sent_before_barrier(*fx), picture_queries);
    }

    // A value is read from its leading digits; one that is no entry of the list (below 0, above
    // 100) leaves the list showing what it showed.
    void read_value_interpretation_data()
    {
        QTest::addColumn<QByteArray>("reported");
        QTest::addColumn<int>("selected");
        QTest::newRow("07") << QByteArray("07") << 7;
        QTest::newRow("100") << QByteArray("100") << 100;
        QTest::newRow("0") << QByteArray("0") << 0;
        QTest::newRow("45abc") << QByteArray("45abc") << 45;
        QTest::newRow("leading space") << QByteArray(" 12") << 12;
        QTest::newRow("62.5 rounds") << QByteArray("62.5") << 63;
        QTest::newRow("not a number is 0") << QByteArray("abc") << 0;
        QTest::newRow("101 keeps the selection") << QByteArray("101") << 33;
        QTest::newRow("-3 keeps the selection") << QByteArray("-3") << 33;
        QTest::newRow("huge keeps the selection") << QByteArray("99999999999999") << 33;
    }
    void read_value_interpretation()
    {
        QFETCH(QByteArray, reported);
        QFETCH(int, selected);
        preselect(*fx, fx->ui->cbo_pic_sat, 33);
        fx->sim.with_model([&](ReceiverModel &m) { m.set_value("WP_PictureSat[", reported); });
        fx->ui->cmd_pic_read->click();
        QCOMPARE(fx->ui->cbo_pic_sat->currentIndex(), selected);
        QVERIFY(!fail_label()->isVisible());
        QCOMPARE(sent_before_barrier(*fx), picture_queries);
    }

    void read_stops_at_the_first_failure_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<bool>("wrong_prefix");
        QTest::addColumn<int>("failing");
        QTest::newRow("brightness unanswered") << QByteArray("WP_PictureBri[") << false << 0;
        QTest::newRow("saturation unanswered") << QByteArray("WP_PictureSat[") << false << 2;
        QTest::newRow("sharpness answered by hue") << QByteArray("WP_PictureSha[") << true << 4;
    }
    void read_stops_at_the_first_failure()
    {
        QFETCH(QByteArray, prefix);
        QFETCH(bool, wrong_prefix);
        QFETCH(int, failing);
        for (int i = 0; i < 5; ++i) {
            preselect(*fx, list(i), 90 + i);
            fx->sim.with_model([&](ReceiverModel &m) {
                m.set_value(picture_prefixes[i], QByteArray::number(10 + i));
            });
        }
        SimFaults faults;
        if (wrong_prefix) {
            faults.wrong_prefix = "WP_PictureHue[";
            faults.wrong_prefix_only = prefix;
        } else {
            faults = silent_for(prefix);
        }
        fx->sim.set_faults(faults);
        fx->ui->cmd_pic_read->click();
        QCOMPARE(fx->sent(), picture_queries.mid(0, failing + 1));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(list(i)->currentIndex(), i < failing ? 10 + i : 90 + i);
        QVERIFY(fail_shown(QStringLiteral("Read fail !")));
        QVERIFY(!fx->ui->lab_ctrl_reply->isVisible());
        QVERIFY(!fx->window->state().reading);
        QVERIFY(fx->ui->cmd_pic_read->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!fail_label()->isVisible(), 1500);
    }

    void reset_sends_go_and_keeps_the_lists()
    {
        for (int i = 0; i < 5; ++i)
            preselect(*fx, list(i), 20 + i);
        bool disabled_in_wait = false;
        run_when(
            fx->window.get(), [&] { return fx->window->link().link_busy(); },
            [&] { disabled_in_wait = !fx->ui->cmd_pic_rst->isEnabled(); });
        fx->ui->cmd_pic_rst->click();
        QVERIFY(disabled_in_wait);
        QVERIFY(fx->ui->cmd_pic_rst->isEnabled());
        QCOMPARE(fx->ui->cmd_pic_rst->text(), QStringLiteral("Reset"));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(list(i)->currentIndex(), 20 + i);
        QVERIFY(!fail_label()->isVisible());
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { "WP_PictureRst[Go]$\r" });
    }

    void reset_unanswered_shows_send_fail()
    {
        fx->sim.set_faults(silent_for("WP_PictureRst["));
        fx->ui->cmd_pic_rst->click();
        QVERIFY(fail_shown(QStringLiteral("Send fail !")));
        QVERIFY(!fx->ui->lab_ctrl_reply->isVisible());
        QVERIFY(fx->ui->cmd_pic_rst->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!fail_label()->isVisible(), 1500);
    }

    void receiver_read_back_keeps_picture_lists_quiet()
    {
        // While the receiver read-back runs, a picture value chosen by the operator is not sent.
        run_when(
            fx->window.get(), [&] { return fx->sent().size() >= 2; },
            [&] { fx->ui->cbo_pic_bri->setCurrentIndex(42); });
        fx->ui->cmd_ctrl_read->click();
        QCOMPARE(fx->ui->cbo_pic_bri->currentIndex(), 42);
        for (const QByteArray &message : sent_before_barrier(*fx))
            QVERIFY2(!message.startsWith("WP_PictureBri["), message.constData());
    }

    void closed_port_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("fail");
        QTest::newRow("list") << QStringLiteral("cbo_pic_con") << QString();
        QTest::newRow("Read") << QStringLiteral("cmd_pic_read") << QStringLiteral("Read fail !");
        QTest::newRow("Reset") << QStringLiteral("cmd_pic_rst") << QStringLiteral("Send fail !");
    }
    void closed_port()
    {
        QFETCH(QString, control);
        QFETCH(QString, fail);
        fx->ui->cmd_conn_1->click();
        QVERIFY(!fx->window->link().port_open());
        bool label_hidden_at_message = false;
        fx->prompts.on_show = [&](const ScriptedPrompts::Shown &) {
            label_hidden_at_message = !fail_label()->isVisible();
        };
        if (auto *box = child<QComboBox>(*fx, control))
            box->setCurrentIndex(12);
        else
            child<QAbstractButton>(*fx, control)->click();
        QCOMPARE(fx->prompts.texts(), QStringList { QStringLiteral("RS232 is disconnected !") });
        QVERIFY(label_hidden_at_message);
        if (fail.isEmpty())
            QVERIFY(!fail_label()->isVisible());
        else
            QVERIFY(fail_shown(fail));
        QVERIFY(child<QWidget>(*fx, control)->isEnabled());
    }
};

QTEST_MAIN(TestPictureControls)
#include "test_picture_controls.moc"
