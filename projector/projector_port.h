#pragma once

#include "codec/projector_values.h"
#include "model/session.h"
#include "section/handler_context.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QComboBox;
class QLabel;

// The projector port settings that the receiver uses towards the projector: the four lists, the
// values they store, and the steps that send them to the receiver and read them back.
class ProjectorPort : public QObject
{
    Q_OBJECT
public:
    // The four port lists of the projector frame and its failure label.
    struct Widgets
    {
        QComboBox *cbo_proj_baudrate, *cbo_proj_databit, *cbo_proj_parity, *cbo_proj_stopbit;
        QLabel *lab_proj_reply;
    };

    ProjectorPort(const HandlerContext &ctx, const Widgets &widgets, QObject *parent = nullptr);

    // Fills the baud rate, data bits, parity and stop bits lists, none selected.
    void fill_lists();

    // Selection handlers: store the value of the selected entry. They send nothing, and do not
    // look at the read-back guard; with no entry selected the value stays.
    void cbo_proj_baudrate_Click();
    void cbo_proj_databit_Click();
    void cbo_proj_parity_Click();
    void cbo_proj_stopbit_Click();

    // Selects the entries that show the four values; a value with no entry leaves its list.
    void show_proj_port();

    // The send-port step: sends message (the four values) and waits. "Send fail !" when no reply
    // comes. True when a reply arrived.
    bool send_port(const QByteArray &message);
    // The read-port step: sends query, stores what the reply carries, then shows it. "Read fail !"
    // when no usable reply comes. True when a reply arrived, whether or not it could be read.
    bool read_port(const model::Step &query);

    // The message the send-port step sends for these values.
    static QByteArray port_message(const ProjPortValues &values);
    // Stores into values what a port-settings reply argument ("19200,7,E,2") carries, by
    // position after the first comma. False, changing nothing, when it holds no comma.
    static bool parse_port_reply(const QByteArray &argument, ProjPortValues &values);

    const ProjPortValues &values() const { return values_; }
    void set_values(const ProjPortValues &values) { values_ = values; }

private:
    HandlerContext ctx_;
    Widgets w_;
    ProjPortValues values_;
};
