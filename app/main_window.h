#pragma once

#include "app/port_row.h"
#include "app/section_keys.h"
#include "link/window_link.h"
#include "projector/display_editor.h"
#include "projector/projector_behaviour.h"
#include "projector/projector_file.h"
#include "projector/projector_port.h"
#include "projector/projector_transfer.h"
#include "receiver/panel_keys.h"
#include "receiver/picture_controls.h"
#include "receiver/receiver_controls.h"
#include "section/fail_indicator.h"
#include "section/handler_context.h"
#include "section/window_state.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class FocusRing;
class QLabel;
class QPushButton;
class Prompts;
namespace Ui {
class frm_main;
}

// The one window of the utility: its start-up and exit, the port row, the section switching and
// the receive log. The handlers of each section live in classes of their own, wired here.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    MainWindow(Prompts &prompts, const QString &config_dir, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Brings the window into its starting state from the settings and option-list files, the
    // remembered projector file and port. Sends nothing to the receiver. False, with a report
    // naming the file and the fault, when the window cannot start.
    bool form_load(QString *error);

    Ui::frm_main *form() const { return ui.get(); }
    WindowLink &link() { return link_; }
    PortRow &port_row() { return port_row_; }
    // The sections that show read-back values, for tests that hand them replies.
    ReceiverControls &receiver_controls() { return receiver_; }
    ProjectorBehaviour &projector_behaviour() { return behaviour_; }
    WindowState &state() { return state_; }
    FailIndicator &fail() { return fail_; }
    const QString &config_dir() const { return config_dir_; }

    // Chooses section s, as a click on its title does.
    void choose_section(Section s);

    // 0 after a clean exit; 1 when the settings could not be saved at exit.
    int exit_status() const { return settings_saved_ ? 0 : 1; }
    // The button that shows or hides the receive log below the sections.
    QPushButton *log_button() const { return log_button_; }
    // Whether the receive log shows whole in the window.
    bool log_shown() const;
    // Makes the window tall enough to show the receive log, or the designed height again.
    void show_log(bool show);

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void form_unload();
    bool arrange_sections(QString *error = nullptr);
    // Loads the picture file into ball, or only checks that it loads when ball is null.
    bool load_ball(QLabel *ball, const char *file, QString *error);
    bool key_preview(QObject *watched, QEvent *event);
    bool owns(const QWidget *widget) const;
    void set_up_keyboard();
    void fit_receive_log();
    int designed_height() const;

    std::unique_ptr<Ui::frm_main> ui;
    Prompts &prompts_;
    QString config_dir_;
    WindowState state_;
    WindowLink link_;
    PortRow port_row_;
    FailIndicator fail_;
    HandlerContext ctx_;

    ReceiverControls receiver_;
    PictureControls picture_;
    PanelKeys keys_;
    ProjectorPort proj_port_;
    DisplayEditor editor_;
    ProjectorBehaviour behaviour_;
    ProjectorTransfer transfer_;
    ProjectorFile proj_file_;

    double scale_ = 1.0;
    SectionKeys *section_keys_ = nullptr;
    FocusRing *focus_ring_ = nullptr;
    QPushButton *log_button_ = nullptr;
    bool unloaded_ = false;
    bool settings_saved_ = true;
    bool drawn_ = false;
    const QEvent *last_key_event_ = nullptr;
    QPointer<QWidget> last_key_receiver_;
};
