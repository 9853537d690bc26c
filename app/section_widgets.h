#pragma once

#include "projector/display_editor.h"
#include "projector/projector_behaviour.h"
#include "projector/projector_file.h"
#include "projector/projector_port.h"
#include "projector/projector_transfer.h"
#include "receiver/panel_keys.h"
#include "receiver/picture_controls.h"
#include "receiver/receiver_controls.h"

namespace Ui {
class frm_main;
}

// Each section's handlers are given only the widgets they use; these pick them from the form.
ReceiverControls::Widgets receiver_widgets(const Ui::frm_main *ui);
PictureControls::Widgets picture_widgets(const Ui::frm_main *ui);
PanelKeys::Widgets key_widgets(const Ui::frm_main *ui);
ProjectorBehaviour::Widgets behaviour_widgets(const Ui::frm_main *ui);
ProjectorPort::Widgets port_widgets(const Ui::frm_main *ui);
DisplayEditor::Widgets editor_widgets(const Ui::frm_main *ui);
ProjectorFile::Widgets file_widgets(const Ui::frm_main *ui);
ProjectorTransfer::Widgets transfer_widgets(const Ui::frm_main *ui);
