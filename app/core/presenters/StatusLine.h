#pragma once

#include "Phase.h"

#include "Summary.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace vesko {

// One line of `vesko status`: what a status bar shows, its tooltip, and the
// phase it was in (for the bar's styling).
struct StatusLine
{
    QString text;     // the compact MRR; empty without a summary
    QString tooltip;  // the spoken label, then the failure or the refresh time
    QString phase;    // "ready", "loading", "failed", "signedOut", "signingIn"

    bool operator==(const StatusLine &) const = default;
};

enum class StatusFormat { plain, json };

// `refreshedAt` is shown in local time.
StatusLine statusLine(const Phase &phase, const std::optional<Summary> &summary, const QString &spokenLabel,
                      const QDateTime &refreshedAt);

// Plain: the text alone. JSON: one compact object per line with the keys
// "text", "tooltip" and "class", as waybar's custom modules read it.
QString formatted(const StatusLine &line, StatusFormat format);

} // namespace vesko
