#pragma once

#include "section/apply_reply.h"
#include "section/handler_context.h"

#include <QByteArray>
#include <QObject>

#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;
namespace model {
struct Setting;
}

// The receiver's setting lists and action buttons, their read-back, and the device information.
class ReceiverControls : public QObject
{
    Q_OBJECT
public:
    // The widgets of the receiver frame that these handlers use.
    struct Widgets
    {
        QComboBox *cbo_input, *cbo_aspect, *cbo_display, *cbo_disp_mode, *cbo_output,
            *cbo_in_prefer, *cbo_hdcp_in, *cbo_overscan_en, *cbo_overscan_h, *cbo_overscan_v,
            *cbo_audio_en, *cbo_audio_hdmi, *cbo_audio_lr, *cbo_standby, *cbo_baudrate;
        QAbstractButton *cmd_sys_rst, *cmd_vga_auto, *cmd_ctrl_read, *cmd_info;
        QLabel *lab_ctrl_reply, *lab_fw_ver_rx, *lab_fw_ver_tx;
    };

    ReceiverControls(const HandlerContext &ctx, const Widgets &widgets, QObject *parent = nullptr);

    // Fills the fixed lists of the receiver frame (the input list in its two-entry layout),
    // none selected. The option-list lists (auto-off, input and output resolution) come from files.
    void fill_lists();

    // Every setting list sends its choice from its change handler, for the operator's choice and
    // code alike: at most one command, none while a read-back runs or when nothing is selected.

    // "System Reset" and the VGA auto adjustment "Start".
    void cmd_sys_rst_Click();
    void cmd_vga_auto_Click();

    // "Read": queries every readable setting and shows the answers in the lists and fields.
    void cmd_ctrl_read_Click();
    // "Get": the firmware versions of receiver and transmitter and the transmitter's baud rate.
    void cmd_info_Click();

    // Shows a reply's value (without prefix and terminator) to setting's query in this frame's
    // control of it, as a read-back does.
    void apply_reply(const model::Setting &setting, const QByteArray &value);

private:
    // The change handler of every setting list: the list's command decides what is sent.
    void choose(QComboBox *combo);

    HandlerContext ctx_;
    Widgets w_;
    // Each setting of the frame with its list or label.
    std::vector<SettingControl> controls_;
};
