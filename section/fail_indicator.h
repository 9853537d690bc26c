#pragma once

#include <QObject>
#include <QTimer>

#include <initializer_list>
#include <vector>

class QLabel;

// The failure labels of the three frames: a text shown for up to one second.
class FailIndicator : public QObject
{
    Q_OBJECT
public:
    explicit FailIndicator(QObject *parent = nullptr);

    // The labels that one tick of the timer hides.
    void set_labels(std::initializer_list<QLabel *> labels);

    // Puts text into label, shows it, and starts the timer whose next tick hides all labels.
    void show_fail(QLabel *label, const QString &text);
    void stop() { tim_fail_.stop(); }
    // Stops for good at exit: later failures show nothing.
    void shut_down()
    {
        shut_ = true;
        stop();
    }
    bool active() const { return tim_fail_.isActive(); }

private:
    void tim_fail_Timer();

    QTimer tim_fail_;
    std::vector<QLabel *> labels_;
    bool shut_ = false;
};
