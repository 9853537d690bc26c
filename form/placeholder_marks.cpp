#include "form/placeholder_marks.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// The placeholder characters of the Text view (the codec's own constants; the form library
// sits below the codec and does not link it).
constexpr char16_t placeholder_other = 7;
constexpr char16_t placeholder_cr = 8;

// Paints the marks over a box after the box's own paint event.
class PlaceholderMarks : public QObject
{
public:
    explicit PlaceholderMarks(QLineEdit *box)
        : QObject(box)
        , box_(box)
    { }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != box_ || event->type() != QEvent::Paint)
            return false;
        // Let the box paint itself first (QObject::event is public and dispatches to the line
        // edit's own handler), then draw over the blanks it left.
        static_cast<QObject *>(box_)->event(event);
        paint_marks();
        return true;
    }

private:
    QRect text_area() const
    {
        QStyleOptionFrame option;
        option.initFrom(box_);
        option.lineWidth
            = box_->hasFrame() ? box_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
        option.state |= QStyle::State_Sunken;
        return box_->style()
            ->subElementRect(QStyle::SE_LineEditContents, &option, box_)
            .marginsRemoved(box_->textMargins());
    }

    // The x of the middle of character i, or -1 when it is scrolled out of sight.
    // cursorPositionAt() gives the cursor position nearest to a point, so it passes from i to
    // i + 1 at the middle of character i; find that x by bisection over the text area.
    int char_centre(int i, const QRect &area) const
    {
        const int y = area.center().y();
        int lo = area.left();
        int hi = area.right();
        if (box_->cursorPositionAt(QPoint(lo, y)) > i || box_->cursorPositionAt(QPoint(hi, y)) <= i)
            return -1;
        while (lo + 1 < hi) {
            const int mid = (lo + hi) / 2;
            if (box_->cursorPositionAt(QPoint(mid, y)) > i)
                hi = mid;
            else
                lo = mid;
        }
        return hi;
    }

    void paint_marks() const
    {
        const QString shown = box_->text();
        if (box_->echoMode() != QLineEdit::Normal
            || (!shown.contains(QChar(placeholder_other))
                && !shown.contains(QChar(placeholder_cr))))
            return;
        const QRect area = text_area();
        const QFontMetrics fm(box_->font());
        // A control character is laid out as a space; its mark fills that cell but for a pixel
        // on each side, so that it never touches the text cursor at the cell's edge.
        const int width = qMax(3, fm.horizontalAdvance(u' ') - 2);
        const int height = qMax(width, fm.ascent() - fm.descent());
        const int middle = area.center().y();
        const int selection_start = box_->selectionStart();
        const int selection_end = selection_start + int(box_->selectedText().size());
        const QPalette &pal = box_->palette();

        QPainter painter(box_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipRect(area);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < shown.size(); ++i) {
            const char16_t c = shown.at(i).unicode();
            if (c != placeholder_other && c != placeholder_cr)
                continue;
            const int centre = char_centre(i, area);
            if (centre < 0)
                continue;
            const bool selected = selection_start >= 0 && i >= selection_start && i < selection_end;
            painter.setBrush(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
            if (c == placeholder_other) {
                // Bullet: a dot in the middle of the cell.
                const qreal d = width * 0.7;
                painter.drawEllipse(QRectF(centre - d / 2, middle - d / 2, d, d));
            } else {
                // Inverse bullet: a block as tall as a capital, with a round hole.
                painter.drawRect(
                    QRectF(centre - width / 2.0, middle - height / 2.0, width, height));
                painter.setBrush(pal.color(selected ? QPalette::Highlight : QPalette::Base));
                const qreal d = width * 0.6;
                painter.drawEllipse(QRectF(centre - d / 2, middle - d / 2, d, d));
            }
        }
    }

    QLineEdit *box_;
};

} // namespace

void show_placeholder_marks(QLineEdit *box)
{
    box->installEventFilter(new PlaceholderMarks(box));
}
