#pragma once

class QWidget;

// The form's positions and sizes are designed for a 96 dots-per-inch font. With a larger font
// setting (QT_FONT_DPI, a desktop's font scaling without display scaling) every text grows, so
// the positions grow with it by the same factor, as forms of the platform the design comes from
// scale with their font: the window looks the same at any font size.

// How much the form grows: the font's dots per inch over 96 as the window's screen gives them,
// or more where the form's text grows more than that (1 at 96 dpi).
double form_scale(const QWidget *window);

// Multiplies the place and size of every control under window (not the window's own size) and
// the picture sizes of buttons by factor. Call once, after setupUi().
void scale_form(QWidget *window, double factor);

// A length of the design, in pixels at 96 dpi, in this window's pixels.
int scaled(int design_px, double factor);
