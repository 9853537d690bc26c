#pragma once

class QLineEdit;

// Makes a projector command text box show its placeholder characters.
//
// The Text view holds character 7 for a non-printable byte and character 8 for a carriage
// return. A line edit lays every control character out as a blank, so "A", 7, "A" would look
// like "A A" and a carriage return would not show at all. After the box has painted itself, a
// mark is drawn in each such blank: a bullet for 7 and an inverse bullet (a block with a round
// hole) for 8, as the old fixed-pitch fonts showed codes 7 and 8. Only the painting changes:
// text(), typing, the cursor, the selection and the clipboard keep the characters themselves.
// The marks follow the box's palette and selection colours and live as long as the box.
void show_placeholder_marks(QLineEdit *box);
