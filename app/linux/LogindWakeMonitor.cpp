#include "app/linux/LogindWakeMonitor.h"

#include <QDBusConnection>
#include <QDBusError>

using namespace Qt::StringLiterals;

namespace vesko {

LogindWakeMonitor::LogindWakeMonitor(QObject *parent)
    : WakeMonitor(parent)
{
    // Naming the service makes QtDBus follow its owner, so a signal of the
    // same name from any other peer never counts.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected()) {
        const bool subscribed =
            bus.connect(u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s,
                        u"PrepareForSleep"_s, this, SLOT(prepareForSleep(bool)));
        if (!subscribed)
            qWarning("Wake: cannot hear the system wake: %s", qPrintable(bus.lastError().message()));
        Q_ASSERT_X(subscribed, "LogindWakeMonitor", "PrepareForSleep subscription refused");
    }
}

void LogindWakeMonitor::prepareForSleep(bool goingToSleep)
{
    if (!goingToSleep)
        emit woke();
}

} // namespace vesko
