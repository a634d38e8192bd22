#pragma once

#include "app/core/Notification.h"

#include <QString>

namespace vesko {

// Where Vesko's own update check stands, as far as the user is told.
enum class UpdateStatus {
    none,
    checking,
    upToDate,
    failed,
    available
};

// The panel's line about it (empty: no line), the title of the button beside
// it (empty: none), and the notification that says the same where no panel
// shows. `version`: the newer one when one is available, else the running one.
struct UpdateText
{
    QString note;
    QString actionTitle;
    Notification notification; // empty title: nothing to notify
};

UpdateText updateText(UpdateStatus status, const QString &version);

} // namespace vesko
