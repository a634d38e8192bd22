#pragma once

// An indicator host on the session bus, faked: the StatusNotifierWatcher that
// takes an item's registration, and the host's reads of the item, each on a
// connection of its own as a separate process would have.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// Takes registrations the way a host's watcher does, on its own connection.
class FakeWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    explicit FakeWatcher(const QString &connectionName)
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
    {
        bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this, QDBusConnection::ExportAllSlots);
        bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    ~FakeWatcher() override
    {
        bus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(bus.name());
    }

    QDBusConnection bus;
    QStringList registered;

    // The host letting go of an item, as when it failed to set it up.
    void drop(const QString &service)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/StatusNotifierWatcher"),
                                                         QStringLiteral("org.kde.StatusNotifierWatcher"),
                                                         QStringLiteral("StatusNotifierItemUnregistered"));
        signal << service;
        bus.send(signal);
    }

public slots:
    void RegisterStatusNotifierItem(const QString &service) { registered << service; }
};

// A host's view of the item: property reads, method calls and signals.
struct Host
{
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("host"));
    QString service;

    QVariantMap properties() const
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        call << QStringLiteral("org.kde.StatusNotifierItem");
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
