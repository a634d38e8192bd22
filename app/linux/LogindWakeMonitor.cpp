#include "LogindWakeMonitor.h"

#include <QDBusConnection>

namespace vesko {

LogindWakeMonitor::LogindWakeMonitor(QObject *parent) : WakeMonitor(parent)
{
    // Naming the service makes QtDBus follow its owner, so a signal of the
    // same name from any other peer never counts.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected()) {
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(prepareForSleep(bool)));
    }
}

void LogindWakeMonitor::prepareForSleep(bool goingToSleep)
{
    if (!goingToSleep)
        emit woke();
}

} // namespace vesko
