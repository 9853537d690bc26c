#include "form/form_scale.h"

#include <QAbstractButton>
#include <QFont>
#include <QFontMetricsF>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

double form_scale(const QWidget *window)
{
    const int dpi = window->logicalDpiY();
    if (dpi <= 96)
        return 1.0;
    // Text does not grow exactly with the dots per inch: sizes round to whole pixels and glyphs
    // are hinted to them. The form grows as much as its widest-growing text does, measured on
    // captions of the form in its two caption fonts (Verdana 9.75, and 8.25 bold).
    double factor = dpi / 96.0;
    const QString sample = QStringLiteral("Output Resolution ORBA TX Baudrate Auto Display Off");
    for (const auto &[points, bold] : { std::pair { 9.75, false }, std::pair { 8.25, true } }) {
        QFont font;
        font.setFamilies({ QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans") });
        font.setBold(bold);
        font.setPointSizeF(points);
        QFont designed = font;
        designed.setPixelSize(qRound(points * 96 / 72));
        const qreal now = QFontMetricsF(font, window).horizontalAdvance(sample);
        const qreal then = QFontMetricsF(designed, window).horizontalAdvance(sample);
        if (then > 0)
            factor = std::max(factor, now / then);
    }
    return factor;
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
