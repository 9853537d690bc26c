#include "model/suggest.h"

#include <algorithm>
#include <vector>

namespace model {

namespace {

// The optimal string alignment distance of a and b.
qsizetype edit_distance(const QString &a, const QString &b)
{
    const qsizetype n = a.size(), m = b.size();
    std::vector<std::vector<qsizetype>> d(n + 1, std::vector<qsizetype>(m + 1));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = i;
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = j;
    for (qsizetype i = 1; i <= n; ++i) {
        for (qsizetype j = 1; j <= m; ++j) {
            const qsizetype cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            d[i][j] = std::min({ d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost });
            if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

} // namespace

std::optional<QString> nearest_word(const QString &word, const QStringList &candidates)
{
    // Words longer than any the receiver knows are not slips; this also bounds the work.
    constexpr qsizetype longest = 64;
    if (word.isEmpty() || word.size() > longest)
        return std::nullopt;
    for (const QString &candidate : candidates) {
        if (candidate.compare(word, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    const QString folded = word.toCaseFolded();
    const qsizetype allowed = word.size() <= 4 ? 1 : 2;
    // The closest; between equally close ones, the one that shares the longer beginning (a slip
    // is seldom in the first letter), else none.
    std::optional<QString> best;
    qsizetype best_distance = allowed;
    qsizetype best_prefix = -1;
    bool tied = false;
    for (const QString &candidate : candidates) {
        if (candidate.size() > longest)
            continue;
        const QString other = candidate.toCaseFolded();
        const qsizetype distance = edit_distance(folded, other);
        if (distance > allowed || distance > best_distance)
            continue;
        qsizetype prefix = 0;
        while (prefix < folded.size() && prefix < other.size()
            && folded.at(prefix) == other.at(prefix))
            ++prefix;
        if (distance < best_distance || prefix > best_prefix) {
            best = candidate;
            best_distance = distance;
            best_prefix = prefix;
            tied = false;
        } else if (prefix == best_prefix) {
            tied = true;
        }
    }
    if (tied)
        return std::nullopt;
    return best;
}

QString did_you_mean(const QString &word, const QStringList &candidates)
{
    if (const std::optional<QString> near = nearest_word(word, candidates))
        return QStringLiteral(" (did you mean \"%1\"?)").arg(*near);
    return {};
}

} // namespace model
