#include "app/section_widgets.h"

#include "ui_frm_main.h"

ReceiverControls::Widgets receiver_widgets(const Ui::frm_main *ui)
{
    return { ui->cbo_input, ui->cbo_aspect, ui->cbo_display, ui->cbo_disp_mode, ui->cbo_output,
        ui->cbo_in_prefer, ui->cbo_hdcp_in, ui->cbo_overscan_en, ui->cbo_overscan_h,
        ui->cbo_overscan_v, ui->cbo_audio_en, ui->cbo_audio_hdmi, ui->cbo_audio_lr, ui->cbo_standby,
        ui->cbo_baudrate, ui->cmd_sys_rst, ui->cmd_vga_auto, ui->cmd_ctrl_read, ui->cmd_info,
        ui->lab_ctrl_reply, ui->lab_fw_ver_rx, ui->lab_fw_ver_tx };
}

PictureControls::Widgets picture_widgets(const Ui::frm_main *ui)
{
    return { ui->cbo_pic_bri, ui->cbo_pic_con, ui->cbo_pic_sat, ui->cbo_pic_hue, ui->cbo_pic_sha,
        ui->cmd_pic_read, ui->cmd_pic_rst, ui->lab_pic_reply };
}

PanelKeys::Widgets key_widgets(const Ui::frm_main *ui)
{
    return { ui->cmd_btn_menu, ui->cmd_btn_minus, ui->cmd_btn_plus };
}

ProjectorBehaviour::Widgets behaviour_widgets(const Ui::frm_main *ui)
{
    return { ui->cbo_auto_on, ui->cbo_auto_off, ui->cbo_projsw, ui->cmd_read_proj,
        ui->lab_proj_reply };
}

ProjectorPort::Widgets port_widgets(const Ui::frm_main *ui)
{
    return { ui->cbo_proj_baudrate, ui->cbo_proj_databit, ui->cbo_proj_parity, ui->cbo_proj_stopbit,
        ui->lab_proj_reply };
}

DisplayEditor::Widgets editor_widgets(const Ui::frm_main *ui)
{
    return { ui->txt_proj_disp_on_text, ui->txt_proj_disp_off_text, ui->txt_proj_disp_on_hex,
        ui->txt_proj_disp_off_hex, ui->opt_cmd_fmt_0, ui->opt_cmd_fmt_1, ui->cmd_cr_disp_on,
        ui->cmd_cr_disp_off };
}

ProjectorFile::Widgets file_widgets(const Ui::frm_main *ui)
{
    return { ui->cmd_load, ui->cmd_save, ui->cbo_proj_baudrate, ui->cbo_proj_databit,
        ui->cbo_proj_parity, ui->cbo_proj_stopbit };
}

ProjectorTransfer::Widgets transfer_widgets(const Ui::frm_main *ui)
{
    return { ui->cmd_proj_send, ui->cmd_proj_read, ui->lab_proj_reply, ui->txt_proj_disp_on_hex,
        ui->txt_proj_disp_off_hex };
}
