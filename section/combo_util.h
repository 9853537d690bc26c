#pragma once

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>

// Fills a list with entries and leaves no entry selected. Filling is not a selection, so the
// list's change handler does not run (a QComboBox would otherwise select the first entry).
inline void fill_combo(QComboBox *combo, const QStringList &entries)
{
    const QSignalBlocker blocker(combo);
    combo->clear();
    combo->addItems(entries);
    combo->setCurrentIndex(-1);
}

// Selects position when the list has such an entry; a position outside the list selects nothing.
// The list's change handler runs as for the operator's choice.
inline bool select_position(QComboBox *combo, int position)
{
    if (position < 0 || position >= combo->count())
        return false;
    combo->setCurrentIndex(position);
    return true;
}

// "0", "1", ... up to last, as list entries.
inline QStringList number_entries(int first, int last, int step = 1)
{
    QStringList entries;
    for (int n = first; n <= last; n += step)
        entries << QString::number(n);
    return entries;
}
