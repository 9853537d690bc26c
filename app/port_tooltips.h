#pragma once

#include <QObject>
#include <QString>

class QComboBox;

// Tells in the port list's tooltips which device each entry "COMn:" opens and whether it exists:
// the closed list shows the whole table, each entry of the open list its own line. The system is
// asked again each time a tooltip is about to show, so an adapter plugged in meanwhile is seen.
class PortTooltips : public QObject
{
    Q_OBJECT
public:
    // Watches list, and is deleted with it.
    explicit PortTooltips(QComboBox *list);

    // Sets the tooltips from the system's port list now.
    void refresh();
    // A line shown under the table (the trace file that cannot be written); empty for none.
    void set_note(const QString &note) { note_ = note; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QComboBox *list_;
    QString note_;
};
