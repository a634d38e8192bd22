#include "app/core/Milestones.h"

#include <algorithm>
#include <limits>

namespace vesko::Milestones {

const QList<qint64> &roundFigures()
{
    static const QList<qint64> figures = [] {
        QList<qint64> all;
        constexpr qint64 top = std::numeric_limits<qint64>::max();
        // 1K major units = 100000 minor units; then 1, 2, 5 in every decade.
        for (qint64 decade = 100000;; decade *= 10) {
            for (const qint64 step : {1, 2, 5}) {
                if (decade > top / step)
                    return all;
                all.append(decade * step);
            }
            if (decade > top / 10)
                return all;
        }
    }();
    return figures;
}

std::optional<qint64> highestReached(qint64 mrr)
{
    const QList<qint64> &figures = roundFigures();
    const auto above = std::upper_bound(figures.begin(), figures.end(), mrr);
    if (above == figures.begin())
        return std::nullopt;
    return *std::prev(above);
}

QList<qint64> reached(qint64 mrr)
{
    const QList<qint64> &figures = roundFigures();
    const auto above = std::upper_bound(figures.begin(), figures.end(), mrr);
    return QList<qint64>(figures.begin(), above);
}

} // namespace vesko::Milestones
