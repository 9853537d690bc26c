#pragma once

#include "section/window_state.h"

#include <QList>
#include <QObject>

#include <array>
#include <functional>

class QKeyEvent;
class QLabel;
class QWidget;

// The keyboard's way to the three sections, beside the mouse's click on a title or ball:
// - Ctrl+Tab and Ctrl+Page Down choose the next section, Ctrl+Shift+Tab and Ctrl+Page Up the one
//   before (wrapping), Ctrl+1, Ctrl+2 and Ctrl+3 one by its place, from anywhere in the window;
// - the title of the shown section is a tab stop, like the current tab of a tab bar: Left and
//   Right (Up, Down, Home, End) choose another section from it, Space and Enter the focused one;
// - F6 and Shift+F6 move the focus between the window's regions: the port row, the section
//   titles, the shown section, and the receive log while it shows.
// A section chosen by key gets the focus on its title, so a screen reader names it.
class SectionKeys : public QObject
{
    Q_OBJECT
public:
    struct Titles
    {
        std::array<QLabel *, 3> labels; // Projector, receiver, Control Panel
    };

    SectionKeys(QWidget *window, const Titles &titles, std::function<Section()> shown,
        std::function<void(Section)> choose);

    // The regions F6 goes through, in order: each a list of controls, the first that takes
    // the focus being the region's entry. The titles' region is placed by a null list entry.
    void set_regions(const QList<QList<QWidget *>> &regions) { regions_ = regions; }

    // A key pressed in the window: true when it was a section or region key, now handled.
    bool key_press(QWidget *receiver, QKeyEvent *event);

    // After a section is shown (by any means): only its title is a tab stop.
    void section_shown();

private:
    void choose(int index, bool focus_title);
    int shown_index() const;
    bool next_region(QWidget *from, bool backwards);

    QWidget *window_;
    Titles titles_;
    std::function<Section()> shown_;
    std::function<void(Section)> choose_;
    QList<QList<QWidget *>> regions_;
};
