#pragma once

#include "codec/projector_values.h"
#include "section/handler_context.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class DisplayEditor;
class QAbstractButton;
class QLabel;
class QLineEdit;
class ProjectorPort;

// The "Send" and "Read" of the projector command settings frame: the port settings and both
// display commands, stored in the receiver and read back from it.
//
// A display command travels as raw bytes after its count: prefix, n in decimal, ",", the n
// bytes, "]$", 13, built in the link's 75-byte buffer. A command whose message would not fit
// the buffer (more than 56 bytes on, 55 off) is refused before anything is sent.
class ProjectorTransfer : public QObject
{
    Q_OBJECT
public:
    // Send, Read, the failure label, and the hex boxes that show what Send normalized.
    struct Widgets
    {
        QAbstractButton *cmd_proj_send, *cmd_proj_read;
        QLabel *lab_proj_reply;
        QLineEdit *txt_proj_disp_on_hex, *txt_proj_disp_off_hex;
    };

    ProjectorTransfer(const HandlerContext &ctx, const Widgets &widgets, ProjectorPort &port,
        DisplayEditor &editor, QObject *parent = nullptr);

    // "Send": takes both commands from the visible view, refuses an empty or over-long one with
    // a message, otherwise sends the port settings and, when they got a reply, both commands.
    void cmd_proj_send_Click();
    // "Read": reads the port settings and, when they got a reply, both commands.
    void cmd_proj_read_Click();

private:
    // One display command's send step and read step (selector: CommandCodec::display_on or
    // CommandCodec::display_off). Each shows "Send fail !" or "Read fail !" on failure. The send
    // step builds its message when its turn comes, from the command as it is then.
    void send_display_command(int selector);
    void read_display_command(int selector, const QByteArray &query);

    // The operator's message when a command cannot be sent, or empty when both can.
    QString refusal() const;

    HandlerContext ctx_;
    Widgets w_;
    ProjectorPort &port_;
    DisplayEditor &editor_;
};
