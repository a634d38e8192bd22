#pragma once

#include <QProcess>

using namespace Qt::StringLiterals;

// A private dbus-daemon standing in for the system bus of one test process
// (session rules: anyone may own any name, and nothing there answers for
// logind or hostnamed but the test). In the _no_bus runs
// (VESKO_TEST_NO_SYSTEM_BUS set) the system bus points where none listens.
// Start it before anything touches QDBusConnection::systemBus(): that keeps
// its first connection for the life of the process.
class ThrowawaySystemBus
{
public:
    ~ThrowawaySystemBus()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    static bool absent() { return qEnvironmentVariableIsSet("VESKO_TEST_NO_SYSTEM_BUS"); }

    bool start()
    {
        if (absent())
            return qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/dev/null/no-bus");
        m_daemon.start(QStringLiteral(VESKO_DBUS_DAEMON), {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        m_daemon.waitForReadyRead(); // one write: the address and a newline
        const QByteArray address = m_daemon.readLine().trimmed();
        return !address.isEmpty() && qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    }

private:
    QProcess m_daemon;
};
