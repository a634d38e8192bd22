#pragma once

#include "app/core/Phase.h"
#include "kit/Summary.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesko {

using namespace Qt::StringLiterals;

// One line of `vesko status`: what a status bar shows, its tooltip, and the
// phase it was in (for the bar's styling).
struct StatusLine
{
    QString text;      // the compact MRR; empty without a summary
    QString tooltip;   // the spoken label, then the failure or the refresh time
    QString phase;     // "ready", "loading", "failed", "signedOut", "signingIn"
    QString trayLabel; // what the tray item shows beside the snout: the figure, or
                       // nothing (no figure yet, or the snout alone by choice)
    bool snout = true; // whether the tray item shows the snout
    QString message;   // the failure; empty unless failed
    QString arr;       // the compact ARR; empty without a summary
    QString growth;    // "+12%"; empty when the service sent none
    QString scope;     // what the figures are of: "All projects" or a project's name

    bool operator==(const StatusLine &) const = default;
};

enum class StatusFormat {
    plain,
    json,
    genmon
};

// `refreshedAt` is shown in local time.
StatusLine statusLine(const Phase &phase, const std::optional<Summary> &summary, const QString &spokenLabel,
                      const QDateTime &refreshedAt, const std::optional<QString> &trayLabel = std::nullopt,
                      bool showsSnout = true, const QString &scope = {});

// How Xfce's Generic Monitor shows Vesko: an icon from the theme by name
// (recoloured with the panel when symbolic), else an image file, else none;
// and the command a click runs.
struct GenmonLook
{
    QString iconName;
    QString iconPath;
    QString command = u"vesko"_s;
};

// Plain: the text alone. JSON: one compact object per line with the keys
// "text", "tooltip" and "class", as waybar's custom modules read it, and
// "menubar", "snout", "arr", "growth" and "scope" for panel widgets. Genmon: the tags the Generic
// Monitor reads, text and tooltip as Pango markup.
QString formatted(const StatusLine &line, StatusFormat format, const GenmonLook &look = {});

// The line as key/value pairs for the single-instance socket, and back. Back
// fails on an odd count or an unknown phase; unknown keys are skipped.
QStringList statusFields(const StatusLine &line);
std::optional<StatusLine> statusLineFromFields(const QStringList &fields);

} // namespace vesko
