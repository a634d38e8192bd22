// Wake from sleep, told by a fake logind on a throwaway system bus; and, with
// VESKO_TEST_NO_SYSTEM_BUS set, where there is no system bus at all. (The
// system bus connection is made once per process, hence two runs.)
#include "LogindWakeMonitor.h"
#include "fakebus_ThrowawaySystemBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using vesko::LogindWakeMonitor;
using vesko::WakeMonitor;

namespace {

const QString logindName = QStringLiteral("org.freedesktop.login1");
const QString managerPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");

// A connection of its own on the bus: logind once it holds logind's name,
// anyone at all before that.
class Peer
{
public:
    Peer(const QString &address, const QString &name)
        : m_name(name), m_bus(QDBusConnection::connectToBus(address, name))
    {
    }
    ~Peer() { QDBusConnection::disconnectFromBus(m_name); }

    bool isConnected() const { return m_bus.isConnected(); }
    bool becomeLogind() { return m_bus.registerService(logindName); }
    bool stopBeingLogind() { return m_bus.unregisterService(logindName); }

    void send(const QString &path, const QString &interface, const QString &member, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, member);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }
    void prepareForSleep(bool goingToSleep)
    {
        send(managerPath, managerInterface, QStringLiteral("PrepareForSleep"), {goingToSleep});
    }

private:
    QString m_name;
    QDBusConnection m_bus;
};

} // namespace

class LogindWakeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString failure = m_bus.start();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        // Heard on the same connection as the monitor's, after what a peer
        // sent before it: the point where that has all been delivered.
        QVERIFY(QDBusConnection::systemBus().connect(QString(), QStringLiteral("/test"), QStringLiteral("org.example.Test"),
                                                     QStringLiteral("Marker"), this, SLOT(marker(QString))));
    }

    void sleepCycles_data()
    {
        QTest::addColumn<QList<bool>>("announcements"); // PrepareForSleep's argument, in order
        QTest::addColumn<int>("wakes");
        QTest::newRow("going to sleep") << QList<bool>{true} << 0;
        QTest::newRow("sleep and wake") << QList<bool>{true, false} << 1;
        QTest::newRow("two nights") << QList<bool>{true, false, true, false} << 2;
        // Started while the machine went down, say: the way back still counts.
        QTest::newRow("wake alone") << QList<bool>{false} << 1;
    }
    void sleepCycles()
    {
        QFETCH(QList<bool>, announcements);
        QFETCH(int, wakes);
        Peer logind(m_bus.address(), QStringLiteral("logind"));
        QVERIFY(logind.becomeLogind());
        LogindWakeMonitor monitor;
        QSignalSpy woke(&monitor, &WakeMonitor::woke);
        for (bool goingToSleep : announcements)
            logind.prepareForSleep(goingToSleep);
        settle(logind);
        QCOMPARE(woke.count(), wakes);
    }

    void ignoresLookalikes_data()
    {
        QTest::addColumn<bool>("fromLogind");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariantList>("arguments");
        const QString member = QStringLiteral("PrepareForSleep");
        QTest::newRow("not logind") << false << managerPath << managerInterface << member << QVariantList{false};
        QTest::newRow("another object") << true << QStringLiteral("/org/freedesktop/login1/session/self") << managerInterface
                                        << member << QVariantList{false};
        QTest::newRow("another interface") << true << managerPath << QStringLiteral("org.freedesktop.login1.Session") << member
                                           << QVariantList{false};
        QTest::newRow("another signal") << true << managerPath << managerInterface << QStringLiteral("PrepareForShutdown")
                                        << QVariantList{false};
        QTest::newRow("not a boolean") << true << managerPath << managerInterface << member << QVariantList{QStringLiteral("false")};
        QTest::newRow("no argument") << true << managerPath << managerInterface << member << QVariantList{};
    }
    void ignoresLookalikes()
    {
        QFETCH(bool, fromLogind);
        QFETCH(QString, path);
        QFETCH(QString, interface);
        QFETCH(QString, member);
        QFETCH(QVariantList, arguments);
        Peer logind(m_bus.address(), QStringLiteral("logind"));
        QVERIFY(logind.becomeLogind());
        Peer other(m_bus.address(), QStringLiteral("other"));
        QVERIFY(other.isConnected());
        LogindWakeMonitor monitor;
        QSignalSpy woke(&monitor, &WakeMonitor::woke);

        Peer &sender = fromLogind ? logind : other;
        sender.send(path, interface, member, arguments);
        settle(sender);
        QCOMPARE(woke.count(), 0);
        // Still listening: the real thing comes through.
        logind.prepareForSleep(false);
        settle(logind);
        QCOMPARE(woke.count(), 1);
    }

    // logind may come up after us, and may be restarted under us.
    void followsLogindsOwner()
    {
        LogindWakeMonitor monitor;
        QSignalSpy woke(&monitor, &WakeMonitor::woke);

        Peer first(m_bus.address(), QStringLiteral("first"));
        first.prepareForSleep(false); // not logind yet
        settle(first);
        QCOMPARE(woke.count(), 0);
        QVERIFY(first.becomeLogind());
        first.prepareForSleep(false);
        settle(first);
        QCOMPARE(woke.count(), 1);

        QVERIFY(first.stopBeingLogind());
        Peer second(m_bus.address(), QStringLiteral("second"));
        QVERIFY(second.becomeLogind());
        first.prepareForSleep(false); // no longer logind
        settle(first);
        QCOMPARE(woke.count(), 1);
        second.prepareForSleep(false);
        settle(second);
        QCOMPARE(woke.count(), 2);
    }

private slots:
    void marker(const QString &token) { m_lastMarker = token; }

private:
    // Returns once everything `peer` sent so far has reached this process.
    void settle(Peer &peer)
    {
        const QString token = QString::number(++m_markers);
        peer.send(QStringLiteral("/test"), QStringLiteral("org.example.Test"), QStringLiteral("Marker"), {token});
        QTRY_COMPARE(m_lastMarker, token);
    }

    ThrowawaySystemBus m_bus;
    int m_markers = 0;
    QString m_lastMarker;
};

// Run with DBUS_SYSTEM_BUS_ADDRESS pointing where no bus listens.
class WithoutSystemBusTest : public QObject
{
    Q_OBJECT

private slots:
    void staysQuiet()
    {
        QVERIFY(!QDBusConnection::systemBus().isConnected());
        QElapsedTimer timer;
        timer.start();
        auto monitor = std::make_unique<LogindWakeMonitor>();
        QVERIFY2(timer.elapsed() < 2000, "waited for a bus that is not there");
        QSignalSpy woke(monitor.get(), &WakeMonitor::woke);
        QTest::qWait(50);
        QCOMPARE(woke.count(), 0);
        monitor.reset();
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VESKO_TEST_NO_SYSTEM_BUS")) {
        const QTemporaryDir empty;
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", ThrowawaySystemBus::nowhere(empty));
        WithoutSystemBusTest test;
        return QTest::qExec(&test, argc, argv);
    }
    LogindWakeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logindwake.moc"
