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
        if (watched != label_ || event->type() != QEvent::Paint || !draws_spaced_caption(label_))
            return false;
        paint();
        return true;
    }

private:
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
}
