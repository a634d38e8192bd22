#include "kit/TimeAgo.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

enum class Unit {
    none, // just now
    minute,
    hour,
    day,
};

struct Age
{
    Unit unit = Unit::none;
    qint64 count = 0;
};

// The one rounding both texts share.
Age ageOf(const QDateTime &instant, const QDateTime &now)
{
    if (!instant.isValid() || !now.isValid())
        return {};

    const double seconds = double(instant.msecsTo(now)) / 1000.0;
    const double minutes = std::round(seconds / 60.0);
    if (minutes < 1)
        return {};
    if (minutes <= 59)
        return {Unit::minute, qint64(minutes)};

    const double hours = std::round(minutes / 60.0);
    if (hours <= 23)
        return {Unit::hour, qint64(hours)};

    // Qt's date range keeps this far inside int64.
    return {Unit::day, qint64(std::round(hours / 24.0))};
}

} // namespace

QString timeAgo(const QDateTime &instant, const QDateTime &now)
{
    const Age age = ageOf(instant, now);
    switch (age.unit) {
    case Unit::none:
        break;
    case Unit::minute:
        return QString::number(age.count) + u" min"_s;
    case Unit::hour:
        return QString::number(age.count) + u" h"_s;
    case Unit::day:
        return QString::number(age.count) + u" d"_s;
    }
    return u"just now"_s;
}

QString spokenTimeAgo(const QDateTime &instant, const QDateTime &now)
{
    const Age age = ageOf(instant, now);
    QString unit;
    switch (age.unit) {
    case Unit::none:
        return u"just now"_s;
    case Unit::minute:
        unit = u"minute"_s;
        break;
    case Unit::hour:
        unit = u"hour"_s;
        break;
    case Unit::day:
        unit = u"day"_s;
        break;
    }
    return QString::number(age.count) + u' ' + unit + (age.count == 1 ? u" ago"_s : u"s ago"_s);
}

} // namespace vesko
