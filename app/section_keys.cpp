#include "app/section_keys.h"

#include <QKeyEvent>
#include <QLabel>

#include <algorithm>

SectionKeys::SectionKeys(QWidget *window, const Titles &titles, std::function<Section()> shown,
    std::function<void(Section)> choose)
    : QObject(window)
    , window_(window)
    , titles_(titles)
    , shown_(std::move(shown))
    , choose_(std::move(choose))
{
    const char *const roles[]
        = { "Projector section", "ORBA Receiver section", "Control Panel section" };
    for (int i = 0; i < 3; ++i) {
        QLabel *title = titles_.labels.at(i);
        title->setAccessibleName(title->text());
        title->setAccessibleDescription(QString::fromLatin1(roles[i])
            + QStringLiteral(": Ctrl+Tab and Ctrl+Shift+Tab go through the sections"));
    }
    section_shown();
}

int SectionKeys::shown_index() const
{
    const int s = static_cast<int>(shown_());
    return s >= 0 && s < 3 ? s : -1;
}

void SectionKeys::section_shown()
{
    // A stored section that names none shows none: the first title takes the tab stop then.
    const int shown = shown_index();
    for (int i = 0; i < 3; ++i)
        titles_.labels.at(i)->setFocusPolicy(
            i == (shown < 0 ? 0 : shown) ? Qt::TabFocus : Qt::NoFocus);
}

void SectionKeys::choose(int index, bool focus_title)
{
    choose_(static_cast<Section>(index));
    section_shown();
    if (focus_title)
        titles_.labels.at(index)->setFocus(Qt::TabFocusReason);
}

bool SectionKeys::key_press(QWidget *receiver, QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers()
        & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = event->key();
    const int shown = shown_index();
    const int next = shown < 0 ? 0 : (shown + 1) % 3;
    const int before = shown < 0 ? 2 : (shown + 2) % 3;

    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        const bool shift = mods & Qt::ShiftModifier;
        if ((key == Qt::Key_Tab && !shift) || (key == Qt::Key_PageDown && !shift)) {
            choose(next, true);
            return true;
        }
        if (key == Qt::Key_Backtab || (key == Qt::Key_Tab && shift)
            || (key == Qt::Key_PageUp && !shift)) {
            choose(before, true);
            return true;
        }
        if (!shift && key >= Qt::Key_1 && key <= Qt::Key_3) {
            choose(key - Qt::Key_1, true);
            return true;
        }
    }
    if (key == Qt::Key_F6 && (mods == Qt::NoModifier || mods == Qt::ShiftModifier))
        return next_region(receiver, mods == Qt::ShiftModifier);

    const auto on_title = std::find(titles_.labels.begin(), titles_.labels.end(), receiver);
    if (on_title == titles_.labels.end() || mods != Qt::NoModifier)
        return false;
    const int focused = static_cast<int>(on_title - titles_.labels.begin());
    switch (key) {
    case Qt::Key_Right:
    case Qt::Key_Down:
        choose((focused + 1) % 3, true);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
        choose((focused + 2) % 3, true);
        return true;
    case Qt::Key_Home:
        choose(0, true);
        return true;
    case Qt::Key_End:
        choose(2, true);
        return true;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        choose(focused, true);
        return true;
    default:
        return false;
    }
}

bool SectionKeys::next_region(QWidget *from, bool backwards)
{
    if (regions_.isEmpty())
        return false;
    auto takes_focus = [this](QWidget *w) {
        return w && w->isVisibleTo(window_) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus);
    };
    // The region holding the focus now; -1 when it is in none.
    qsizetype current = -1;
    for (qsizetype r = 0; r < regions_.size() && current < 0; ++r) {
        for (QWidget *w : regions_.at(r)) {
            if (w && from && (w == from || w->isAncestorOf(from))) {
                current = r;
                break;
            }
        }
        if (current < 0 && regions_.at(r).contains(nullptr)
            && std::find(titles_.labels.begin(), titles_.labels.end(), from)
                != titles_.labels.end())
            current = r;
    }
    const qsizetype n = regions_.size();
    for (qsizetype step = 1; step <= n; ++step) {
        const qsizetype r = current < 0 ? (backwards ? n - step : step - 1)
                                        : ((current + (backwards ? -step : step)) % n + n) % n;
        QList<QWidget *> entries = regions_.at(r);
        if (entries.contains(nullptr)) {
            const int shown = shown_index();
            entries = { titles_.labels.at(shown < 0 ? 0 : shown) };
        }
        for (QWidget *w : entries) {
            if (takes_focus(w)) {
                w->setFocus(Qt::OtherFocusReason);
                return true;
            }
            // A region given as a container: its first control in the tab order.
            if (w && w->isVisibleTo(window_) && !(w->focusPolicy() & Qt::TabFocus)) {
                for (QWidget *c = window_->nextInFocusChain(); c && c != window_;
                     c = c->nextInFocusChain()) {
                    if (w->isAncestorOf(c) && takes_focus(c)) {
                        c->setFocus(Qt::OtherFocusReason);
                        return true;
                    }
                }
            }
        }
    }
    return true;
}
