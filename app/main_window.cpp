#include "app/main_window.h"

#include "app/app_settings.h"
#include "app/section_widgets.h"
#include "fields/fields.h"
#include "form/readable_fonts.h"
#include "link/port_names.h"
#include "model/settings.h"
#include "section/combo_util.h"
#include "section/prompts.h"
#include "ui_frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPixmap>

#include <cstdio>

namespace {

Ui::frm_main *set_up_form(QWidget *window)
{
    auto *form = new Ui::frm_main;
    form->setupUi(window);
    return form;
}

const QColor light_grey(192, 192, 192);

} // namespace

MainWindow::MainWindow(Prompts &prompts, const QString &config_dir, QWidget *parent)
    : QWidget(parent)
    , ui(set_up_form(this))
    , prompts_(prompts)
    , config_dir_(config_dir)
    , port_row_(ui.get(), link_, prompts)
    , ctx_ { link_, state_, fail_, prompts_, config_dir_ }
    , receiver_(ctx_, receiver_widgets(ui.get()))
    , picture_(ctx_, picture_widgets(ui.get()))
    , keys_(ctx_, key_widgets(ui.get()))
    , proj_port_(ctx_, port_widgets(ui.get()))
    , editor_(ctx_, editor_widgets(ui.get()))
    , behaviour_(ctx_, behaviour_widgets(ui.get()))
    , transfer_(ctx_, transfer_widgets(ui.get()), proj_port_, editor_)
    , proj_file_(ctx_, file_widgets(ui.get()), proj_port_, editor_)
{
    // The designed client area; the receive log below it shows when the window is made taller.
    setFixedWidth(528);
    setMinimumHeight(466);
    setMaximumHeight(ui->txt_rx->geometry().bottom() + 12);
    resize(528, 466);
    make_captions_readable(ui.get(), this);

    for (QWidget *section : { static_cast<QWidget *>(ui->fra_proj),
             static_cast<QWidget *>(ui->fra_proj_ctrl), static_cast<QWidget *>(ui->fra_wp_ctrl),
             static_cast<QWidget *>(ui->fra_picture), static_cast<QWidget *>(ui->pic_panel) })
        section->hide();
    // The version comes from the build; the title names the projector file once one is in use.
    setWindowTitle(ProjectorFile::title_for(QString()));
    connect(&proj_file_, &ProjectorFile::file_in_use, this,
        [this](const QString &path) { setWindowTitle(ProjectorFile::title_for(path)); });
    fail_.set_labels({ ui->lab_proj_reply, ui->lab_ctrl_reply, ui->lab_pic_reply });
    for (QLabel *label : { ui->lab_proj_reply, ui->lab_ctrl_reply, ui->lab_pic_reply })
        label->hide();
    ui->Image1->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));

    for (QWidget *title : { static_cast<QWidget *>(ui->lab_title_proj),
             static_cast<QWidget *>(ui->img_ball_proj), static_cast<QWidget *>(ui->lab_title_orba),
             static_cast<QWidget *>(ui->img_ball_orba), static_cast<QWidget *>(ui->lab_title_panel),
             static_cast<QWidget *>(ui->img_ball_panel) })
        title->installEventFilter(this);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
}

bool MainWindow::form_load(QString *error)
{
    state_ = WindowState();
    state_.ui_ready = false;
    state_.single_hdmi = true;

    const QFont dotum = command_box_font();
    for (QLineEdit *box : { ui->txt_proj_disp_off_hex, ui->txt_proj_disp_off_text,
             ui->txt_proj_disp_on_hex, ui->txt_proj_disp_on_text })
        box->setFont(dotum);

    receiver_.fill_lists();
    QStringList ports;
    for (int n = 1; n <= port_count; ++n)
        ports << port_entry(n);
    fill_combo(ui->cbo_com, ports);
    proj_port_.fill_lists();
    behaviour_.fill_lists();
    picture_.fill_lists();

    for (QLineEdit *box : { ui->txt_proj_disp_on_text, ui->txt_proj_disp_off_text,
             ui->txt_proj_disp_on_hex, ui->txt_proj_disp_off_hex })
        box->clear();

    model::OptionLists option_lists;
    if (!model::read_option_lists(config_dir_, &option_lists, error))
        return false;
    receiver_.fill_option_lists(option_lists);

    AppSettings settings;
    if (!read_app_settings(app_files::path(config_dir_, app_files::settings_file), settings, error))
        return false;
    link_.set_port_no(settings.port_no);
    state_.cmd_fmt = settings.cmd_fmt;
    state_.proj_file = settings.proj_file;
    state_.open_section = settings.open_section;

    editor_.select_view(settings.cmd_fmt);
    if (!proj_file_.load_proj_file(error))
        return false;

    ui->chk_auto->setChecked(settings.auto_clear == AutoClear::On);
    port_row_.set_auto_clear(static_cast<int>(settings.auto_clear));

    ui->lab_fw_ver_rx->clear();
    ui->lab_fw_ver_tx->clear();
    ui->txt_rx->clear();

    port_row_.select_port(settings.port_no);

    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, light_grey);
    setPalette(background);

    QString why;
    if (!arrange_sections(&why)) {
        if (error)
            *error = why;
        return false;
    }
    state_.ui_ready = true;
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!unloaded_) {
        unloaded_ = true;
        form_unload();
    }
    event->accept();
}

void MainWindow::form_unload()
{
    // A close that arrives during a wait ends the waiting sequence: its waits end at once and it
    // runs to its end without sending or showing anything more.
    fail_.shut_down();
    // From here on every failure is passed over: the window closes whatever happens.
    link_.shut_down();
    if (proj_file_.changed()) {
        const auto answer = prompts_.question(
            QStringLiteral("Projector settings are changed !\r\nSave settings before exit ?"),
            Prompts::Icon::Question, false);
        if (answer == Prompts::Answer::Yes)
            proj_file_.cmd_save_Click();
    }
    AppSettings settings;
    settings.port_no = link_.port_no();
    settings.auto_clear = static_cast<AutoClear>(port_row_.auto_clear());
    settings.cmd_fmt = state_.cmd_fmt;
    settings.proj_file = state_.proj_file;
    settings.open_section = state_.open_section;
    // The one failure at exit that is reported: without it the user's settings would be lost
    // without a word. The old file stays as it was.
    const QString path = app_files::path(config_dir_, app_files::settings_file);
    QString why;
    if (!write_app_settings(path, settings, &why)) {
        const QString report = QStringLiteral("The settings cannot be saved to %1: %2\r\n"
                                              "The previous settings file is kept.")
                                   .arg(QDir::toNativeSeparators(path), why);
        std::fprintf(stderr, "kz-orba-ctrl: %s\n",
            qPrintable(QString(report).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
        prompts_.message(report, Prompts::Icon::Critical);
    }
}

void MainWindow::choose_section(Section s)
{
    if (state_.open_section == s)
        return;
    state_.open_section = s;
    arrange_sections();
}

bool MainWindow::arrange_sections(QString *error)
{
    const Section s = state_.open_section;
    if (s != Section::Projector && s != Section::Receiver && s != Section::Panel) {
        // No section to show, but at start-up both pictures must be there all the same.
        for (const char *file : { app_files::ball_red_file, app_files::ball_gray_file }) {
            if (error && !load_ball(nullptr, file, error))
                return false;
        }
        return true;
    }
    const QLabel *shown = s == Section::Projector ? ui->img_ball_proj
        : s == Section::Receiver                  ? ui->img_ball_orba
                                                  : ui->img_ball_panel;
    for (QLabel *ball : { ui->img_ball_proj, ui->img_ball_orba, ui->img_ball_panel }) {
        const char *file = ball == shown ? app_files::ball_red_file : app_files::ball_gray_file;
        // During start-up (error given) a missing picture stops the window from opening.
        if (!load_ball(ball, file, error) && error)
            return false;
    }
    ui->fra_proj->setVisible(s == Section::Projector);
    ui->fra_proj_ctrl->setVisible(s == Section::Projector);
    ui->fra_wp_ctrl->setVisible(s == Section::Receiver);
    ui->fra_picture->setVisible(s == Section::Receiver);
    ui->pic_panel->setVisible(s == Section::Panel);
    return true;
}

bool MainWindow::load_ball(QLabel *ball, const char *file, QString *error)
{
    // Read from the folder each time. A picture gone missing after start-up keeps the old one.
    const QString path = app_files::path(config_dir_, file);
    QPixmap picture;
    // A named pipe or a device would be waited on for ever: only a regular file is read.
    if (!QFileInfo(path).isFile() || !picture.load(path)) {
        if (error)
            *error = QStringLiteral("%1: the picture cannot be loaded")
                         .arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (ball)
        ball->setPixmap(picture);
    return true;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        return key_preview(watched, event);
    if (event->type() == QEvent::KeyRelease)
        last_key_event_ = nullptr;
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const struct
    {
        const QObject *title;
        const QObject *ball;
        Section section;
    } sections[] = { { ui->lab_title_proj, ui->img_ball_proj, Section::Projector },
        { ui->lab_title_orba, ui->img_ball_orba, Section::Receiver },
        { ui->lab_title_panel, ui->img_ball_panel, Section::Panel } };
    for (const auto &section : sections) {
        if (watched == section.title || watched == section.ball) {
            choose_section(section.section);
            return true;
        }
    }
    return false;
}

bool MainWindow::key_preview(QObject *watched, QEvent *event)
{
    // Sees every key pressed in this window, its list popups included, before the control that
    // has the focus, and leaves the key to that control. A key the control ignores travels on to
    // its parents: that is the same press again and is not handled twice.
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !owns(widget))
        return false;
    // Qt reuses the memory of key events: the same address at the same or a lower widget is a
    // new press; only a strict ancestor of the last receiver sees the press travelling up.
    const bool same_press = event == last_key_event_ && last_key_receiver_
        && widget != last_key_receiver_ && widget->isAncestorOf(last_key_receiver_);
    if (same_press)
        return false;
    keys_.Form_KeyDown(static_cast<QKeyEvent *>(event)->key());
    // Noted once the handler is done: its pause lets other events run (this key's release among
    // them), and the press that goes on to the parents afterwards is still this one.
    last_key_event_ = event;
    last_key_receiver_ = widget;
    return false;
}

bool MainWindow::owns(const QWidget *widget) const
{
    // A list's popup is a window of its own, opened by a control of this window.
    const QWidget *top = widget->window();
    while (top != this && top->windowType() == Qt::Popup && top->parentWidget())
        top = top->parentWidget()->window();
    return top == this;
}
