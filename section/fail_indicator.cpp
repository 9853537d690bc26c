#include "section/fail_indicator.h"

#include <QLabel>

FailIndicator::FailIndicator(QObject *parent)
    : QObject(parent)
{
    tim_fail_.setInterval(1000);
    connect(&tim_fail_, &QTimer::timeout, this, &FailIndicator::tim_fail_Timer);
}

void FailIndicator::set_labels(std::initializer_list<QLabel *> labels)
{
    labels_.assign(labels);
}

void FailIndicator::show_fail(QLabel *label, const QString &text)
{
    if (shut_)
        return;
    label->setText(text);
    label->show();
    // An already running timer keeps its phase: the next tick hides within one second.
    if (!tim_fail_.isActive())
        tim_fail_.start();
}

void FailIndicator::tim_fail_Timer()
{
    for (QLabel *label : labels_)
        label->hide();
    tim_fail_.stop();
}
