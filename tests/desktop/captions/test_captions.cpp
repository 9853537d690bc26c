// Every caption of the window, on a real X server, with the fonts this machine resolves: its text
// fits inside its control and no control drawn above it covers any of its words.
#include "form/readable_fonts.h"
#include "tests/support/window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>

#include <cmath>

namespace {

// One run of non-space characters of a caption, where it is drawn, in its control's coordinates.
struct Word
{
    QString text;
    QRect ink;
};

// A caption: the rectangle its control draws the text into (the text is clipped to it) and the
// words as they land with the control's resolved font.
struct Caption
{
    QWidget *widget = nullptr;
    QString text;
    QRect clip;
    QList<Word> words;
};

// Lays text out as one line of the given alignment in rect, as the control draws it, and gives
// each word's ink rectangle. Runs of spaces are the gaps between words: captions such as
// "Brightness      Contrast" use them to stand their words beside other controls. space is the
// advance of one space (a label may draw its spaces wider than its font's, see readable_fonts.h).
QList<Word> words_in(
    const QFontMetrics &fm, qreal space, const QRect &rect, int alignment, const QString &text)
{
    const QFontMetricsF fmf(fm);
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    qreal width = text.count(u' ') * space;
    for (const QString &word : words)
        width += fmf.horizontalAdvance(word);
    const QRect line = QApplication::style()->itemTextRect(fm, rect, alignment, true, text);
    qreal x = rect.left();
    if (alignment & Qt::AlignRight)
        x = rect.right() + 1 - width;
    else if (alignment & Qt::AlignHCenter)
        x = rect.left() + (rect.width() - width) / 2;
    QList<Word> out;
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
        // Across: the glyph boxes; up and down: the ink itself (a caption without descenders
        // may stand in a label lower than the font's line).
        const QRect ink = fm.boundingRect(word);
        const QRect tight = fm.tightBoundingRect(word);
        const int baseline = line.y() + fm.ascent();
        out.append({ word,
            QRect(qFloor(x) + ink.x(), baseline + tight.y(), ink.width(), tight.height()) });
        x += fmf.horizontalAdvance(word);
        i = end;
    }
    return out;
}

std::optional<Caption> caption_of(QWidget *w)
{
    QFont font = w->font();
    Caption c;
    c.widget = w;
    if (auto *label = qobject_cast<QLabel *>(w)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return std::nullopt;
        const QFontMetrics fm(font);
        const int m = label->margin();
        QRect r = label->contentsRect().adjusted(m, m, -m, -m);
        int indent = label->indent();
        if (indent < 0)
            indent = label->frameWidth() > 0 ? fm.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
        const int align = QStyle::visualAlignment(label->layoutDirection(), label->alignment());
        if (align & Qt::AlignLeft)
            r.setLeft(r.left() + indent);
        if (align & Qt::AlignRight)
            r.setRight(r.right() - indent);
        c.text = label->text();
        c.clip = r;
        // A caption along a row of lists: each word where the window places it.
        if (const QList<QRectF> boxes = anchored_caption_words(label); !boxes.isEmpty()) {
            const QStringList words = c.text.split(u' ', Qt::SkipEmptyParts);
            for (qsizetype i = 0; i < boxes.size(); ++i) {
                const QRect ink = fm.boundingRect(words.at(i));
                const QRect tight = fm.tightBoundingRect(words.at(i));
                const int baseline = qRound(boxes.at(i).top()) + fm.ascent();
                c.words.append({ words.at(i),
                    QRect(qFloor(boxes.at(i).left()) + ink.x(), baseline + tight.y(), ink.width(),
                        tight.height()) });
            }
            return c;
        }
        const qreal space = draws_spaced_caption(label)
            ? caption_space(font)
            : QFontMetricsF(font).horizontalAdvance(u' ');
        c.words = words_in(fm, space, r, align, c.text);
        return c;
    }
    if (auto *group = qobject_cast<QGroupBox *>(w)) {
        if (group->title().isEmpty())
            return std::nullopt;
        QStyleOptionGroupBox opt;
        opt.initFrom(group);
        opt.text = group->title();
        opt.textAlignment = group->alignment();
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        opt.lineWidth = 1;
        const QRect r = group->style()->subControlRect(
            QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, group);
        c.text = group->title();
        c.clip = group->rect();
        c.words.append({ c.text, r });
        return c;
    }
    auto *button = qobject_cast<QAbstractButton *>(w);
    if (!button || button->text().isEmpty())
        return std::nullopt;
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    int align = Qt::AlignCenter;
    if (auto *push = qobject_cast<QPushButton *>(button)) {
        if (push->autoDefault() || push->isDefault())
            opt.features |= QStyleOptionButton::AutoDefaultButton;
    } else if (qobject_cast<QCheckBox *>(button)) {
        contents = QStyle::SE_CheckBoxContents;
        align = Qt::AlignLeft | Qt::AlignVCenter;
    } else if (qobject_cast<QRadioButton *>(button)) {
        contents = QStyle::SE_RadioButtonContents;
        align = Qt::AlignLeft | Qt::AlignVCenter;
    } else {
        return std::nullopt;
    }
    const QRect r = button->style()->subElementRect(contents, &opt, button);
    c.text = button->text();
    c.clip = r;
    const QFontMetrics fm(font);
    c.words = words_in(fm, QFontMetricsF(font).horizontalAdvance(u' '), r,
        QStyle::visualAlignment(button->layoutDirection(), Qt::Alignment(align)), c.text);
    return c;
}

// Every widget of the window in the order it is painted: a parent before its children, a child
// before the siblings stacked above it.
void paint_order(QWidget *w, QList<QWidget *> &out)
{
    out.append(w);
    for (QObject *child : w->children()) {
        auto *cw = qobject_cast<QWidget *>(child);
        if (cw && !cw->isWindow())
            paint_order(cw, out);
    }
}

QString describe(const QString &name, const QRect &r)
{
    return QStringLiteral("%1 [x %2..%3, y %4..%5]")
        .arg(name)
        .arg(r.left())
        .arg(r.right())
        .arg(r.top())
        .arg(r.bottom());
}

// Where a control drawn above a caption hides it, in window coordinates. A label that paints no
// ground of its own hides only its words; an empty label (the grey version boxes) and every
// other control hide their whole rectangle.
QList<QRect> cover_of(QWidget *w)
{
    QWidget *top = w->window();
    auto *label = qobject_cast<QLabel *>(w);
    if (label && !label->autoFillBackground()) {
        if (const std::optional<Caption> c = caption_of(w)) {
            QList<QRect> out;
            for (const Word &word : c->words)
                out.append(QRect(w->mapTo(top, word.ink.topLeft()), word.ink.size()));
            return out;
        }
    }
    // A control shaped by a mask (the focus ring) hides only what its mask covers.
    if (!w->mask().isEmpty()) {
        QList<QRect> out;
        for (const QRect &r : w->mask())
            out.append(r.translated(w->mapTo(top, QPoint(0, 0))));
        return out;
    }
    return { QRect(w->mapTo(top, QPoint(0, 0)), w->size()) };
}

// The columns of a label that its own paint event inks, on a transparent ground.
QList<bool> inked_columns(QLabel *label)
{
    QImage image(label->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    label->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    QList<bool> columns(image.width(), false);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                columns[x] = true;
    return columns;
}

// The faults of one caption: a family that is none of those asked for, a word outside the text
// rectangle or outside any frame it lies in, a word under a control painted after it, and for a
// label, ink that is not where its words were laid out (the layout above would then be wrong).
// Word rectangles come from rounded glyph boxes, so they may stand a pixel proud on each side.
QStringList faults_of(const Caption &c, const QList<QWidget *> &order)
{
    QStringList faults;
    QWidget *w = c.widget;
    const QFontInfo info(w->font());
    QStringList asked = w->font().families();
    if (asked.isEmpty())
        asked << w->font().family();
    const QString who = QStringLiteral("%1 \"%2\" (%3 %4px)")
                            .arg(w->objectName(), c.text, info.family())
                            .arg(info.pixelSize());
    if (!asked.contains(info.family(), Qt::CaseInsensitive))
        faults << QStringLiteral("%1: font is none of %2").arg(who, asked.join(u", "));

    QWidget *top = w->window();
    const qsizetype self = order.indexOf(w);
    for (const Word &word : c.words) {
        const QRect ink = word.ink.adjusted(1, 1, -1, -1);
        const QRect on_top = QRect(w->mapTo(top, ink.topLeft()), ink.size());
        if (!c.clip.contains(ink))
            faults << QStringLiteral("%1: \"%2\" %3 is cut by its text area %4")
                          .arg(who, word.text, describe(QStringLiteral("at"), ink),
                              describe(QStringLiteral("area"), c.clip));
        for (QWidget *p = w->parentWidget(); p && p != top; p = p->parentWidget()) {
            const QRect area(p->mapTo(top, QPoint(0, 0)), p->size());
            if (!area.contains(on_top))
                faults << QStringLiteral("%1: \"%2\" %3 is cut by %4")
                              .arg(who, word.text, describe(QStringLiteral("at"), on_top),
                                  describe(p->objectName(), area));
        }
        // Nor does a word touch a control beside it, above or below it in the stacking: at least
        // a pixel of ground between them.
        for (QWidget *other : order) {
            if (other == w || !other->isVisible() || other->isAncestorOf(w)
                || w->isAncestorOf(other) || other->objectName() == u"focus_ring")
                continue;
            auto *other_label = qobject_cast<QLabel *>(other);
            if (other_label && !other_label->autoFillBackground()
                && other_label->frameShape() == QFrame::NoFrame)
                continue; // another caption: its words are checked on their own
            if (qobject_cast<QGroupBox *>(other))
                continue; // a frame around: its edges are checked above
            const QRect area(other->mapTo(top, QPoint(0, 0)), other->size());
            const QRect around = QRect(w->mapTo(top, word.ink.topLeft()), word.ink.size());
            if (area.intersects(around.adjusted(-1, 0, 1, 0)))
                faults << QStringLiteral("%1: \"%2\" %3 touches %4")
                              .arg(who, word.text, describe(QStringLiteral("at"), around),
                                  describe(other->objectName(), area));
        }
        for (qsizetype i = self + 1; i < order.size(); ++i) {
            QWidget *above = order.at(i);
            if (!above->isVisible())
                continue;
            for (const QRect &area : cover_of(above))
                if (area.intersects(on_top))
                    faults << QStringLiteral("%1: \"%2\" %3 is covered by %4")
                                  .arg(who, word.text, describe(QStringLiteral("at"), on_top),
                                      describe(above->objectName(), area));
        }
    }

    if (auto *label = qobject_cast<QLabel *>(w)) {
        const QList<bool> inked = inked_columns(label);
        QList<bool> expected(inked.size(), false);
        for (const Word &word : c.words) {
            bool any = false;
            for (int x = qMax(0, word.ink.left() - 1);
                 x <= qMin(word.ink.right() + 1, int(inked.size()) - 1); ++x) {
                expected[x] = true;
                any = any || inked.at(x);
            }
            if (!any)
                faults << QStringLiteral("%1: no ink where \"%2\" was laid out %3")
                              .arg(who, word.text, describe(QStringLiteral("at"), word.ink));
        }
        for (int x = 0; x < inked.size(); ++x)
            if (inked.at(x) && !expected.at(x)) {
                faults << QStringLiteral("%1: ink at x %2 outside every word").arg(who).arg(x);
                break;
            }
    }
    return faults;
}

// WCAG's relative luminance and contrast ratio of two colours.
double luminance(const QColor &c)
{
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

class TestCaptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == u"xcb",
            "run on a real X server: QT_QPA_PLATFORM=xcb under xvfb-run");
        // The window's own style (main() sets it), which decides the text areas of buttons.
        QApplication::setStyle(QStringLiteral("Fusion"));
    }

    // The font setting the test runs under is the window's, and the form has grown with it.
    void form_grows_with_the_font()
    {
        WindowFixture f;
        START_WINDOW(f);
        const int dpi = qEnvironmentVariableIsSet("QT_FONT_DPI")
            ? qEnvironmentVariableIntValue("QT_FONT_DPI")
            : 96;
        QCOMPARE(f.window->logicalDpiY(), dpi);
        // At least as much as the dots per inch say, a little more where the text grows more.
        const double factor = f.window->width() / 528.0;
        QVERIFY2(factor > dpi / 96.0 - 0.01 && factor < dpi / 96.0 * 1.08,
            qPrintable(QString::number(factor)));
        QVERIFY(qAbs(f.window->height() - 466 * factor) <= 1);
        QVERIFY(qAbs(f.ui->fra_picture->geometry().bottom() + 1 - 461 * factor) <= 1);
    }

    // The firmware version boxes: their text stands out from their ground by WCAG's 4.5:1.
    void version_boxes_have_contrast()
    {
        WindowFixture::Options options;
        options.open_section = 1;
        WindowFixture f(options);
        START_WINDOW(f);
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        for (QLabel *box : { f.ui->lab_fw_ver_tx, f.ui->lab_fw_ver_rx }) {
            box->setText(QStringLiteral("1.0.5"));
            const QImage image = box->grab().toImage();
            QHash<QRgb, int> count;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    ++count[image.pixel(x, y)];
            QRgb ground = 0;
            for (auto it = count.cbegin(); it != count.cend(); ++it)
                if (it.value() > count.value(ground))
                    ground = it.key();
            // The text's own colour: of its anti-aliased pixels, the one farthest from the ground.
            double best = 1;
            for (auto it = count.cbegin(); it != count.cend(); ++it)
                best = std::max(best, contrast(QColor(ground), QColor(it.key())));
            QVERIFY2(best >= 4.5,
                qPrintable(QStringLiteral("%1: %2:1").arg(box->objectName()).arg(best, 0, 'f', 2)));
        }
    }

    void every_caption_is_readable_data()
    {
        QTest::addColumn<int>("section");
        QTest::newRow("projector") << 0;
        QTest::newRow("receiver") << 1;
        QTest::newRow("control panel") << 2;
    }

    void every_caption_is_readable()
    {
        QFETCH(int, section);
        WindowFixture::Options options;
        options.open_section = section;
        WindowFixture f(options);
        START_WINDOW(f);
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

        QList<QWidget *> order;
        paint_order(f.window.get(), order);
        QStringList faults;
        int checked = 0;
        // As designed, then with each failure label showing its longest texts.
        for (const QString &failure :
            { QString(), QStringLiteral("Send fail !"), QStringLiteral("Read fail !") }) {
            if (!failure.isEmpty()) {
                for (QLabel *label :
                    { f.ui->lab_proj_reply, f.ui->lab_ctrl_reply, f.ui->lab_pic_reply }) {
                    label->setText(failure);
                    label->show();
                }
            }
            for (QWidget *w : std::as_const(order)) {
                if (!w->isVisible())
                    continue;
                if (const std::optional<Caption> c = caption_of(w)) {
                    ++checked;
                    faults << faults_of(*c, order);
                }
            }
        }
        faults.removeDuplicates();
        QVERIFY2(checked >= 8, qPrintable(QStringLiteral("only %1 captions found").arg(checked)));
        QVERIFY2(faults.isEmpty(), qPrintable(u'\n' + faults.join(u'\n')));
    }
};

QTEST_MAIN(TestCaptions)
#include "test_captions.moc"
