#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>

// The StatusNotifierWatcher of an indicator host, faked on a connection of
// its own: it notes who registered an item and when, on the bench's clock.
class FakeWatcher : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    struct Registration
    {
        QString sender; // the item's unique bus name, for calls back to it
        qint64 atNs = 0;
        uint pid = 0; // whose item it is, when several programs are up at once
    };

    explicit FakeWatcher(const QElapsedTimer &clock)
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("bench-watcher"))),
          m_clock(clock)
    {
        ready = bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this, QDBusConnection::ExportAllSlots)
                && bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    ~FakeWatcher() override
    {
        bus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(bus.name());
    }

    QDBusConnection bus;
    bool ready = false;
    QList<Registration> registrations;

public slots:
    void RegisterStatusNotifierItem(const QString &)
    {
        const qint64 atNs = m_clock.nsecsElapsed();
        registrations.append({message().service(), atNs, bus.interface()->servicePid(message().service()).value()});
    }

private:
    const QElapsedTimer &m_clock;
};
