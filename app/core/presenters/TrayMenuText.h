#pragma once

#include "app/core/presenters/PanelState.h"
#include "kit/Summary.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vesko {

// The lines the tray menu shows above its actions. On GNOME one click opens
// this menu, not the panel, so it carries the figures worth that click.
struct TrayMenuText
{
    QString headline;     // "MRR $12,345.67 · +4.2%"; empty without figures
    QStringList channels; // "App Store · $1,234.50", one per channel with revenue
    QString notice;       // why there are no figures yet (a failure); else empty
    QString signInTitle;  // empty while signed in
    bool signInEnabled = false;

    bool operator==(const TrayMenuText &) const = default;
};

TrayMenuText trayMenuText(const PanelState &state, const std::optional<Summary> &summary);

} // namespace vesko
