#include "app/focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

// Navy: 9.6:1 against the window's light grey, 15:1 against white, 7:1 against the green of a
// connected button.
const QColor FocusRing::colour(0, 0, 128);

FocusRing::FocusRing(QWidget *window)
    : QWidget(window)
{
    setObjectName(QStringLiteral("focus_ring"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(
        qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { follow(now); });
    window->installEventFilter(this);
}

void FocusRing::follow(QWidget *now)
{
    if (target_)
        target_->removeEventFilter(this);
    target_ = now && now != parentWidget() && parentWidget()->isAncestorOf(now) ? now : nullptr;
    if (target_)
        target_->installEventFilter(this);
    place();
}

void FocusRing::place()
{
    if (!target_ || !target_->isVisible()) {
        hide();
        return;
    }
    const qreal scale = logicalDpiY() / 96.0;
    const int outside = qRound((ring_width + gap) * scale);
    const QRect around(target_->mapTo(parentWidget(), QPoint(0, 0)), target_->size());
    setGeometry(around.adjusted(-outside, -outside, outside, outside));
    // Only the ring is drawn: the control shows through the middle.
    const int ring = qMax(1, qRound(ring_width * scale));
    setMask(QRegion(rect()) - QRegion(rect().adjusted(ring, ring, -ring, -ring)));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ParentChange:
        if (watched == target_ || watched == parentWidget())
            place();
        break;
    default:
        break;
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), colour);
}
