#include "form/form_scale.h"

#include <QAbstractButton>
#include <QWidget>

#include <cmath>

double form_scale(const QWidget *window)
{
    const int dpi = window->logicalDpiY();
    return dpi > 96 ? dpi / 96.0 : 1.0;
}

int scaled(int design_px, double factor)
{
    return static_cast<int>(std::lround(design_px * factor));
}

void scale_form(QWidget *window, double factor)
{
    if (factor == 1.0)
        return;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->isWindow())
            continue;
        // Both edges scaled, so that controls that touch in the design still touch.
        const QRect r = w->geometry();
        const int left = scaled(r.left(), factor);
        const int top = scaled(r.top(), factor);
        const int right = scaled(r.left() + r.width(), factor);
        const int bottom = scaled(r.top() + r.height(), factor);
        w->setGeometry(left, top, right - left, bottom - top);
        if (auto *button = qobject_cast<QAbstractButton *>(w); button && !button->icon().isNull())
            button->setIconSize(button->iconSize() * factor);
    }
}
