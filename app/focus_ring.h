#pragma once

#include <QPointer>
#include <QWidget>

// A clear mark around the control that has the keyboard focus: a dark ring drawn just outside
// it, above every other control and transparent to the mouse, whatever the control's own style
// draws (a coloured button's faint border, a list's thin line, a caption with none).
class FocusRing : public QWidget
{
    Q_OBJECT
public:
    // Follows the focus among the controls of window and is drawn over them.
    explicit FocusRing(QWidget *window);

    // The control the ring is around, or null while it shows none.
    QWidget *target() const { return target_; }

    // Ring width and its gap to the control, in pixels at 96 dots per inch.
    static constexpr int ring_width = 2;
    static constexpr int gap = 1;
    static const QColor colour;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow(QWidget *now);
    void place();

    QPointer<QWidget> target_;
};
