#pragma once

#include <QFont>
#include <QList>
#include <QRectF>

class QLabel;
class QWidget;
namespace Ui {
class frm_main;
}

// The fonts of the form where the designed ones are missing, as on a stock Linux desktop.
//
// The form asks for Verdana, Arial, Fixedsys and DotumChe, each followed in its style rule by
// stand-ins that Debian ships (DejaVu Sans, Liberation Sans, Liberation Mono, NanumGothicCoding).
// DejaVu Sans draws its letters nearly as wide as Verdana, but its space is narrower (0.318 em
// against 0.352 em). Several captions use runs of spaces to stand their words beside the lists
// they name ("Brightness        Contrast        Saturation"), and with the narrower space those
// words slide under the lists. (QFont's word spacing cannot mend that: it widens a run of spaces
// once, not each space.)

// The font of the four projector command boxes: DotumChe 12, or a fixed-pitch stand-in whose
// Latin letters are half an em wide as DotumChe's are, so a box shows as many characters.
QFont command_box_font();

// The width the window gives one space of a label's caption in this font: Verdana's space at
// the font's size when the font asks for Verdana and gets a stand-in, else the font's own.
qreal caption_space(const QFont &font);

// True when a label draws its caption itself, with caption_space() for every space: a label
// that make_captions_readable() prepared, with a plain text caption with a space in a font that
// asks for Verdana and got a stand-in.
bool draws_spaced_caption(const QLabel *label);

// Makes every caption of the window readable with the fonts this machine resolves:
// - labels of draws_spaced_caption() draw their words where Verdana's spaces would put them;
// - the firmware heading "FW   TX   RX" is drawn above the "Get" button that its first word runs
//   into in any font at this size (below the two version boxes), and lets mouse clicks through
//   to the button.
// - the captions that run along a row of lists ("Brightness   Contrast   Saturation", "Sharpness
//   Hue", "FW   TX   RX") draw each word just before the control it names, a few pixels clear
//   of it and of the control before it, in any font;
// Call once after setupUi(); it polishes the window to learn the resolved fonts.
void make_captions_readable(Ui::frm_main *ui, QWidget *window);

// Where a caption of make_captions_readable() that runs along a row draws its words, in the
// label's coordinates (an advance wide, a line high); empty for every other label.
QList<QRectF> anchored_caption_words(const QLabel *label);
