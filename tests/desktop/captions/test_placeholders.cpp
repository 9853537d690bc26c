// The Text view's placeholder characters on a real X server: character 7 (a non-printable byte)
// and character 8 (a carriage return) show as marks of their own, distinct from a space and from
// each other, while typing, the cursor, the clipboard and the hex/text conversions keep the
// characters themselves.
#include "tests/support/window_fixture.h"

#include <QClipboard>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace {

const QString bullet(QChar(7));
const QString inverse_bullet(QChar(8));

// The box as the X server shows it, once the window has painted its current text.
QImage on_screen(QLineEdit *box)
{
    box->update();
    QTest::qWait(100);
    const QPoint at = box->mapTo(box->window(), QPoint(0, 0));
    return box->screen()
        ->grabWindow(box->window()->winId(), at.x(), at.y(), box->width(), box->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

bool dark(QRgb pixel)
{
    return qGray(pixel) < 128;
}

int dark_pixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += dark(image.pixel(x, y));
    return n;
}

// The columns in which two shots of the same box differ, as [first, last]; {-1, -1} if none.
QPair<int, int> differing_columns(const QImage &a, const QImage &b)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < a.width(); ++x)
        for (int y = 0; y < a.height(); ++y)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return { first, last };
}

// The dark columns of a shot, as runs [first, last] from left to right.
QList<QPair<int, int>> ink_runs(const QImage &image)
{
    QList<QPair<int, int>> runs;
    for (int x = 0; x < image.width(); ++x) {
        bool inked = false;
        for (int y = 2; y < image.height() - 2 && !inked; ++y)
            inked = dark(image.pixel(x, y));
        if (!inked)
            continue;
        if (!runs.isEmpty() && runs.last().second == x - 1)
            runs.last().second = x;
        else
            runs.append({ x, x });
    }
    return runs;
}

} // namespace

class TestPlaceholders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == u"xcb",
            "run on a real X server: QT_QPA_PLATFORM=xcb under xvfb-run");
        QApplication::setStyle(QStringLiteral("Fusion"));
    }

    // Between two letters, each placeholder inks the gap that a space leaves blank, only that
    // gap, and the two placeholders look different from each other.
    void placeholders_are_visible_and_distinct()
    {
        WindowFixture f(projector_section(0));
        START_WINDOW(f);
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        for (QLineEdit *box : { f.ui->txt_proj_disp_on_text, f.ui->txt_proj_disp_off_text }) {
            box->setText(u"A A"_qs);
            const QImage space = on_screen(box);
            box->setText(u"A"_qs + bullet + u"A"_qs);
            const QImage seven = on_screen(box);
            box->setText(u"A"_qs + inverse_bullet + u"A"_qs);
            const QImage eight = on_screen(box);
            QCOMPARE(box->text(), u"A"_qs + inverse_bullet + u"A"_qs);

            const QList<QPair<int, int>> letters = ink_runs(space);
            QCOMPARE(letters.size(), 2);
            for (const QImage &shot : { seven, eight }) {
                QVERIFY2(dark_pixels(shot) >= dark_pixels(space) + 4,
                    qPrintable(QStringLiteral("%1: %2 dark pixels against %3 for a space")
                                   .arg(box->objectName())
                                   .arg(dark_pixels(shot))
                                   .arg(dark_pixels(space))));
                const QPair<int, int> changed = differing_columns(space, shot);
                QVERIFY(changed.first > letters.at(0).second);
                QVERIFY(changed.second < letters.at(1).first);
            }
            QVERIFY(differing_columns(seven, eight).first >= 0);
            // The inverse bullet is a block with a hole: more ink than the dot.
            QVERIFY(dark_pixels(eight) > dark_pixels(seven));
        }
    }

    // The command boxes resolve a font that they asked for (DotumChe or a named stand-in), of
    // fixed pitch, so each placeholder has a whole cell to be drawn in.
    void command_boxes_resolve_a_fixed_pitch_font()
    {
        WindowFixture f(projector_section(0));
        START_WINDOW(f);
        for (QLineEdit *box : { f.ui->txt_proj_disp_on_text, f.ui->txt_proj_disp_off_text,
                 f.ui->txt_proj_disp_on_hex, f.ui->txt_proj_disp_off_hex }) {
            const QFontInfo info(box->font());
            QVERIFY2(box->font().families().contains(info.family()), qPrintable(info.family()));
            // Fixed pitch over the characters a box holds (a Korean font counts as "dual").
            const QFontMetrics fm(box->font());
            for (const char16_t c : { u'i', u'W', u'.', u'0' })
                QVERIFY2(fm.horizontalAdvance(QChar(c)) == fm.horizontalAdvance(u' '),
                    qPrintable(info.family()));
            QCOMPARE(box->font().family(), u"DotumChe"_qs);
        }
    }

    // The CR button's placeholder shows at the end of the text at once.
    void cr_button_shows_its_placeholder()
    {
        WindowFixture f(projector_section(0));
        START_WINDOW(f);
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QLineEdit *box = f.ui->txt_proj_disp_on_text;
        box->setText(u"PWR"_qs);
        const QImage before = on_screen(box);
        f.ui->cmd_cr_disp_on->click();
        const QImage after = on_screen(box);
        QCOMPARE(box->text(), u"PWR"_qs + inverse_bullet);
        const QList<QPair<int, int>> letters = ink_runs(before);
        QVERIFY(!letters.isEmpty());
        const QPair<int, int> changed = differing_columns(before, after);
        QVERIFY2(changed.first > letters.last().second,
            "the carriage return's mark stands after the text");
    }

    // Typing, cursor moves, selection and the clipboard see the characters, not the marks.
    void editing_sees_the_characters()
    {
        WindowFixture f(projector_section(0));
        START_WINDOW(f);
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QLineEdit *on = f.ui->txt_proj_disp_on_text;
        QLineEdit *off = f.ui->txt_proj_disp_off_text;
        on->setText(u"A"_qs + bullet + u"B"_qs + inverse_bullet);
        on->setFocus();
        QTest::keyClick(on, Qt::Key_End);
        QTest::keyClick(on, Qt::Key_Left);
        QTest::keyClick(on, Qt::Key_Left);
        QCOMPARE(on->cursorPosition(), 2);
        QTest::keyClicks(on, u"x"_qs);
        QCOMPARE(on->text(), u"A"_qs + bullet + u"xB"_qs + inverse_bullet);

        QTest::keyClick(on, Qt::Key_Home);
        QTest::keyClick(on, Qt::Key_Right);
        QTest::keyClick(on, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(on->selectedText(), bullet);
        QTest::keyClick(on, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(on, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), on->text());

        off->clear();
        off->setFocus();
        QTest::keyClick(off, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(off->text(), on->text());
        // A selected placeholder is drawn in the selection's text colour on the selection.
        on->setFocus();
        QTest::keyClick(on, Qt::Key_Home);
        QTest::keyClick(on, Qt::Key_Right);
        QTest::keyClick(on, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(on->selectedText(), bullet);
        const QImage shot = on_screen(on);
        const QColor ground = on->palette().color(QPalette::Highlight);
        const QColor ink = on->palette().color(QPalette::HighlightedText);
        const auto near = [](const QColor &a, const QColor &b) {
            return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue())
                < 48;
        };
        // Pixels of the selection's text colour between the selection's ground on their row.
        int on_ground = 0;
        int inked = 0;
        for (int y = 0; y < shot.height(); ++y) {
            int left = -1;
            int right = -1;
            for (int x = 0; x < shot.width(); ++x)
                if (near(shot.pixelColor(x, y), ground)) {
                    ++on_ground;
                    right = x;
                    if (left < 0)
                        left = x;
                }
            for (int x = left + 1; left >= 0 && x < right; ++x)
                inked += near(shot.pixelColor(x, y), ink);
        }
        QVERIFY2(on_ground > 0, "the selection shows");
        QVERIFY2(inked > 0, "the selected mark shows on the selection");
    }

    // Hex to text and back keeps every byte behind the placeholders, and the text shows them.
    void conversions_keep_the_bytes()
    {
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        f.ui->txt_proj_disp_on_hex->setText(u"41 01 42 0D"_qs);
        f.ui->opt_cmd_fmt_0->click();
        QLineEdit *text = f.ui->txt_proj_disp_on_text;
        QCOMPARE(text->text(), u"A"_qs + bullet + u"B"_qs + inverse_bullet);
        const QImage marks = on_screen(text);
        QCOMPARE(ink_runs(marks).size(), 4);

        f.ui->opt_cmd_fmt_1->click();
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), u"41 01 42 0D "_qs);
    }
};

QTEST_MAIN(TestPlaceholders)
#include "test_placeholders.moc"
