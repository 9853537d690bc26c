// Projector settings files through the real window: Load, Save, the window title, start-up with
// the remembered file, and the change check at exit.
#include "tests/support/resource_limit.h"
#include "tests/support/window_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString plain_title = u"KZ-ORBA-320-RX v1.0.5"_s;
const QString exit_question = u"Projector settings are changed !\r\nSave settings before exit ?"_s;

// 19200 baud, 7 data bits, even parity, 2 stop bits, "PWR ON" CR and "OFF" CR.
const QByteArray room_file = "19200\r\n7\r\n\"EVEN\"\r\n2\r\n\"50 57 52 20 4F 4E 0D \"\r\n"
                             "\"4F 46 46 0D \"\r\n";

// The title for a file in the fixture's folder: the temporary folder lies two levels deep or
// more, so only its last folder is shown.
QString title_in(const WindowFixture &f, const QString &name)
{
    return plain_title + u" /.../"_s + QFileInfo(f.dir()).fileName() + u'/' + name;
}

QStringList shown_lists(const Ui::frm_main *ui)
{
    return { ui->cbo_proj_baudrate->currentText(), ui->cbo_proj_databit->currentText(),
        ui->cbo_proj_parity->currentText(), ui->cbo_proj_stopbit->currentText() };
}

QStringList boxes(const Ui::frm_main *ui)
{
    return { ui->txt_proj_disp_on_text->text(), ui->txt_proj_disp_on_hex->text(),
        ui->txt_proj_disp_off_text->text(), ui->txt_proj_disp_off_hex->text() };
}

const QStringList room_lists = { u"19200"_s, u"7"_s, u"Even"_s, u"2"_s };
const QStringList room_boxes
    = { u"PWR ON\x08"_s, u"50 57 52 20 4F 4E 0D "_s, u"OFF\x08"_s, u"4F 46 46 0D "_s };
const QStringList default_lists = { u"115200"_s, u"8"_s, u"None"_s, u"1.5"_s };

// Options for a window on the projector section that remembers the file name in its folder.
WindowFixture::Options remembering(const WindowFixture &f, const QString &name, int cmd_fmt = 0)
{
    WindowFixture::Options options;
    options.open_section = 0;
    options.cmd_fmt = cmd_fmt;
    options.proj_file = name.isEmpty() ? QString() : f.path(name);
    return options;
}

} // namespace

class TestProjectorFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void save_then_load_restores_all_six_settings_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<QString>("name");
        QTest::newRow("text view") << 0 << u"room1.ini"_s;
        QTest::newRow("hex view") << 1 << u"room1.ini"_s;
        QTest::newRow("name with spaces, comma and accent") << 0 << u"salle 1, été.ini"_s;
    }
    void save_then_load_restores_all_six_settings()
    {
        QFETCH(int, view);
        QFETCH(QString, name);
        WindowFixture f(projector_section(view));
        START_WINDOW(f);
        Ui::frm_main *ui = f.ui;
        ui->cbo_proj_baudrate->setCurrentIndex(2);
        ui->cbo_proj_databit->setCurrentIndex(2);
        ui->cbo_proj_parity->setCurrentIndex(2);
        ui->cbo_proj_stopbit->setCurrentIndex(2);
        if (view == 0) {
            ui->txt_proj_disp_on_text->setText(u"PWR ON"_s);
            ui->cmd_cr_disp_on->click();
            ui->txt_proj_disp_off_text->setText(u"OFF"_s);
            ui->cmd_cr_disp_off->click();
        } else {
            ui->txt_proj_disp_on_hex->setText(u"50 57 52 20 4f 4e 0d"_s);
            ui->txt_proj_disp_off_hex->setText(u"4F 46 46 0D "_s);
        }

        f.prompts.files = { f.path(name) };
        ui->cmd_save->click();
        QCOMPARE(f.read_file(name), room_file);
        QCOMPARE(f.window->windowTitle(), title_in(f, name));
        QCOMPARE(f.window->state().proj_file, f.path(name));

        // Change all six, then load the file again.
        ui->cbo_proj_baudrate->setCurrentIndex(0);
        ui->cbo_proj_databit->setCurrentIndex(0);
        ui->cbo_proj_parity->setCurrentIndex(0);
        ui->cbo_proj_stopbit->setCurrentIndex(0);
        for (QLineEdit *box : { ui->txt_proj_disp_on_text, ui->txt_proj_disp_on_hex,
                 ui->txt_proj_disp_off_text, ui->txt_proj_disp_off_hex })
            box->setText(u"7E"_s);
        f.prompts.files = { f.path(name) };
        ui->cmd_load->click();
        QCOMPARE(shown_lists(ui), room_lists);
        QCOMPARE(boxes(ui), room_boxes);
        QCOMPARE(f.prompts.texts(), QStringList());

        // The values behind the lists and the commands behind the boxes are back too.
        ui->cmd_proj_send->click();
        QCOMPARE(f.sent(),
            (QList<QByteArray> { "WP_DisplaySet[19200,7,E,2]$\r", "WP_DisplayOn[7,PWR ON\r]$\r",
                "WP_DisplayOff[4,OFF\r]$\r" }));
        f.close();
        QCOMPARE(f.prompts.texts(ScriptedPrompts::Kind::Question), QStringList());
    }

    void saved_file_holds_six_fields_one_per_line()
    {
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        f.ui->cbo_proj_baudrate->setCurrentIndex(1);
        f.ui->cbo_proj_stopbit->setCurrentIndex(0);
        f.ui->txt_proj_disp_on_hex->setText(u"50 57 52 0D"_s);
        f.prompts.files = { f.path(u"plain.ini"_s) };
        f.ui->cmd_save->click();
        QCOMPARE(f.read_file(u"plain.ini"_s),
            QByteArray("9600\r\n8\r\n\"NONE\"\r\n1\r\n\"50 57 52 0D \"\r\n\"\"\r\n"));
    }

    void loaded_hex_that_is_not_hex_empties_the_command()
    {
        WindowFixture f(projector_section());
        f.write_file(u"bad_hex.ini"_s, "9600\r\n8\r\n\"NONE\"\r\n1\r\n\"0G\"\r\n\"41 42\"\r\n");
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_text->setText(u"before"_s);
        f.prompts.files = { f.path(u"bad_hex.ini"_s) };
        f.ui->cmd_load->click();
        QCOMPARE(boxes(f.ui), (QStringList { QString(), QString(), u"AB"_s, u"41 42 "_s }));
    }

    void loaded_baud_without_entry_is_kept_and_sent()
    {
        WindowFixture f(projector_section());
        f.write_file(u"slow.ini"_s, "4800\r\n8\r\n\"NONE\"\r\n1\r\n\"41 \"\r\n\"42 \"\r\n");
        START_WINDOW(f);
        f.prompts.files = { f.path(u"slow.ini"_s) };
        f.ui->cmd_load->click();
        QCOMPARE(shown_lists(f.ui), (QStringList { u"115200"_s, u"8"_s, u"None"_s, u"1"_s }));
        f.ui->cmd_proj_send->click();
        QVERIFY(!f.sent().isEmpty());
        QCOMPARE(f.sent().first(), QByteArray("WP_DisplaySet[4800,8,N,1]$\r"));
        f.close();
        QCOMPARE(f.prompts.texts(ScriptedPrompts::Kind::Question), QStringList());
    }

    void start_up_loads_the_remembered_file_data()
    {
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("on_disk");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("file present") << u"room1.ini"_s << u"room1.ini"_s << true;
        QTest::newRow("no file remembered") << QString() << u"room1.ini"_s << false;
        QTest::newRow("file gone") << u"gone.ini"_s << u"room1.ini"_s << false;
        QTest::newRow("name differs in letter case") << u"room1.ini"_s << u"Room1.ini"_s << false;
    }
    void start_up_loads_the_remembered_file()
    {
        QFETCH(QString, remembered);
        QFETCH(QString, on_disk);
        QFETCH(bool, loaded);
        WindowFixture f;
        f.write_file(on_disk, room_file);
        f.write_settings(remembering(f, remembered));
        START_WINDOW(f);
        QCOMPARE(shown_lists(f.ui), loaded ? room_lists : default_lists);
        QCOMPARE(boxes(f.ui), loaded ? room_boxes : QStringList(4, QString()));
        QCOMPARE(f.window->windowTitle(), loaded ? title_in(f, remembered) : plain_title);
        QCOMPARE(f.sent(), QList<QByteArray>());

        // Without a file the exit asks; with the loaded file unchanged it does not.
        f.close();
        QCOMPARE(f.prompts.texts(ScriptedPrompts::Kind::Question),
            loaded ? QStringList() : QStringList { exit_question });
        // A remembered path that finds no file is kept for the next run.
        QVERIFY(f.read_file(u"KZ_ORBA_CTRL.ini"_s).contains(remembered.toLocal8Bit()));
    }

    void missing_file_defaults_send_one_and_a_half_stop_bits()
    {
        WindowFixture f(projector_section());
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_text->setText(u"ON"_s);
        f.ui->txt_proj_disp_off_text->setText(u"OFF"_s);
        f.ui->cmd_proj_send->click();
        QVERIFY(!f.sent().isEmpty());
        QCOMPARE(f.sent().first(), QByteArray("WP_DisplaySet[115200,8,N,1.5]$\r"));
    }

    void broken_remembered_file_ends_start_up_with_a_report()
    {
        WindowFixture f;
        f.write_file(u"short.ini"_s, "9600\r\n8\r\n\"NONE\"\r\n1\r\n\"41 \"\r\n");
        f.write_settings(remembering(f, u"short.ini"_s));
        QString why;
        QVERIFY(!f.start(&why));
        QVERIFY2(why.contains(f.path(u"short.ini"_s)), qPrintable(why));
        QVERIFY2(why.contains(u"ends after 5"_s), qPrintable(why));
    }

    void load_of_a_broken_file_changes_nothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("five fields") << QByteArray("9600\r\n8\r\n\"NONE\"\r\n1\r\n\"41 \"\r\n");
        QTest::newRow("baud not a number")
            << QByteArray("fast\r\n8\r\n\"NONE\"\r\n1\r\n\"41 \"\r\n\"42 \"\r\n");
        QTest::newRow("stop bits not a number")
            << QByteArray("9600\r\n8\r\n\"NONE\"\r\nx\r\n\"41 \"\r\n\"42 \"\r\n");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("10 MB of zero bytes") << QByteArray(10 * 1024 * 1024, '\0');
        QTest::newRow("10 MB parity field") << "9600\r\n8\r\n\"" + QByteArray(10 * 1024 * 1024, 'N')
                + "\"\r\n1\r\n\"\"\r\n\"\"\r\n";
        QTest::newRow("10 MB hex field without closing quote")
            << "9600\r\n8\r\n\"NONE\"\r\n1\r\n\"" + QByteArray("41 ").repeated(3500000);
        QTest::newRow("escape sequence in the baud rate")
            << QByteArray("\x1b[2J\x1b[31m9600\r\n8\r\n\"NONE\"\r\n1\r\n\"\"\r\n\"\"\r\n");
    }
    void load_of_a_broken_file_changes_nothing()
    {
        QFETCH(QByteArray, content);
        WindowFixture f;
        f.write_file(u"room1.ini"_s, room_file);
        f.write_file(u"broken.ini"_s, content);
        f.write_settings(remembering(f, u"room1.ini"_s));
        START_WINDOW(f);

        f.prompts.files = { f.path(u"broken.ini"_s) };
        f.ui->cmd_load->click();
        const QStringList messages = f.prompts.texts();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().startsWith(f.path(u"broken.ini"_s) + u" cannot be loaded"_s),
            qPrintable(messages.first()));
        QVERIFY(messages.first().endsWith(u" !"_s));
        // A bad field is quoted shortly, with no control character left as it is.
        const QString why = messages.first().mid(f.path(u"broken.ini"_s).size());
        QVERIFY2(why.size() < 300, qPrintable(why.left(400)));
        QVERIFY2(std::none_of(why.begin(), why.end(), [](QChar c) { return c.unicode() < 0x20; }),
            qPrintable(why));
        QCOMPARE(f.prompts.shown.last().icon, Prompts::Icon::Critical);
        QCOMPARE(shown_lists(f.ui), room_lists);
        QCOMPARE(boxes(f.ui), room_boxes);
        QCOMPARE(f.window->windowTitle(), title_in(f, u"room1.ini"_s));
        QCOMPARE(f.window->state().proj_file, f.path(u"room1.ini"_s));
        // Still the old file's settings: nothing to save at exit.
        f.close();
        QCOMPARE(f.prompts.texts(ScriptedPrompts::Kind::Question), QStringList());
    }

    void file_with_a_byte_order_mark_loads()
    {
        WindowFixture f(projector_section());
        START_WINDOW(f);
        f.write_file(u"room1.ini"_s, "\xEF\xBB\xBF" + room_file);
        f.prompts.files = { f.path(u"room1.ini"_s) };
        f.ui->cmd_load->click();
        QCOMPARE(f.prompts.texts(), QStringList());
        QCOMPARE(shown_lists(f.ui), room_lists);
        QCOMPARE(boxes(f.ui), room_boxes);
    }

    void load_of_a_name_that_does_not_exist_changes_nothing()
    {
        WindowFixture f(projector_section());
        START_WINDOW(f);
        const QString typed = f.path(u"nope.ini"_s);
        f.prompts.files = { typed };
        f.ui->cmd_load->click();
        QCOMPARE(f.prompts.texts(), QStringList { typed + u" Not Exist !"_s });
        QCOMPARE(f.prompts.shown.last().icon, Prompts::Icon::Critical);
        QCOMPARE(f.window->state().proj_file, QString());
        QCOMPARE(f.window->windowTitle(), plain_title);
        QCOMPARE(shown_lists(f.ui), default_lists);
    }

    void dialogs_open_on_the_current_file_data()
    {
        QTest::addColumn<bool>("with_file");
        QTest::newRow("file in use") << true;
        QTest::newRow("no file in use") << false;
    }
    void dialogs_open_on_the_current_file()
    {
        QFETCH(bool, with_file);
        WindowFixture f;
        QTemporaryDir elsewhere;
        const QString current = QDir(elsewhere.path()).filePath(u"room1.ini"_s);
        QFile file(current);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(room_file);
        file.close();
        WindowFixture::Options options = projector_section();
        options.proj_file = with_file ? current : QString();
        f.write_settings(options);
        START_WINDOW(f);

        f.ui->cmd_load->click(); // cancelled: no answer queued
        f.ui->cmd_save->click(); // cancelled
        QCOMPARE(f.prompts.shown.size(), 2);
        const Prompts::FileRequest load = f.prompts.shown[0].request;
        const Prompts::FileRequest save = f.prompts.shown[1].request;
        const QStringList filters = { u"Projector INI (*.ini)"_s, u"*.* (*)"_s };
        QCOMPARE(load.title, u"Load File"_s);
        QVERIFY(!load.save);
        QCOMPARE(load.filters, filters);
        QCOMPARE(load.file_name, QString());
        QCOMPARE(save.title, u"Save File"_s);
        QVERIFY(save.save);
        QCOMPARE(save.filters, filters);
        const QString folder = with_file ? elsewhere.path() : f.dir();
        QCOMPARE(QDir::cleanPath(load.folder), QDir::cleanPath(folder));
        QCOMPARE(QDir::cleanPath(save.folder), QDir::cleanPath(folder));
        QCOMPARE(save.file_name, with_file ? current : QString());
        // Cancelling changed nothing.
        QCOMPARE(f.window->state().proj_file, with_file ? current : QString());
        QCOMPARE(shown_lists(f.ui), with_file ? room_lists : default_lists);
    }

    void overwrite_question_data()
    {
        QTest::addColumn<QList<Prompts::Answer>>("answers");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<bool>("written");
        using A = Prompts::Answer;
        QTest::newRow("yes") << QList<A> { A::Yes } << 1 << true;
        QTest::newRow("no shows the dialog again, then cancel") << QList<A> { A::No } << 2 << false;
        QTest::newRow("no, then yes") << QList<A> { A::No, A::Yes } << 2 << true;
        QTest::newRow("cancel") << QList<A> { A::Cancel } << 1 << false;
    }
    void overwrite_question()
    {
        QFETCH(QList<Prompts::Answer>, answers);
        QFETCH(int, dialogs);
        QFETCH(bool, written);
        WindowFixture f(projector_section());
        f.write_file(u"old.ini"_s, "old content");
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_text->setText(u"A"_s);
        const QString target = f.path(u"old.ini"_s);
        // The second dialog, when there is one, is given the same file, or cancelled.
        f.prompts.files = { target };
        if (answers.size() > 1)
            f.prompts.files << target;
        f.prompts.answers = answers;

        f.ui->cmd_save->click();
        QList<Prompts::FileRequest> requests;
        QStringList questions;
        for (const ScriptedPrompts::Shown &shown : f.prompts.shown) {
            if (shown.kind == ScriptedPrompts::Kind::File)
                requests << shown.request;
            if (shown.kind == ScriptedPrompts::Kind::Question) {
                questions << shown.text;
                QCOMPARE(shown.icon, Prompts::Icon::None);
            }
        }
        QCOMPARE(requests.size(), dialogs);
        QCOMPARE(questions.first(), target + u" Overwrite file ?"_s);
        for (const Prompts::FileRequest &request : requests) {
            QCOMPARE(request.file_name, requests.first().file_name);
            QCOMPARE(request.folder, requests.first().folder);
        }
        QCOMPARE(f.read_file(u"old.ini"_s) != "old content", written);
        QCOMPARE(f.window->state().proj_file, written ? target : QString());
        QCOMPARE(f.window->windowTitle(), written ? title_in(f, u"old.ini"_s) : plain_title);
    }

    void failed_save_is_reported_and_keeps_the_old_file_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("target");
        QTest::newRow("disk full while writing") << u"file size"_s << u"room1.ini"_s;
        QTest::newRow("new file cannot be created") << u"descriptors"_s << u"room1.ini"_s;
        QTest::newRow("folder does not exist") << QString() << u"no such folder/room2.ini"_s;
    }
    void failed_save_is_reported_and_keeps_the_old_file()
    {
        QFETCH(QString, fault);
        QFETCH(QString, target);
        WindowFixture f;
        f.write_file(u"room1.ini"_s, room_file);
        f.write_settings(remembering(f, u"room1.ini"_s));
        START_WINDOW(f);
        f.ui->cbo_proj_baudrate->setCurrentIndex(0);
        f.prompts.files = { f.path(target) };
        f.prompts.answers = { Prompts::Answer::Yes };
        // The fault starts once the operator has agreed to overwrite, just before the write.
        std::optional<ResourceLimit> limit;
        f.prompts.on_show = [&](const ScriptedPrompts::Shown &shown) {
            if (shown.kind != ScriptedPrompts::Kind::Question)
                return;
            if (fault == u"file size"_s)
                limit.emplace(RLIMIT_FSIZE, 8);
            else if (fault == u"descriptors"_s)
                limit.emplace(RLIMIT_NOFILE, ResourceLimit::next_descriptor());
        };
        f.ui->cmd_save->click();
        limit.reset();
        f.prompts.on_show = {};

        const QStringList messages = f.prompts.texts();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().startsWith(f.path(target) + u" cannot be saved"_s),
            qPrintable(messages.first()));
        QVERIFY(messages.first().endsWith(u" !"_s));
        QCOMPARE(f.read_file(u"room1.ini"_s), room_file);
        // No half-written file is left beside it.
        QCOMPARE(QDir(f.dir()).entryList({ u"room*"_s, u".*"_s }, QDir::Files | QDir::Hidden),
            QStringList { u"room1.ini"_s });
        QCOMPARE(f.window->state().proj_file, f.path(u"room1.ini"_s));
        QCOMPARE(f.window->windowTitle(), title_in(f, u"room1.ini"_s));
    }

    void exit_asks_only_when_the_settings_differ_from_the_file_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("asks");
        QTest::newRow("nothing changed") << 0 << QString() << false;
        QTest::newRow("nothing changed, hex view") << 1 << QString() << false;
        QTest::newRow("hex letter case only") << 1 << u"hex case"_s << false;
        QTest::newRow("hex spacing only") << 1 << u"hex spacing"_s << false;
        QTest::newRow("baud rate") << 0 << u"baud"_s << true;
        QTest::newRow("stop bits") << 0 << u"stop"_s << true;
        QTest::newRow("display text") << 0 << u"text"_s << true;
        QTest::newRow("file deleted") << 0 << u"delete"_s << true;
    }
    void exit_asks_only_when_the_settings_differ_from_the_file()
    {
        QFETCH(int, view);
        QFETCH(QString, change);
        QFETCH(bool, asks);
        WindowFixture f;
        f.write_file(u"room1.ini"_s, room_file);
        f.write_settings(remembering(f, u"room1.ini"_s, view));
        START_WINDOW(f);
        if (change == u"hex case"_s)
            f.ui->txt_proj_disp_on_hex->setText(u"50 57 52 20 4f 4e 0d "_s);
        else if (change == u"hex spacing"_s)
            f.ui->txt_proj_disp_on_hex->setText(u" 50 57 52 20 4F 4E 0D"_s);
        else if (change == u"baud"_s)
            f.ui->cbo_proj_baudrate->setCurrentIndex(1);
        else if (change == u"stop"_s)
            f.ui->cbo_proj_stopbit->setCurrentIndex(1);
        else if (change == u"text"_s)
            f.ui->txt_proj_disp_off_text->setText(u"OFF"_s);
        else if (change == u"delete"_s)
            QVERIFY(QFile::remove(f.path(u"room1.ini"_s)));

        f.close();
        const QStringList questions = f.prompts.texts(ScriptedPrompts::Kind::Question);
        QCOMPARE(questions, asks ? QStringList { exit_question } : QStringList());
        if (asks)
            QCOMPARE(f.prompts.shown.first().icon, Prompts::Icon::Question);
    }

    void answering_yes_at_exit_saves_and_remembers_the_file()
    {
        WindowFixture f(projector_section());
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_text->setText(u"ON"_s);
        f.prompts.answers = { Prompts::Answer::Yes };
        f.prompts.files = { f.path(u"new.ini"_s) };
        f.close();
        QCOMPARE(f.prompts.texts(ScriptedPrompts::Kind::Question), QStringList { exit_question });
        QCOMPARE(f.read_file(u"new.ini"_s),
            QByteArray("115200\r\n8\r\n\"NONE\"\r\n1.5\r\n\"4F 4E \"\r\n\"\"\r\n"));
        QVERIFY(f.read_file(u"KZ_ORBA_CTRL.ini"_s).contains(f.path(u"new.ini"_s).toLocal8Bit()));
    }
};

QTEST_MAIN(TestProjectorFile)
#include "test_projector_file.moc"
