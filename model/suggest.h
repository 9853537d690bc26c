#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// "Did you mean": the word a person most likely meant, among the words a place accepts.
namespace model {

// The candidate that differs from word only in letter case, else the nearest by edit distance
// (insertions, deletions, substitutions and swaps of two neighbours, letter case ignored) when
// it is close enough to be a slip: at most one edit for a short word, two for a longer one.
// Between equally close candidates the one sharing the longer beginning with word wins; none
// when nothing is that close or two are still alike.
std::optional<QString> nearest_word(const QString &word, const QStringList &candidates);

// " (did you mean \"aspect\"?)" for a report, or empty when nothing is close.
QString did_you_mean(const QString &word, const QStringList &candidates);

} // namespace model
