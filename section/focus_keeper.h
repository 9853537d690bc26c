#pragma once

#include <QPointer>
#include <QWidget>

// Disables a control for the life of its own transaction and enables it again at the end.
// Disabling the control that has the keyboard focus makes Qt pass the focus on to the next
// control; when the keeper ends, the focus goes back to the control, unless the operator has put
// it somewhere else meanwhile. A control that goes away during the transaction is not touched.
class FocusKeeper
{
public:
    explicit FocusKeeper(QWidget *control)
        : control_(control)
        , window_(control->window())
        , had_focus_(window_->focusWidget() == control)
    {
        control->setEnabled(false);
        moved_to_ = window_->focusWidget();
    }
    ~FocusKeeper()
    {
        if (!control_)
            return;
        control_->setEnabled(true);
        if (had_focus_ && window_ && window_->focusWidget() == moved_to_.data()
            && control_->isEnabled())
            control_->setFocus(Qt::OtherFocusReason);
    }
    FocusKeeper(const FocusKeeper &) = delete;
    FocusKeeper &operator=(const FocusKeeper &) = delete;

private:
    QPointer<QWidget> control_;
    QPointer<QWidget> window_;
    bool had_focus_;
    QPointer<QWidget> moved_to_;
};
