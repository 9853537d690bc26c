#include "app/main_window.h"

#include "app/app_settings.h"
#include "app/focus_ring.h"
#include "app/section_widgets.h"
#include "fields/fields.h"
#include "form/form_scale.h"
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
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

Ui::frm_main *set_up_form(QWidget *window)
{
    auto *form = new Ui::frm_main;
    form->setupUi(window);
    return form;
}

const QColor light_grey(192, 192, 192);

// The designed client area in pixels at 96 dpi; the receive log lies below it.
constexpr int design_width = 528;
constexpr int design_height = 466;
// Room under the receive log, and its height as designed.
constexpr int log_margin = 12;
constexpr int design_log_height = 131;
// Where a control's own focus policy is kept while it is out of the window's sight.
constexpr char designed_focus[] = "designed_focus";

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
    // The form grows with the font (a larger font setting without display scaling).
    scale_ = form_scale(this);
    scale_form(this, scale_);
    // The designed client area; the receive log below it shows when the window is made taller,
    // and grows with the window.
    setFixedWidth(scaled(design_width, scale_));
    setMinimumHeight(designed_height());
    resize(width(), designed_height());
    // A trace line is read field by field: it scrolls sideways instead of breaking inside one.
    ui->txt_rx->setLineWrapMode(QPlainTextEdit::NoWrap);
    make_captions_readable(ui.get(), this);
    set_up_keyboard();

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

    // Clicks on the titles and balls, and every key of the window, are seen by one filter on the
    // application (installed on the titles as well, it would see their keys twice).
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
    const QString settings_path = app_files::path(config_dir_, app_files::settings_file);
    // What an exit write killed half-way left beside the settings file.
    remove_stale_temporaries(settings_path);
    if (!read_app_settings(settings_path, settings, error))
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

    // A port that cannot be opened is reported once the window is drawn, not before it.
    port_row_.hold_messages();
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
    section_keys_->section_shown();
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
        settings_saved_ = false;
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
    section_keys_->section_shown();
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
    if (event->type() == QEvent::KeyPress) {
        // The section and region keys, from any control of this window (not from a list's
        // popup, where the keys belong to the list).
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this
            && section_keys_->key_press(widget, static_cast<QKeyEvent *>(event)))
            return true;
        return key_preview(watched, event);
    }
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

int MainWindow::designed_height() const
{
    return scaled(design_height, scale_);
}

void MainWindow::set_up_keyboard()
{
    // The receive log is below the designed area: a button in the titles' row says so and
    // shows it.
    log_button_ = new QPushButton(this);
    log_button_->setObjectName(QStringLiteral("cmd_log"));
    log_button_->setGeometry(
        QRect(scaled(458, scale_), scaled(66, scale_), scaled(64, scale_), scaled(25, scale_)));
    log_button_->setAccessibleName(QStringLiteral("Receive log"));
    log_button_->setToolTip(QStringLiteral(
        "Shows or hides the receive log below the sections: one line per exchange with the "
        "receiver. Dragging the window's lower edge shows more of it."));
    log_button_->show();
    connect(log_button_, &QPushButton::clicked, this, [this] { show_log(!log_shown()); });

    section_keys_ = new SectionKeys(
        this, { { ui->lab_title_proj, ui->lab_title_orba, ui->lab_title_panel } },
        [this] { return state_.open_section; }, [this](Section s) { choose_section(s); });
    section_keys_->set_regions({ { ui->cmd_conn_0, ui->cmd_conn_1, ui->cbo_com }, { nullptr },
        { ui->fra_proj, ui->fra_proj_ctrl, ui->fra_wp_ctrl, ui->fra_picture, ui->pic_panel },
        { log_button_, ui->txt_rx, ui->cmd_clear, ui->chk_auto } });

    // Tab order: the port row, the shown section's title, the log button, then the section.
    setTabOrder(ui->cbo_com, ui->lab_title_proj);
    setTabOrder(ui->lab_title_proj, ui->lab_title_orba);
    setTabOrder(ui->lab_title_orba, ui->lab_title_panel);
    setTabOrder(ui->lab_title_panel, log_button_);
    setTabOrder(log_button_, ui->cmd_load);

    focus_ring_ = new FocusRing(this);
    fit_receive_log();
}

bool MainWindow::log_shown() const
{
    return ui->txt_rx->geometry().bottom() < height();
}

void MainWindow::show_log(bool show)
{
    const int log_bottom = ui->txt_rx->y() + scaled(design_log_height, scale_);
    resize(width(),
        show ? qMax(height(), log_bottom + scaled(log_margin, scale_)) : designed_height());
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fit_receive_log();
}

void MainWindow::fit_receive_log()
{
    // The log takes the height the window gives it below its top, at least its designed height.
    QPlainTextEdit *log = ui->txt_rx;
    const int designed = scaled(design_log_height, scale_);
    const int room = height() - log->y() - scaled(log_margin, scale_);
    log->resize(log->width(), qMax(designed, room));
    // A control below the window's lower edge is no tab stop: the focus would vanish there.
    for (QWidget *w : { static_cast<QWidget *>(log), static_cast<QWidget *>(ui->cmd_clear),
             static_cast<QWidget *>(ui->chk_auto) }) {
        if (!w->property(designed_focus).isValid())
            w->setProperty(designed_focus, static_cast<int>(w->focusPolicy()));
        const bool inside = w->geometry().bottom() < height();
        w->setFocusPolicy(inside ? static_cast<Qt::FocusPolicy>(w->property(designed_focus).toInt())
                                 : Qt::NoFocus);
        if (!inside && w->hasFocus())
            log_button_->setFocus(Qt::OtherFocusReason);
    }
    const bool shown = log_shown();
    log_button_->setText(shown ? QStringLiteral("Log \u25B2") : QStringLiteral("Log \u25BC"));
    log_button_->setAccessibleDescription(
        shown ? QStringLiteral("the receive log shows below") : QStringLiteral("hidden below"));
}

void MainWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Should the window never be drawn (minimised), the port's message comes all the same.
    QTimer::singleShot(2000, this, [this] { port_row_.release_messages(); });
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!drawn_) {
        drawn_ = true;
        // Once this first frame is on the screen.
        QTimer::singleShot(0, this, [this] { port_row_.release_messages(); });
    }
}
