#pragma once

#include "app/core/RevenueHistory.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>

namespace vesko {

// The hero's trend: a line of the last 30 days and how the MRR compares with
// a week ago. Empty parts are not shown.
struct TrendText
{
    Q_GADGET
    Q_PROPERTY(QList<QPointF> points MEMBER points CONSTANT)
    Q_PROPERTY(bool showsLine READ showsLine CONSTANT)
    Q_PROPERTY(QString change MEMBER change CONSTANT)
    Q_PROPERTY(QString spoken MEMBER spoken CONSTANT)

public:
    // In [0,1]×[0,1], oldest first: x across the 30 days up to now, y from the
    // series' lowest MRR (0) to its highest (1). Empty for fewer than two readings.
    QList<QPointF> points;
    QString change; // "+4% vs 7 days ago"
    // "MRR over the last 30 days, rising, up 4% from 7 days ago": the line's
    // direction and the change, each when shown; empty when neither is.
    QString spoken;

    bool showsLine() const { return points.size() > 1; }
};

// The span the line covers, ending now.
inline constexpr qint64 trendDays = 30;

// `readings`: the history from now − trendDays on, oldest first. The line
// ends on `currentMrr` at `now`.
TrendText trendText(const QList<MrrReading> &readings, qint64 currentMrr, const QDateTime &now);

} // namespace vesko
