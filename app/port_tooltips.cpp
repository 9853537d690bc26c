#include "app/port_tooltips.h"

#include "link/port_names.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>

using namespace Qt::StringLiterals;

PortTooltips::PortTooltips(QComboBox *list)
    : QObject(list)
    , list_(list)
{
    list_->installEventFilter(this);
    list_->view()->viewport()->installEventFilter(this);
}

void PortTooltips::refresh()
{
    const QList<ReportedPort> reported = reported_ports();
    QString table = u"<table cellspacing=\"0\" cellpadding=\"1\">"_s;
    for (int i = 0; i < list_->count(); ++i) {
        const int port_no = i + 1;
        const PortChoice choice = resolve_port(port_no, reported);
        const QString state = port_state_text(choice.device, reported);
        const QString source = port_source_text(port_no, choice);
        list_->setItemData(i,
            u"%1 opens %2 (%3, %4)"_s.arg(list_->itemText(i), choice.device, state, source),
            Qt::ToolTipRole);
        table += u"<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>"_s.arg(
            list_->itemText(i).toHtmlEscaped(), choice.device.toHtmlEscaped(), state,
            source.toHtmlEscaped());
    }
    table += u"</table>"_s;
    if (!note_.isEmpty())
        table += u"<p>"_s + note_.toHtmlEscaped() + u"</p>"_s;
    list_->setToolTip(table);
}

bool PortTooltips::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip
        && (watched == list_ || watched == list_->view()->viewport()))
        refresh();
    return false;
}
