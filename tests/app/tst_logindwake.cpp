// Wake from sleep, told by a fake logind on a throwaway system bus; and, in
// the _no_bus run, without any system bus.
#include "app/linux/LogindWakeMonitor.h"
#include "tests/support/ThrowawaySystemBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

static const QString managerPath = u"/org/freedesktop/login1"_s;
static const QString manager = u"org.freedesktop.login1.Manager"_s;

class LogindWakeTest : public QObject
{
    Q_OBJECT

public slots:
    void marker() { ++m_markers; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_bus.start());
        QDBusConnection::systemBus().connect({}, managerPath, manager, u"Marker"_s, this, SLOT(marker()));
    }

    // Only logind's way back counts: neither its way down nor anyone else's word.
    void wakesOnlyOnLogindsWayBack()
    {
        vesko::LogindWakeMonitor monitor; // before logind is there: it may start after us
        QSignalSpy woke(&monitor, &vesko::WakeMonitor::woke);
        QDBusConnection logind = QDBusConnection::connectToBus(QDBusConnection::SystemBus, u"logind"_s);
        QVERIFY(logind.registerService(u"org.freedesktop.login1"_s));
        prepareForSleep(logind, true);
        prepareForSleep(QDBusConnection::connectToBus(QDBusConnection::SystemBus, u"other"_s), false);
        QCOMPARE(woke.count(), 0);
        prepareForSleep(logind, false);
        QCOMPARE(woke.count(), 1);
    }

    void withoutBus()
    {
        if (!ThrowawaySystemBus::absent())
            QSKIP("for the _no_bus run");
        QVERIFY(!QDBusConnection::systemBus().isConnected());
        vesko::LogindWakeMonitor monitor; // neither blocks nor crashes
    }

private:
    // Sends PrepareForSleep(argument) from `peer` as logind's manager would, and returns
    // once it has reached the monitor's connection: a marker sent after it, heard there, has.
    void prepareForSleep(const QDBusConnection &peer, const QVariant &argument)
    {
        const int markers = m_markers;
        for (const QString &member : {u"PrepareForSleep"_s, u"Marker"_s})
            peer.send(QDBusMessage::createSignal(managerPath, manager, member) << argument);
        QTRY_COMPARE(m_markers, markers + 1);
    }

    ThrowawaySystemBus m_bus;
    int m_markers = 0;
};

QTEST_GUILESS_MAIN(LogindWakeTest)
#include "tst_logindwake.moc"
