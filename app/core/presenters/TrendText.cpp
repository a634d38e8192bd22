#include "app/core/presenters/TrendText.h"

#include "kit/Money.h"

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

constexpr qint64 weekDays = 7;

// The change in percent since the newest reading at least a week old; none
// when there is no such reading or it was 0 (no percentage of nothing).
std::optional<double> weekChange(const QList<MrrReading> &readings, qint64 currentMrr, const QDateTime &now)
{
    const QDateTime weekAgo = now.addDays(-weekDays);
    const auto old = std::find_if(readings.rbegin(), readings.rend(),
                                  [&](const MrrReading &reading) { return reading.at <= weekAgo; });
    if (old == readings.rend() || old->mrr == 0)
        return std::nullopt;
    return double(currentMrr - old->mrr) * 100.0 / double(old->mrr);
}

QString direction(qint64 first, qint64 last)
{
    if (last > first)
        return u"rising"_s;
    return last < first ? u"falling"_s : u"flat"_s;
}

} // namespace

TrendText trendText(const QList<MrrReading> &readings, qint64 currentMrr, const QDateTime &now)
{
    TrendText trend;
    QStringList spoken;
    if (const std::optional<double> change = weekChange(readings, currentMrr, now)) {
        trend.change = Money::growth(*change) + u" vs 7 days ago"_s;
        spoken.append(Money::spokenGrowth(*change) + u" from 7 days ago"_s);
    }
    trend.spoken = spoken.join(u", "_s);
    const QDateTime start = now.addDays(-trendDays);
    QList<MrrReading> series;
    series.reserve(readings.size() + 1);
    std::copy_if(readings.begin(), readings.end(), std::back_inserter(series),
                 [&](const MrrReading &reading) { return reading.at >= start && reading.at <= now; });
    if (series.size() < 2)
        return trend;
    if (series.last().at < now)
        series.append({.at = now, .mrr = currentMrr});

    const auto [low, high] =
        std::minmax_element(series.begin(), series.end(), [](const auto &a, const auto &b) { return a.mrr < b.mrr; });
    const double floor = double(low->mrr);
    const double range = double(high->mrr) - floor;
    const double span = double(start.msecsTo(now));
    trend.points.reserve(series.size());
    for (const MrrReading &reading : series) {
        const double x = double(start.msecsTo(reading.at)) / span;
        // A flat series is a line through the middle.
        const double y = range > 0 ? (double(reading.mrr) - floor) / range : 0.5;
        trend.points.append(QPointF(x, y));
    }
    // From where the line starts to where it ends: the current MRR, or a reading taken at `now`.
    spoken.prepend(u"MRR over the last 30 days, "_s + direction(series.first().mrr, series.last().mrr));
    trend.spoken = spoken.join(u", "_s);
    return trend;
}

} // namespace vesko
