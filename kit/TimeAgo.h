#pragma once

#include <QDateTime>
#include <QString>

namespace vesko {

// How long ago `instant` was, seen from `now`: "just now", "12 min", "3 h",
// "2 d". Each unit is rounded half away from zero from the already rounded
// smaller one. Instants in the future read "just now", and so does an invalid
// date. No "ago" is added; callers append it where they want it.
QString timeAgo(const QDateTime &instant, const QDateTime &now);

// The same age, rounded the same, in words for a listener: "just now",
// "1 minute ago", "12 minutes ago", "3 hours ago", "2 days ago".
QString spokenTimeAgo(const QDateTime &instant, const QDateTime &now);

} // namespace vesko
