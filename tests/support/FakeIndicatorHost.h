#pragma once

// An indicator host on the session bus, faked: the StatusNotifierWatcher that
// takes an item's registration, and the host's reads of the item, each on a
// connection of its own as a separate process would have.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

using namespace Qt::StringLiterals;

// Takes registrations the way a host's watcher does, on its own connection.
// Given a clock, it also notes who registered an item and when (the bench's
// start-to-tray figure).
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

    explicit FakeWatcher(const QString &connectionName, const QElapsedTimer *clock = nullptr)
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName)),
          m_clock(clock)
    {
        ready = bus.registerObject(u"/StatusNotifierWatcher"_s, this, QDBusConnection::ExportAllSlots)
                && bus.registerService(u"org.kde.StatusNotifierWatcher"_s);
    }
    ~FakeWatcher() override
    {
        bus.unregisterService(u"org.kde.StatusNotifierWatcher"_s);
        bus.unregisterObject(u"/StatusNotifierWatcher"_s);
        QDBusConnection::disconnectFromBus(bus.name());
    }

    QDBusConnection bus;
    bool ready = false;
    QStringList registered;
    QList<Registration> registrations; // only with a clock

    // The host letting go of an item, as when it failed to set it up.
    void drop(const QString &service)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            u"/StatusNotifierWatcher"_s, u"org.kde.StatusNotifierWatcher"_s, u"StatusNotifierItemUnregistered"_s);
        signal << service;
        bus.send(signal);
    }

public slots:
    void RegisterStatusNotifierItem(const QString &service)
    {
        registered << service;
        if (!m_clock)
            return;
        const qint64 atNs = m_clock->nsecsElapsed();
        registrations.append({message().service(), atNs, bus.interface()->servicePid(message().service()).value()});
    }

private:
    const QElapsedTimer *m_clock;
};

// A host's view of the item: property reads, method calls and signals.
struct Host
{
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"host"_s);
    QString service;

    QVariantMap properties() const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(service, u"/StatusNotifierItem"_s,
                                                           u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s);
        call << u"org.kde.StatusNotifierItem"_s;
        const QDBusMessage reply = bus.call(call, QDBus::BlockWithGui, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return {};
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }
    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &args) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(args);
        return bus.call(call, QDBus::BlockWithGui, 5000);
    }
};
