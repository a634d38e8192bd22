#pragma once

#include "app/core/WakeMonitor.h"

namespace vesko {

// Wake from sleep as logind announces it on the system bus:
// PrepareForSleep(false) is the way back (true is the way down, ignored).
// Only the current owner of org.freedesktop.login1 is listened to. Without a
// system bus or logind it stays silent; a logind that starts or restarts
// later is heard from then on.
class LogindWakeMonitor : public WakeMonitor
{
    Q_OBJECT

public:
    explicit LogindWakeMonitor(QObject *parent = nullptr);

private slots:
    void prepareForSleep(bool goingToSleep);
};

} // namespace vesko
