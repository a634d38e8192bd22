#include "kit/TimeAgo.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace vesko {

QString timeAgo(const QDateTime &instant, const QDateTime &now)
{
    if (!instant.isValid() || !now.isValid())
        return u"just now"_s;

    const double seconds = double(instant.msecsTo(now)) / 1000.0;
    const double minutes = std::round(seconds / 60.0);
    if (minutes < 1)
        return u"just now"_s;
    if (minutes <= 59)
        return QString::number(qint64(minutes)) + u" min"_s;

    const double hours = std::round(minutes / 60.0);
    if (hours <= 23)
        return QString::number(qint64(hours)) + u" h"_s;

    // Qt's date range keeps this far inside int64.
    const double days = std::round(hours / 24.0);
    return QString::number(qint64(days)) + u" d"_s;
}

} // namespace vesko
