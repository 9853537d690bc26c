// Checks the window form against the window's layout: names the handler classes rely on, kinds,
// captions, twip geometry, fonts, colours, limits, and the pictures the form and window load.
#include "ui_frm_main.h"

#include <QApplication>
#include <QImageReader>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Twips to pixels at 96 dpi, rounding halves up as the layout does.
int px(int twips)
{
    return (twips * 2 + 15) / 30;
}

QRect twip_rect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

QString caption_of(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    return {};
}

} // namespace

// Loads the form once onto a plain widget, shown, so that its style sheet has been applied.
class TestForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void control_data();
    void control();
    void unplaced_label_data();
    void unplaced_label();
    void never_shown_buttons_are_left_out_data();
    void never_shown_buttons_are_left_out();
    void window_size();
    void font_data();
    void font();
    void command_box_keeps_the_font_code_gives_it();
    void colours();
    void buttons_share_the_window_grey();
    void text_limits_data();
    void text_limits();
    void lists_are_not_editable();
    void receive_log_is_read_only_with_a_scroll_bar();
    void format_options_exclude_each_other();
    void compiled_picture_data();
    void compiled_picture();
    void form_pictures_are_loaded();
    void ball_file_data();
    void ball_file();
    void siblings_overlap_only_where_meant();

private:
    QWidget *find(const QString &name) const { return window_->findChild<QWidget *>(name); }

    QWidget *window_ = nullptr;
    Ui::frm_main ui_;
};

void TestForm::initTestCase()
{
    window_ = new QWidget;
    ui_.setupUi(window_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
}

void TestForm::cleanupTestCase()
{
    delete window_;
}

void TestForm::control_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");

    auto row = [](const char *name, const char *kind, const char *parent, QRect geometry,
                   const QString &caption) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind)
                            << QString::fromLatin1(parent) << geometry << caption;
    };
    const char *top = "frm_main";
    row("Image1", "QLabel", top, twip_rect(60, 90, 2085, 705), u""_s);
    row("fra_rs232_port", "QGroupBox", top, twip_rect(2250, 0, 5565, 795),
        u"KZ-ORBA-320-RX RS232 Port"_s);
    row("cmd_conn_0", "QPushButton", "fra_rs232_port", twip_rect(120, 300, 1335, 375),
        u"Connect"_s);
    row("cmd_conn_1", "QPushButton", "fra_rs232_port", twip_rect(1500, 300, 1335, 375),
        u"Disconnect"_s);
    row("cbo_com", "QComboBox", "fra_rs232_port", twip_rect(2880, 300, 1155, 360), u""_s);
    row("lab_wprx_rs232", "QLabel", "fra_rs232_port", twip_rect(4110, 360, 1335, 345),
        u"115200,8,N,1"_s);
    row("img_ball_proj", "QLabel", top, twip_rect(90, 930, 405, 375), u""_s);
    row("lab_title_proj", "QLabel", top, twip_rect(510, 990, 1245, 375), u"Projector"_s);
    row("img_ball_orba", "QLabel", top, twip_rect(1860, 930, 405, 375), u""_s);
    row("lab_title_orba", "QLabel", top, twip_rect(2280, 990, 1995, 405), u"ORBA Receiver"_s);
    row("img_ball_panel", "QLabel", top, twip_rect(4320, 930, 405, 375), u""_s);
    row("lab_title_panel", "QLabel", top, twip_rect(4740, 990, 1995, 405), u"Control Panel"_s);

    // Section containers: the Projector and receiver sections start at the same top.
    row("fra_proj", "QGroupBox", top, twip_rect(90, 1440, 7755, 3015),
        u"Projector Command Settings"_s);
    row("fra_proj_ctrl", "QGroupBox", top, twip_rect(90, 4590, 7755, 1365),
        u"Projector Controls"_s);
    row("fra_wp_ctrl", "QGroupBox", top, twip_rect(90, 1440, 7755, 4125),
        u"ORBA Receiver Controls"_s);
    row("fra_picture", "QGroupBox", top, twip_rect(90, 5670, 7755, 1245), u"Picture Adjustments"_s);
    row("pic_panel", "QFrame", top, twip_rect(1148, 3210, 5625, 1455), u""_s);

    const char *proj = "fra_proj";
    row("cmd_load", "QPushButton", proj, twip_rect(120, 360, 1035, 375), u"Load"_s);
    row("cmd_save", "QPushButton", proj, twip_rect(1170, 360, 1035, 375), u"Save"_s);
    row("cmd_proj_send", "QPushButton", proj, twip_rect(5430, 270, 1095, 375), u"Send"_s);
    row("cmd_proj_read", "QPushButton", proj, twip_rect(6540, 270, 1095, 375), u"Read"_s);
    row("cbo_proj_baudrate", "QComboBox", proj, twip_rect(1470, 1110, 1275, 360), u""_s);
    row("cbo_proj_databit", "QComboBox", proj, twip_rect(2790, 1110, 1275, 360), u""_s);
    row("cbo_proj_parity", "QComboBox", proj, twip_rect(4110, 1110, 1275, 360), u""_s);
    row("cbo_proj_stopbit", "QComboBox", proj, twip_rect(5430, 1110, 1275, 360), u""_s);
    row("txt_proj_disp_on_text", "QLineEdit", proj, twip_rect(1260, 1950, 6075, 435), u""_s);
    row("txt_proj_disp_on_hex", "QLineEdit", proj, twip_rect(1260, 1950, 6435, 435), u""_s);
    row("cmd_cr_disp_on", "QPushButton", proj, twip_rect(7350, 1950, 345, 435), u""_s);
    row("txt_proj_disp_off_text", "QLineEdit", proj, twip_rect(1260, 2460, 6075, 435), u""_s);
    row("txt_proj_disp_off_hex", "QLineEdit", proj, twip_rect(1260, 2460, 6435, 435), u""_s);
    row("cmd_cr_disp_off", "QPushButton", proj, twip_rect(7350, 2460, 345, 435), u""_s);

    const char *ctrl = "fra_proj_ctrl";
    row("cbo_auto_on", "QComboBox", ctrl, twip_rect(1740, 330, 1875, 360), u""_s);
    row("cbo_auto_off", "QComboBox", ctrl, twip_rect(1740, 870, 1875, 360), u""_s);
    row("cbo_projsw", "QComboBox", ctrl, twip_rect(5790, 870, 1875, 360), u""_s);
    row("cmd_read_proj", "QPushButton", ctrl, twip_rect(6540, 300, 1095, 375), u"Read"_s);

    const char *wp = "fra_wp_ctrl";
    row("cbo_input", "QComboBox", wp, twip_rect(1950, 360, 1875, 360), u""_s);
    row("cbo_in_prefer", "QComboBox", wp, twip_rect(1950, 870, 1875, 360), u""_s);
    row("cbo_output", "QComboBox", wp, twip_rect(1950, 1380, 1875, 360), u""_s);
    row("cbo_aspect", "QComboBox", wp, twip_rect(1950, 1890, 1875, 360), u""_s);
    row("cmd_vga_auto", "QPushButton", wp, twip_rect(1950, 2400, 1875, 375), u"Start"_s);
    row("cbo_disp_mode", "QComboBox", wp, twip_rect(5760, 870, 1875, 360), u""_s);
    row("cbo_display", "QComboBox", wp, twip_rect(5760, 1380, 1875, 360), u""_s);
    row("cbo_hdcp_in", "QComboBox", wp, twip_rect(5760, 1890, 1875, 360), u""_s);
    row("cbo_standby", "QComboBox", wp, twip_rect(5760, 2400, 1875, 360), u""_s);
    row("cmd_sys_rst", "QPushButton", wp, twip_rect(4770, 360, 1725, 375), u"System Reset"_s);
    row("cmd_ctrl_read", "QPushButton", wp, twip_rect(6540, 360, 1095, 375), u"Read"_s);
    row("cbo_overscan_en", "QComboBox", wp, twip_rect(1080, 3150, 885, 360), u""_s);
    row("cbo_overscan_h", "QComboBox", wp, twip_rect(2010, 3150, 885, 360), u""_s);
    row("cbo_overscan_v", "QComboBox", wp, twip_rect(2940, 3150, 885, 360), u""_s);
    row("cbo_audio_en", "QComboBox", wp, twip_rect(4890, 3150, 885, 360), u""_s);
    row("cbo_audio_hdmi", "QComboBox", wp, twip_rect(5820, 3150, 885, 360), u""_s);
    row("cbo_audio_lr", "QComboBox", wp, twip_rect(6750, 3150, 885, 360), u""_s);
    row("cbo_baudrate", "QComboBox", wp, twip_rect(1950, 3630, 1875, 360), u""_s);
    row("cmd_info", "QPushButton", wp, twip_rect(4530, 3630, 615, 375), u"Get"_s);
    // 45 twips narrower than designed, so that "RX" stands clear of it.
    row("lab_fw_ver_tx", "QLabel", wp, twip_rect(5520, 3660, 840, 315), u""_s);
    row("lab_fw_ver_rx", "QLabel", wp, twip_rect(6750, 3660, 885, 315), u""_s);

    const char *pic = "fra_picture";
    row("cbo_pic_bri", "QComboBox", pic, twip_rect(1230, 330, 885, 360), u""_s);
    row("cbo_pic_con", "QComboBox", pic, twip_rect(3210, 330, 885, 360), u""_s);
    row("cbo_pic_sat", "QComboBox", pic, twip_rect(5460, 330, 885, 360), u""_s);
    row("cbo_pic_sha", "QComboBox", pic, twip_rect(1230, 750, 885, 360), u""_s);
    row("cbo_pic_hue", "QComboBox", pic, twip_rect(3210, 750, 885, 360), u""_s);
    row("cmd_pic_read", "QPushButton", pic, twip_rect(6540, 330, 1095, 375), u"Read"_s);
    row("cmd_pic_rst", "QPushButton", pic, twip_rect(5460, 750, 885, 375), u"Reset"_s);

    const char *panel = "pic_panel";
    row("cmd_btn_menu", "QPushButton", panel, twip_rect(630, 270, 1365, 615), u""_s);
    row("cmd_btn_minus", "QPushButton", panel, twip_rect(2070, 270, 1365, 615), u""_s);
    row("cmd_btn_plus", "QPushButton", panel, twip_rect(3510, 270, 1365, 615), u""_s);
    row("lab_panel", "QLabel", panel, twip_rect(720, 930, 4125, 345),
        u"       J              K              L"_s);

    // The receive-log group below the designed client area.
    row("txt_rx", "QPlainTextEdit", top, twip_rect(30, 8040, 7365, 1965), u""_s);
    row("cmd_clear", "QPushButton", top, twip_rect(7440, 8760, 435, 705), u"C"_s);
    row("chk_auto", "QCheckBox", top, twip_rect(7560, 9510, 285, 255), u""_s);
    row("Label1", "QLabel", top, twip_rect(7440, 9780, 435, 375), u"Auto"_s);

    // Failure labels at their given corners.
    row("lab_proj_reply", "QLabel", proj, QRect(px(4260), px(360), -1, -1), u"Read fail !"_s);
    row("lab_ctrl_reply", "QLabel", wp, QRect(px(5340), px(150), -1, -1), u"Read fail !"_s);
    row("lab_pic_reply", "QLabel", pic, QRect(px(6600), px(840), -1, -1), u"Read fail !"_s);
    // Option buttons at their given corners.
    row("opt_cmd_fmt_0", "QRadioButton", proj, QRect(px(1260), px(1650), -1, -1), u"Text"_s);
    row("opt_cmd_fmt_1", "QRadioButton", proj, QRect(px(2130), px(1650), -1, -1), u"Hex"_s);
}

void TestForm::control()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);

    QWidget *w = find(name);
    QVERIFY2(w, qPrintable(name + u" is missing"_s));
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), kind);
    QVERIFY(w->parentWidget());
    QCOMPARE(w->parentWidget()->objectName(), parent);
    if (geometry.width() < 0)
        QCOMPARE(w->pos(), geometry.topLeft());
    else
        QCOMPARE(w->geometry(), geometry);
    QCOMPARE(caption_of(w), caption);
}

void TestForm::unplaced_label_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    // Labels whose row but not geometry is given: their caption, runs of spaces included.
    const struct
    {
        const char *name, *parent;
        QString caption;
    } rows[] = {
        { "lab_proj_port", "fra_proj",
            u"RS232 Port     Baud Rate     Data Bit        Parity       Stop Bit"_s },
        { "lab_proj_disp_on", "fra_proj", u"Display On"_s },
        { "lab_proj_disp_off", "fra_proj", u"Display Off"_s },
        { "lab_auto_on", "fra_proj_ctrl", u"Auto Display On"_s },
        { "lab_auto_off", "fra_proj_ctrl", u"Auto Display Off"_s },
        { "lab_projsw", "fra_proj_ctrl", u"ProjSW Mode"_s },
        { "lab_second", "fra_proj_ctrl", u"(sec.)"_s },
        { "lab_input", "fra_wp_ctrl", u"Input Source"_s },
        { "lab_in_prefer", "fra_wp_ctrl", u"Input Resolution"_s },
        { "lab_output", "fra_wp_ctrl", u"Output Resolution"_s },
        { "lab_aspect", "fra_wp_ctrl", u"Aspect"_s },
        { "lab_vga_auto", "fra_wp_ctrl", u"VGA Auto Adjust"_s },
        { "lab_disp_mode", "fra_wp_ctrl", u"Display Mode"_s },
        { "lab_display", "fra_wp_ctrl", u"Display On/Off"_s },
        { "lab_hdcp_in", "fra_wp_ctrl", u"Display HDCP"_s },
        { "lab_standby", "fra_wp_ctrl", u"Auto Off"_s },
        { "lab_minute", "fra_wp_ctrl", u"(sec.)"_s },
        { "lab_overscan", "fra_wp_ctrl", u"Overscan  Enable      H%        V%"_s },
        { "lab_audio", "fra_wp_ctrl", u"Audio  On/Off     HDMI       L/R"_s },
        { "lab_baudrate", "fra_wp_ctrl", u"ORBA TX Baudrate"_s },
        { "lab_info", "fra_wp_ctrl", u"FW          TX             RX"_s },
        { "lab_pic1", "fra_picture",
            u"Brightness               Contrast                Saturation"_s },
        { "lab_pic2", "fra_picture", u"Sharpness                     Hue"_s },
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromLatin1(r.parent)
                              << r.caption;
}

void TestForm::unplaced_label()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QString, caption);

    auto *label = window_->findChild<QLabel *>(name);
    QVERIFY2(label, qPrintable(name + u" is missing"_s));
    QCOMPARE(label->parentWidget()->objectName(), parent);
    QCOMPARE(label->text(), caption);
    // One-line labels are 285 twips high and lie inside their frame.
    QCOMPARE(label->height(), px(285));
    QVERIFY(label->parentWidget()->rect().contains(label->geometry()));
}

void TestForm::never_shown_buttons_are_left_out_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : { "cmd_send_port", "cmd_read_port", "cmd_send_disp_on",
             "cmd_send_disp_off", "cmd_read_disp_on", "cmd_read_disp_off" })
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestForm::never_shown_buttons_are_left_out()
{
    QFETCH(QString, name);
    QVERIFY(!find(name));
}

void TestForm::window_size()
{
    // The client area is 7920 by 6990 twips; the receive log reaches below it to Label1's bottom.
    QCOMPARE(window_->width(), px(7920));
    QCOMPARE(window_->height(), px(9780 + 375));
    QVERIFY(ui_.fra_picture->geometry().bottom() < px(6990));
    QVERIFY(ui_.txt_rx->y() >= px(6990));
}

void TestForm::font_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");

    auto row = [](const char *tag, const char *name, const char *family, qreal points, bool bold) {
        QTest::newRow(tag) << QString::fromLatin1(name) << QString::fromLatin1(family) << points
                           << bold;
    };
    row("plain label", "lab_input", "Verdana", 9.75, false);
    row("label in the top row", "lab_wprx_rs232", "Verdana", 9.75, false);
    row("plain button", "cmd_load", "Verdana", 9.75, false);
    row("list", "cbo_aspect", "Verdana", 9.75, false);
    row("option", "opt_cmd_fmt_1", "Verdana", 9.75, false);
    row("frame caption", "fra_proj", "Verdana", 9.75, true);
    row("port frame caption", "fra_rs232_port", "Verdana", 9.75, true);
    row("section title", "lab_title_orba", "Verdana", 11.25, true);
    row("projector send", "cmd_proj_send", "Verdana", 12, true);
    row("projector read", "cmd_proj_read", "Verdana", 12, true);
    row("behaviour read", "cmd_read_proj", "Verdana", 12, true);
    row("receiver read", "cmd_ctrl_read", "Verdana", 12, true);
    row("picture read", "cmd_pic_read", "Verdana", 12, true);
    row("picture reset", "cmd_pic_rst", "Verdana", 9.75, false);
    row("seconds unit", "lab_second", "Verdana", 8.25, false);
    row("auto-off unit", "lab_minute", "Verdana", 8.25, false);
    row("auto caption", "Label1", "Verdana", 8.25, true);
    row("key letters", "lab_panel", "Verdana", 12, false);
    row("disconnect", "cmd_conn_1", "Arial", 9.75, false);
    row("connect", "cmd_conn_0", "Verdana", 9.75, false);
    row("port list", "cbo_com", "Arial", 9.75, false);
    row("receive log", "txt_rx", "Fixedsys", 12, false);
    row("clear", "cmd_clear", "Fixedsys", 12, false);
    row("failure label", "lab_ctrl_reply", "Verdana", 9.75, true);
}

void TestForm::font()
{
    QFETCH(QString, name);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(bool, bold);

    QWidget *w = find(name);
    QVERIFY(w);
    w->ensurePolished();
    QCOMPARE(w->font().family(), family);
    QCOMPARE(w->font().pointSizeF(), points);
    QCOMPARE(w->font().bold(), bold);
}

void TestForm::command_box_keeps_the_font_code_gives_it()
{
    // Start-up gives the command boxes a font of their own; their frame's bold caption must not
    // turn them bold, and the window's rules must not replace the family.
    for (QLineEdit *box : { ui_.txt_proj_disp_on_text, ui_.txt_proj_disp_off_hex }) {
        const QFont before = box->font();
        box->setFont(QFont(u"DotumChe"_s, 12));
        box->ensurePolished();
        QCOMPARE(box->font().family(), u"DotumChe"_s);
        QCOMPARE(box->font().pointSize(), 12);
        QVERIFY(!box->font().bold());
        box->setFont(before);
    }
}

void TestForm::colours()
{
    const QColor dark_red(192, 0, 0);
    for (QLabel *fail : { ui_.lab_proj_reply, ui_.lab_ctrl_reply, ui_.lab_pic_reply }) {
        fail->ensurePolished();
        QCOMPARE(fail->palette().color(QPalette::WindowText), dark_red);
    }
    for (QLabel *version : { ui_.lab_fw_ver_tx, ui_.lab_fw_ver_rx }) {
        version->setText(u"1.0.5"_s);
        const QImage image = version->grab().toImage();
        // Darker than the designed grey (128), for 4.9:1 contrast with the white text.
        QCOMPARE(QColor(image.pixel(1, 1)), QColor(112, 112, 112));
        QCOMPARE(version->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        bool has_white = false;
        for (int y = 0; y < image.height() && !has_white; ++y)
            for (int x = 0; x < image.width() && !has_white; ++x)
                has_white = QColor(image.pixel(x, y)) == QColor(255, 255, 255);
        QVERIFY2(has_white, "the version text is not drawn in white");
        version->clear();
    }
    // An empty corner of the window shows its background.
    const QImage window = window_->grab(QRect(px(7920) - 4, px(6990) - 4, 2, 2)).toImage();
    QCOMPARE(QColor(window.pixel(0, 0)), QColor(192, 192, 192));
}

void TestForm::buttons_share_the_window_grey()
{
    const auto buttons = window_->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 19);
    for (QPushButton *b : buttons) {
        b->ensurePolished();
        QVERIFY2(b->palette().color(QPalette::Button) == QColor(192, 192, 192),
            qPrintable(b->objectName()));
    }
    // A colour given to one button by code shows, and leaves its neighbour grey.
    QPalette green = ui_.cmd_conn_0->palette();
    green.setColor(QPalette::Button, QColor(0, 192, 0));
    ui_.cmd_conn_0->setPalette(green);
    QCOMPARE(ui_.cmd_conn_0->palette().color(QPalette::Button), QColor(0, 192, 0));
    QCOMPARE(ui_.cmd_conn_1->palette().color(QPalette::Button), QColor(192, 192, 192));
    green.setColor(QPalette::Button, QColor(192, 192, 192));
    ui_.cmd_conn_0->setPalette(green);
}

void TestForm::text_limits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("limit");
    QTest::newRow("display-on text") << u"txt_proj_disp_on_text"_s << 50;
    QTest::newRow("display-off text") << u"txt_proj_disp_off_text"_s << 50;
    QTest::newRow("display-on hex") << u"txt_proj_disp_on_hex"_s << 150;
    QTest::newRow("display-off hex") << u"txt_proj_disp_off_hex"_s << 150;
}

void TestForm::text_limits()
{
    QFETCH(QString, name);
    QFETCH(int, limit);
    auto *box = window_->findChild<QLineEdit *>(name);
    QVERIFY(box);
    QCOMPARE(box->maxLength(), limit);
    // Text set by code is cut to the limit too.
    box->setText(QString(limit + 7, u'A'));
    QCOMPARE(box->text().size(), limit);
    box->clear();
}

void TestForm::lists_are_not_editable()
{
    const auto lists = window_->findChildren<QComboBox *>();
    QCOMPARE(lists.size(), 28);
    for (QComboBox *list : lists) {
        QVERIFY2(!list->isEditable(), qPrintable(list->objectName()));
        QVERIFY2(list->focusPolicy() & Qt::TabFocus, qPrintable(list->objectName()));
        QCOMPARE(list->height(), px(360));
    }
}

void TestForm::receive_log_is_read_only_with_a_scroll_bar()
{
    QVERIFY(ui_.txt_rx->isReadOnly());
    QCOMPARE(ui_.txt_rx->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(ui_.chk_auto->text().isEmpty());
}

void TestForm::format_options_exclude_each_other()
{
    QCOMPARE(ui_.opt_cmd_fmt_0->parentWidget(), ui_.opt_cmd_fmt_1->parentWidget());
    const auto options = ui_.opt_cmd_fmt_0->parentWidget()->findChildren<QRadioButton *>();
    QCOMPARE(options.size(), 2);
    ui_.opt_cmd_fmt_1->setChecked(true);
    ui_.opt_cmd_fmt_0->setChecked(true);
    QVERIFY(!ui_.opt_cmd_fmt_1->isChecked());
}

void TestForm::compiled_picture_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("logo") << u":/images/logo.png"_s << QSize(139, 47);
    QTest::newRow("menu key") << u":/images/key_menu.png"_s << QSize(90, 40);
    QTest::newRow("minus key") << u":/images/key_minus.png"_s << QSize(90, 40);
    QTest::newRow("plus key") << u":/images/key_plus.png"_s << QSize(90, 40);
    QTest::newRow("CR") << u":/images/cr.png"_s << QSize(21, 27);
}

void TestForm::compiled_picture()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QImageReader reader(path);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(path + u": "_s + reader.errorString()));
    QCOMPARE(image.size(), size);
    // A picture with something drawn on it, not a blank square.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    QVERIFY(colours.size() > 2);
}

void TestForm::form_pictures_are_loaded()
{
    QVERIFY(!ui_.Image1->pixmap().isNull());
    QVERIFY(ui_.Image1->hasScaledContents());
    for (QPushButton *key : { ui_.cmd_btn_menu, ui_.cmd_btn_minus, ui_.cmd_btn_plus }) {
        QVERIFY(key->text().isEmpty());
        QCOMPARE(key->iconSize(), QSize(90, 40));
        QCOMPARE(key->icon().pixmap(QSize(90, 40)).size(), QSize(90, 40));
    }
    // The three keys show three different faces.
    const QImage menu = ui_.cmd_btn_menu->icon().pixmap(QSize(90, 40)).toImage();
    const QImage minus = ui_.cmd_btn_minus->icon().pixmap(QSize(90, 40)).toImage();
    const QImage plus = ui_.cmd_btn_plus->icon().pixmap(QSize(90, 40)).toImage();
    QVERIFY(menu != minus && minus != plus && menu != plus);
    for (QPushButton *cr : { ui_.cmd_cr_disp_on, ui_.cmd_cr_disp_off }) {
        QVERIFY(cr->text().isEmpty());
        QVERIFY(!cr->icon().isNull());
    }
}

void TestForm::ball_file_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("red") << u"ball_red.gif"_s << QByteArray("gif");
    QTest::newRow("grey") << u"ball_gray.bmp"_s << QByteArray("bmp");
}

void TestForm::ball_file()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, format);
    QImageReader reader(QStringLiteral(KZ_DATA_DIR) + u'/' + file);
    QCOMPARE(reader.format(), format);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(27, 25));
    // The ball fills the middle; the corner is the window grey so the edge blends in.
    QCOMPARE(QColor(image.pixel(0, 0)), QColor(192, 192, 192));
    const QColor middle(image.pixel(13, 14));
    if (format == "gif")
        QVERIFY(middle.red() > 2 * middle.green() && middle.red() > 2 * middle.blue());
    else
        QVERIFY(middle.red() == middle.green() && middle.green() == middle.blue());
}

void TestForm::siblings_overlap_only_where_meant()
{
    // Pairs that share room on purpose: the three sections share the body area, the text box and
    // hex box of a command sit in one place with the CR button over the wider hex box, headings
    // reach a pixel into the lists below them, and the word-aligned labels run under the controls
    // that stand between their words.
    const QSet<QString> meant {
        u"fra_proj/fra_wp_ctrl"_s,
        u"fra_proj/pic_panel"_s,
        u"fra_proj_ctrl/fra_wp_ctrl"_s,
        u"fra_proj_ctrl/fra_picture"_s,
        u"fra_proj_ctrl/pic_panel"_s,
        u"fra_wp_ctrl/pic_panel"_s,
        u"txt_proj_disp_on_text/txt_proj_disp_on_hex"_s,
        u"txt_proj_disp_on_hex/cmd_cr_disp_on"_s,
        u"txt_proj_disp_off_text/txt_proj_disp_off_hex"_s,
        u"txt_proj_disp_off_hex/cmd_cr_disp_off"_s,
        u"lab_proj_port/cbo_proj_baudrate"_s,
        u"lab_proj_port/cbo_proj_databit"_s,
        u"lab_proj_port/cbo_proj_parity"_s,
        u"lab_proj_port/cbo_proj_stopbit"_s,
        u"lab_overscan/cbo_overscan_en"_s,
        u"lab_overscan/cbo_overscan_h"_s,
        u"lab_overscan/cbo_overscan_v"_s,
        u"lab_audio/cbo_audio_en"_s,
        u"lab_audio/cbo_audio_hdmi"_s,
        u"lab_audio/cbo_audio_lr"_s,
        u"lab_info/cmd_info"_s,
        u"lab_info/lab_fw_ver_tx"_s,
        u"lab_info/lab_fw_ver_rx"_s,
        u"lab_pic1/cbo_pic_bri"_s,
        u"lab_pic1/cbo_pic_con"_s,
        u"lab_pic2/cbo_pic_sha"_s,
    };
    QList<QWidget *> parents = window_->findChildren<QWidget *>();
    parents << window_;
    QStringList unexpected;
    for (QWidget *parent : parents) {
        QList<QWidget *> kids;
        for (QWidget *kid : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!kid->objectName().isEmpty() && !kid->objectName().startsWith(u"qt_"_s)
                && !kid->isWindow())
                kids << kid;
        for (int i = 0; i < kids.size(); ++i)
            for (int j = i + 1; j < kids.size(); ++j) {
                if (!kids[i]->geometry().intersects(kids[j]->geometry()))
                    continue;
                const QString pair = kids[i]->objectName() + u'/' + kids[j]->objectName();
                const QString reverse = kids[j]->objectName() + u'/' + kids[i]->objectName();
                if (!meant.contains(pair) && !meant.contains(reverse))
                    unexpected << pair;
            }
    }
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u", "_s)));
}

QTEST_MAIN(TestForm)
#include "test_form.moc"
