#include "form/readable_fonts.h"

#include "ui_frm_main.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

namespace {

// Verdana's space advance: 720 of its 2048 units per em.
constexpr qreal verdana_space_em = 720.0 / 2048.0;

bool is_verdana(const QString &family)
{
    return family.compare(u"Verdana", Qt::CaseInsensitive) == 0;
}

// Paints a label's caption word by word, each space as wide as caption_space() says, with the
// label's font, colour and alignment. Installed only on labels that paint nothing else.
class SpacedCaption : public QObject
{
public:
    explicit SpacedCaption(QLabel *label)
        : QObject(label)
        , label_(label)
    {
        setObjectName(QLatin1StringView(name));
    }

    static constexpr const char *name = "spaced_caption";

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != label_ || event->type() != QEvent::Paint)
            return false;
        if (!anchors_.isEmpty()
            && label_->text().split(u' ', Qt::SkipEmptyParts).size() == anchors_.size())
            paint_anchored();
        else if (draws_spaced_caption(label_))
            paint();
        else
            return false;
        return true;
    }

    // Each word of the caption stands just before the control of the same place in anchors,
    // with at least gap pixels between it and the controls on either side.
    void anchor_words(const QList<QWidget *> &anchors) { anchors_ = anchors; }

    QList<QRectF> anchored_words() const
    {
        QList<QRectF> out;
        const QFont font = label_->font();
        const QFontMetricsF fm(font);
        const qreal gap = 4.0 * label_->logicalDpiX() / 96.0;
        const QStringList words = label_->text().split(u' ', Qt::SkipEmptyParts);
        const QRectF r = label_->contentsRect();
        const qreal baseline_height = fm.height();
        const qreal top = r.top() + (r.height() - baseline_height) / 2;
        qreal previous_right = r.left() - gap;
        for (qsizetype i = 0; i < words.size() && i < anchors_.size(); ++i) {
            const QWidget *anchor = anchors_.at(i);
            const qreal width = fm.horizontalAdvance(words.at(i));
            // The anchor's left edge in the label's coordinates (they share a parent).
            const qreal before = anchor->x() - label_->x();
            qreal x = before - gap - width;
            // Too close to what stands before it: in the middle of the room between the two.
            if (x < previous_right + gap)
                x = previous_right + (before - previous_right - width) / 2;
            out.append(QRectF(x, top, width, baseline_height));
            previous_right = anchor->x() - label_->x() + anchor->width();
        }
        return out;
    }

private:
    void paint_anchored() const
    {
        const QFont font = label_->font();
        const QFontMetricsF fm(font);
        const QStringList words = label_->text().split(u' ', Qt::SkipEmptyParts);
        const QList<QRectF> boxes = anchored_words();
        QPainter painter(label_);
        painter.setFont(font);
        painter.setPen(label_->palette().color(label_->foregroundRole()));
        painter.setClipRect(label_->contentsRect());
        for (qsizetype i = 0; i < boxes.size(); ++i)
            painter.drawText(
                QPointF(boxes.at(i).left(), boxes.at(i).top() + fm.ascent()), words.at(i));
    }

    void paint() const
    {
        const QFont font = label_->font();
        const QFontMetricsF fm(font);
        const QString text = label_->text();
        const qreal space = caption_space(font);
        qreal width = 0;
        for (const QChar c : text)
            width += c == u' ' ? space : 0;
        for (const QString &word : text.split(u' ', Qt::SkipEmptyParts))
            width += fm.horizontalAdvance(word);

        const int m = label_->margin();
        const QRectF r = QRectF(label_->contentsRect()).adjusted(m, m, -m, -m);
        const Qt::Alignment a
            = QStyle::visualAlignment(label_->layoutDirection(), label_->alignment());
        qreal x = r.left();
        if (a & Qt::AlignRight)
            x = r.right() + 1 - width;
        else if (a & Qt::AlignHCenter)
            x = r.left() + (r.width() - width) / 2;
        qreal baseline = r.top() + (r.height() - fm.height()) / 2 + fm.ascent();
        if (a & Qt::AlignTop)
            baseline = r.top() + fm.ascent();
        else if (a & Qt::AlignBottom)
            baseline = r.bottom() + 1 - fm.descent();

        QPainter painter(label_);
        painter.setFont(font);
        painter.setPen(label_->palette().color(label_->foregroundRole()));
        painter.setClipRect(r);
        qsizetype i = 0;
        while (i < text.size()) {
            if (text.at(i) == u' ') {
                x += space;
                ++i;
                continue;
            }
            qsizetype end = text.indexOf(u' ', i);
            if (end < 0)
                end = text.size();
            const QString word = text.mid(i, end - i);
            painter.drawText(QPointF(x, baseline), word);
            x += fm.horizontalAdvance(word);
            i = end;
        }
    }

    QLabel *label_;
    QList<QWidget *> anchors_;
};

} // namespace

QFont command_box_font()
{
    QFont font;
    font.setFamilies({ QStringLiteral("DotumChe"), QStringLiteral("NanumGothicCoding"),
        QStringLiteral("DejaVu Sans Mono") });
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(12);
    return font;
}

qreal caption_space(const QFont &font)
{
    const qreal own = QFontMetricsF(font).horizontalAdvance(u' ');
    if (!is_verdana(font.families().value(0)))
        return own;
    const QFontInfo info(font);
    if (is_verdana(info.family()))
        return own;
    return qMax(own, verdana_space_em * info.pixelSize());
}

bool draws_spaced_caption(const QLabel *label)
{
    if (!label->findChild<QObject *>(
            QLatin1StringView(SpacedCaption::name), Qt::FindDirectChildrenOnly))
        return false;
    const QString text = label->text();
    if (!text.contains(u' ') || !label->pixmap().isNull() || label->wordWrap()
        || label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
        return false;
    const QFont font = label->font();
    return caption_space(font) > QFontMetricsF(font).horizontalAdvance(u' ');
}

void make_captions_readable(Ui::frm_main *ui, QWidget *window)
{
    window->ensurePolished();
    for (QLabel *label : window->findChildren<QLabel *>()) {
        // The version boxes paint a grey ground of their own; every other label only its text.
        if (label == ui->lab_fw_ver_tx || label == ui->lab_fw_ver_rx)
            continue;
        if (label->frameShape() == QFrame::NoFrame && !label->autoFillBackground())
            label->installEventFilter(new SpacedCaption(label));
    }
    ui->lab_info->stackUnder(ui->lab_fw_ver_tx);
    ui->lab_info->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Captions that run along a row of lists and buttons: each word just before what it names.
    const struct
    {
        QLabel *label;
        QList<QWidget *> anchors;
    } rows[] = { { ui->lab_pic1, { ui->cbo_pic_bri, ui->cbo_pic_con, ui->cbo_pic_sat } },
        { ui->lab_pic2, { ui->cbo_pic_sha, ui->cbo_pic_hue } },
        { ui->lab_info, { ui->cmd_info, ui->lab_fw_ver_tx, ui->lab_fw_ver_rx } } };
    for (const auto &row : rows) {
        auto *caption = row.label->findChild<SpacedCaption *>(
            QLatin1StringView(SpacedCaption::name), Qt::FindDirectChildrenOnly);
        if (!caption) {
            caption = new SpacedCaption(row.label);
            row.label->installEventFilter(caption);
        }
        caption->anchor_words(row.anchors);
    }
}

QList<QRectF> anchored_caption_words(const QLabel *label)
{
    const auto *caption = label->findChild<SpacedCaption *>(
        QLatin1StringView(SpacedCaption::name), Qt::FindDirectChildrenOnly);
    return caption ? caption->anchored_words() : QList<QRectF>();
}
