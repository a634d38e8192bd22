#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private dbus-daemon set up like a system bus (type "system", no service
// activation, so a name nobody owns answers at once), for one test process.
// start() points DBUS_SYSTEM_BUS_ADDRESS at it. Call it before anything
// touches QDBusConnection::systemBus(): that keeps its first connection for
// the life of the process.
class ThrowawaySystemBus
{
public:
    ThrowawaySystemBus() = default;
    ThrowawaySystemBus(const ThrowawaySystemBus &) = delete;
    ThrowawaySystemBus &operator=(const ThrowawaySystemBus &) = delete;
    ~ThrowawaySystemBus();

    // Empty on success, else what went wrong.
    QString start();
    QString address() const { return m_address; }

    // An address where no bus listens, for the "no system bus" case.
    static QByteArray nowhere(const QTemporaryDir &dir);

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};
