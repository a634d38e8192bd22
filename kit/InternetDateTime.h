#pragma once

#include <QDateTime>
#include <QStringView>

#include <optional>

namespace vesko {

// The decoder's date strategy: RFC 3339 internet date-time with a zone and
// without fractional seconds, "2026-03-01T09:30:00Z" or "...+02:00".
// Anything else — a fraction, no zone, a space or lower-case separator, a
// value out of range such as hour 24 or 30 February — is no date.
// The result is the instant, in UTC.
std::optional<QDateTime> parseInternetDateTime(QStringView text);

} // namespace vesko
